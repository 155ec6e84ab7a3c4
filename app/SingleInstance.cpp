#include "app/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace quorbin {
namespace {

constexpr int kConnectWaitMs = 3000;
constexpr int kHandOverWaitMs = 10000;
constexpr qsizetype kLongestHandOver = 64 * 1024;
// Starts a hand-over for the editor; a file for the converter starts with "/".
constexpr char kEditorPrefix[] = "edit:";

QString Reason(const QString& folder, const char* what)
{
    return QStringLiteral("%1: %2").arg(folder, QString::fromLocal8Bit(what));
}

// Why `folder` is not a folder of this user that no other user may create
// files in; empty when it is one.
QString PrivateFolderProblem(const QString& folder)
{
    const QByteArray name = QFile::encodeName(folder);
    struct stat info {};
    if (!QDir::isAbsolutePath(folder))
        return Reason(folder, "not an absolute path");
    if (::stat(name.constData(), &info) != 0)
        return Reason(folder, std::strerror(errno));
    if (!S_ISDIR(info.st_mode))
        return Reason(folder, "not a folder");
    if (info.st_uid != ::geteuid())
        return Reason(folder, "owned by another user");
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return Reason(folder, "other users may write to it");
    if (::access(name.constData(), W_OK | X_OK) != 0)
        return Reason(folder, std::strerror(errno));
    return {};
}

QString OwnCacheFolder(QString* why)
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty()) {
        *why = QStringLiteral("no home or cache folder");
        return {};
    }
    const QString folder = QDir(cache).filePath(QStringLiteral("quorbin"));
    QDir().mkpath(cache);
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
    *why = PrivateFolderProblem(folder);
    return why->isEmpty() ? folder : QString();
}

}  // namespace

QString InstanceLockName()
{
    return QStringLiteral("QUORBININSTANCE");
}

QString HandOverSocketName()
{
    return QStringLiteral("QUORBININSTANCE.socket");
}

QString PrivateRuntimeFolder(QString* why)
{
    QString reason;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && PrivateFolderProblem(runtime).isEmpty())
        return runtime;
    const QString own = OwnCacheFolder(&reason);
    if (own.isEmpty() && why)
        *why = reason;
    return own;
}

// ---------------------------------------------------------------------------

InstanceLock::InstanceLock(const QString& folder) : m_path(QDir(folder).filePath(InstanceLockName())) {}

InstanceLock::~InstanceLock() = default;

InstanceLock::Outcome InstanceLock::Take()
{
    m_lock = std::make_unique<QLockFile>(m_path);
    // Held for the whole run, so it never goes stale by age; a lock left by a
    // crashed copy names a process that is gone and is taken over.
    m_lock->setStaleLockTime(0);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (m_lock->tryLock(0))
            return Outcome::Held;
        if (m_lock->error() != QLockFile::LockFailedError)
            break;
        qint64 pid = 0;
        QString host, application;
        if (m_lock->getLockInfo(&pid, &host, &application))
            return Outcome::OtherCopyRuns;
        // The owner writes its line just after creating the file: look again.
        QThread::msleep(200);
    }
    m_problem =
        m_lock->error() == QLockFile::LockFailedError
            ? Reason(m_path, "in the way, and names no running copy")
            : Reason(m_path, m_lock->error() == QLockFile::PermissionError ? "permission denied" : "cannot be created");
    return Outcome::Unavailable;
}

// ---------------------------------------------------------------------------

HandOverServer::HandOverServer(QObject* parent) : QObject(parent)
{
    connect(&m_server, &QLocalServer::newConnection, this, &HandOverServer::Accept);
}

bool HandOverServer::Listen(const QString& socketPath)
{
    QLocalServer::removeServer(socketPath);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    return m_server.listen(socketPath);
}

void HandOverServer::Accept()
{
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > kLongestHandOver)
                    socket->abort();
                return;
            }
            const QByteArray line = socket->readLine(kLongestHandOver).chopped(1);
            socket->disconnectFromServer();
            if (line.startsWith(kEditorPrefix))
                emit EditorRequested(QFile::decodeName(line.mid(qsizetype(sizeof kEditorPrefix) - 1)));
            else if (!line.isEmpty())
                emit FileReceived(QFile::decodeName(line));
        });
    }
}

namespace {

// The running copy may have taken the lock a moment ago and not be listening
// yet (two files opened together start two copies at once): keep trying.
bool ConnectWithin(QLocalSocket& socket, const QString& socketPath, int ms)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(ms))
            return true;
        socket.abort();
        if (clock.elapsed() >= ms)
            return false;
        QThread::msleep(100);
    }
}

}  // namespace

bool HandOverToRunningCopy(const QString& socketPath, const QString& absolutePath, HandOverTarget target)
{
    QLocalSocket socket;
    if (!ConnectWithin(socket, socketPath, kConnectWaitMs))
        return false;
    const QByteArray prefix = target == HandOverTarget::Editor ? QByteArray(kEditorPrefix) : QByteArray();
    socket.write(prefix + QFile::encodeName(absolutePath) + '\n');
    if (!socket.waitForBytesWritten(kHandOverWaitMs))
        return false;
    // The running copy closes the connection once it has the whole line.
    return socket.state() == QLocalSocket::UnconnectedState || socket.waitForDisconnected(kHandOverWaitMs);
}

}  // namespace quorbin
