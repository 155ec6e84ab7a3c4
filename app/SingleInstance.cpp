#include "app/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QtEndian>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace quorbin {
namespace {

constexpr qint64 kCountBytes = 4;
constexpr quint32 kLongestHandOver = 64 * 1024;
constexpr char kAnswer = 'y';
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

void HandOverServer::Close()
{
    m_server.close();
    for (QLocalSocket* socket : m_server.findChildren<QLocalSocket*>())
        socket->abort();
}

void HandOverServer::Accept()
{
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Read(socket); });
    }
}

void HandOverServer::Read(QLocalSocket* socket)
{
    if (socket->bytesAvailable() < kCountBytes)
        return;
    const quint32 length = qFromBigEndian<quint32>(socket->peek(kCountBytes).constData());
    if (length > kLongestHandOver) {
        socket->abort();
        return;
    }
    if (socket->bytesAvailable() < kCountBytes + length)
        return;
    socket->skip(kCountBytes);
    const QByteArray name = socket->read(length);
    socket->write(&kAnswer, 1);
    socket->disconnectFromServer();
    if (!name.isEmpty())
        Deliver(name);
}

// Given on from the event loop: the receiver may run a whole conversion, in
// whose dialogs the connection ends and its socket goes.
void HandOverServer::Deliver(const QByteArray& name)
{
    ++m_delivering;
    QMetaObject::invokeMethod(
        this,
        [this, name] {
            --m_delivering;
            if (name.startsWith(kEditorPrefix))
                emit EditorRequested(QFile::decodeName(name.mid(qsizetype(sizeof kEditorPrefix) - 1)));
            else
                emit FileReceived(QFile::decodeName(name));
        },
        Qt::QueuedConnection);
}

bool HandOverToRunningCopy(const QString& socketPath, const QString& absolutePath, HandOverTarget target, int waitMs)
{
    QElapsedTimer clock;
    clock.start();
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(waitMs))
        return false;
    const QByteArray prefix = target == HandOverTarget::Editor ? QByteArray(kEditorPrefix) : QByteArray();
    const QByteArray name = prefix + QFile::encodeName(absolutePath);
    QByteArray message(kCountBytes, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(name.size()), message.data());
    socket.write(message + name);
    socket.flush();
    while (socket.bytesAvailable() < 1) {
        const qint64 left = waitMs - clock.elapsed();
        if (left <= 0 || !socket.waitForReadyRead(static_cast<int>(left)))
            return false;
    }
    char answer = 0;
    return socket.getChar(&answer) && answer == kAnswer;
}

}  // namespace quorbin
