#include "app/ConvertApp.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/MainDialog.h"
#include "app/SingleInstance.h"
#include "ui/UiText.h"

namespace quorbin {

namespace {

void Warn(const QString& text)
{
    std::fprintf(stderr, "quorbin: %s\n", text.toLocal8Bit().constData());
}

}  // namespace

void PreferX11OnWayland()
{
    const char* session = std::getenv("XDG_SESSION_TYPE");
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (session && std::strcmp(session, "wayland") == 0 && (!platform || !*platform))
        setenv("QT_QPA_PLATFORM", "xcb;wayland", 1);
}

QString FileArgument(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("FILE.wav"), QStringLiteral("Recording to convert."));
    parser.parse(arguments);
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty() || files.first().isEmpty())
        return {};
    const QString& given = files.first();
    const QUrl url(given);
    const QString path = url.isLocalFile() ? url.toLocalFile() : given;
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

ConvertApp::ConvertApp() = default;
ConvertApp::~ConvertApp() = default;

bool ConvertApp::TakeInstanceLock(const QString& folder)
{
    m_lock = std::make_unique<InstanceLock>(folder);
    switch (m_lock->Take()) {
    case InstanceLock::Outcome::Held: return true;
    case InstanceLock::Outcome::OtherCopyRuns: return false;
    case InstanceLock::Outcome::Unavailable:
        Warn(QStringLiteral("cannot take the single-instance lock (%1); starting anyway").arg(m_lock->Problem()));
        m_lock.reset();
        return true;
    }
    return true;
}

void ConvertApp::ListenForHandOvers(const QString& folder)
{
    m_server = std::make_unique<HandOverServer>();
    if (!m_server->Listen(QDir(folder).filePath(HandOverSocketName())))
        Warn(QStringLiteral("files opened by later starts cannot be received (%1)").arg(m_server->Problem()));
}

int ConvertApp::Start(int& argc, char** argv)
{
    PreferX11OnWayland();
    // A melody file past the file size limit is a failed save (message 6), not the end of the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication application(argc, argv);
    InstallQtTranslations(UserLanguage());
    const QString file = FileArgument(QApplication::arguments());

    QString why;
    const QString folder = PrivateRuntimeFolder(&why);
    if (folder.isEmpty()) {
        Warn(QStringLiteral("no private folder for the single-instance lock (%1); starting anyway").arg(why));
    } else if (!TakeInstanceLock(folder)) {
        if (file.isEmpty())
            return EXIT_SUCCESS;
        if (HandOverToRunningCopy(QDir(folder).filePath(HandOverSocketName()), file))
            return EXIT_SUCCESS;
        Warn(QStringLiteral("the running copy did not take %1").arg(file));
        return EXIT_FAILURE;
    } else if (m_lock) {
        ListenForHandOvers(folder);
    }
    application.setQuitOnLastWindowClosed(false);
    application.setWindowIcon(QIcon(QStringLiteral(":/icon/quorbin-128.png")));

    MainDialog window;
    if (m_server)
        QObject::connect(m_server.get(), &HandOverServer::FileReceived, &window, &MainDialog::OpenFile);
    if (!file.isEmpty())
        QTimer::singleShot(0, &window, [&window, file] { window.OpenFile(file); });
    window.exec();
    return EXIT_SUCCESS;
}

}  // namespace quorbin
