#include "app/ConvertApp.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/EditorWindow.h"
#include "app/MainDialog.h"
#include "app/SingleInstance.h"
#include "decode/DecoderProcess.h"
#include "ui/UiText.h"

namespace quorbin {

namespace {

// How long a later start waits for a copy that holds the lock to answer or let
// go of it: a live copy answers at once, an ending one lets go within moments.
constexpr qint64 kWaitForAnswerMs = 5000;

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

StartRequest ReadStartRequest(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption edit(QStringLiteral("edit"), QStringLiteral("Open the ringtone editor."));
    parser.addOption(edit);
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Recording to convert or edit."));
    parser.parse(arguments);
    StartRequest request;
    request.edit = parser.isSet(edit);
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty() || files.first().isEmpty())
        return request;
    const QString& given = files.first();
    const QUrl url(given);
    const QString path = url.isLocalFile() ? url.toLocalFile() : given;
    request.file = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    return request;
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

void ConvertApp::QuitWhenClosed()
{
    // Checked once the closing window's own work has returned.
    QTimer::singleShot(0, qApp, [this] {
        const bool mainOpen = m_main && !m_main->IsEnding();
        const bool editorOpen = m_editor && m_editor->IsOpen();
        // A file answered for is on its way to a window, which it opens again.
        if (mainOpen || editorOpen || (m_server && m_server->Delivering()))
            return;
        // From now on later starts get no answer and run themselves.
        if (m_server)
            m_server->Close();
        QCoreApplication::quit();
    });
}

// A copy that holds the lock but does not answer is starting (not listening
// yet) or ending (it lets the lock go within moments): both are waited for a
// little, trying the lock again.
ConvertApp::Joined ConvertApp::RunHereOrHandOver(const QString& folder, const StartRequest& request)
{
    const QString socket = QDir(folder).filePath(HandOverSocketName());
    const HandOverTarget target = request.edit ? HandOverTarget::Editor : HandOverTarget::Converter;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (TakeInstanceLock(folder))
            return Joined::RunHere;
        const qint64 left = kWaitForAnswerMs - clock.elapsed();
        if (left <= 0)
            return Joined::NoAnswer;
        if (HandOverToRunningCopy(socket, request.file, target, static_cast<int>(left)))
            return Joined::TakenThere;
        QThread::msleep(100);
    }
}

void ConvertApp::ShowMain(const QString& file)
{
    if (!m_main) {
        m_main = std::make_unique<MainDialog>();
        QObject::connect(m_main.get(), &QDialog::finished, [this] { QuitWhenClosed(); });
        QObject::connect(m_main.get(), &MainDialog::EditorRequested, [this](const QString& file) { ShowEditor(file); });
        // The editor decodes every recording: without the decoders it is no way out.
        m_main->SetEditorAvailable(decode::DecodersInstalled());
        m_main->Open();
    } else if (m_main->IsEnding()) {
        m_main->Open();
    }
    if (!file.isEmpty())
        m_main->OpenFile(file);
}

void ConvertApp::ShowEditor(const QString& file)
{
    if (!m_editor) {
        m_editor = std::make_unique<EditorWindow>();
        QObject::connect(m_editor.get(), &QDialog::finished, [this] { QuitWhenClosed(); });
    }
    const bool beside = m_main && m_main->isVisible();
    m_editor->Open(beside ? QRect(m_main->Placement(), m_main->size()) : QRect());
    if (!file.isEmpty())
        m_editor->OpenFile(file);
}

int ConvertApp::Start(int& argc, char** argv)
{
    PreferX11OnWayland();
    // A melody file past the file size limit is a failed save (message 6), not the end of the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication application(argc, argv);
    InstallQtTranslations(UserLanguage());
    const StartRequest request = ReadStartRequest(QApplication::arguments());

    QString why;
    const QString folder = PrivateRuntimeFolder(&why);
    if (folder.isEmpty()) {
        Warn(QStringLiteral("no private folder for the single-instance lock (%1); starting anyway").arg(why));
    } else {
        switch (RunHereOrHandOver(folder, request)) {
        case Joined::RunHere: break;
        case Joined::TakenThere: return EXIT_SUCCESS;
        case Joined::NoAnswer:
            if (request.file.isEmpty() && !request.edit)
                return EXIT_SUCCESS;
            Warn(QStringLiteral("the running copy did not take %1").arg(request.file));
            return EXIT_FAILURE;
        }
    }
    if (m_lock)
        ListenForHandOvers(folder);
    application.setQuitOnLastWindowClosed(false);
    application.setWindowIcon(QIcon(QStringLiteral(":/icon/quorbin-128.png")));

    if (m_server) {
        QObject::connect(m_server.get(), &HandOverServer::FileReceived,
                         [this](const QString& file) { ShowMain(file); });
        QObject::connect(m_server.get(), &HandOverServer::EditorRequested,
                         [this](const QString& file) { ShowEditor(file); });
    }
    if (request.edit)
        ShowEditor(request.file);
    else
        ShowMain(QString());
    if (!request.edit && !request.file.isEmpty())
        QTimer::singleShot(0, m_main.get(), [this, file = request.file] { m_main->OpenFile(file); });
    application.exec();
    // Let go at once, not after the rest of the ending: a start made now runs.
    m_server.reset();
    m_lock.reset();
    // The windows go before the application object they belong to.
    m_editor.reset();
    m_main.reset();
    return EXIT_SUCCESS;
}

}  // namespace quorbin
