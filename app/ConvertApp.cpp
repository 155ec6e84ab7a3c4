#include "app/ConvertApp.h"

#include <QApplication>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>
#include <cstdlib>
#include <cstring>

#include "app/MainDialog.h"

namespace quorbin {

QString InstanceLockPath()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return QDir(folder.isEmpty() ? QDir::tempPath() : folder).filePath(QStringLiteral("QUORBININSTANCE"));
}

void PreferX11OnWayland()
{
    const char* session = std::getenv("XDG_SESSION_TYPE");
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (session && std::strcmp(session, "wayland") == 0 && (!platform || !*platform))
        setenv("QT_QPA_PLATFORM", "xcb", 1);
}

ConvertApp::ConvertApp() = default;
ConvertApp::~ConvertApp() = default;

bool ConvertApp::HoldsLock() const
{
    return m_lock && m_lock->isLocked();
}

bool ConvertApp::TakeInstanceLock()
{
    m_lock = std::make_unique<QLockFile>(InstanceLockPath());
    // Held for the whole run, so it never goes stale by age; a lock left by a
    // crashed copy names a process that is gone and is taken over.
    m_lock->setStaleLockTime(0);
    return m_lock->tryLock(0);
}

bool ConvertApp::Start(int& argc, char** argv)
{
    PreferX11OnWayland();
    QApplication application(argc, argv);
    if (!TakeInstanceLock())
        return false;
    application.setQuitOnLastWindowClosed(false);
    application.setWindowIcon(QIcon(QStringLiteral(":/icon/quorbin-128.png")));

    MainDialog window;
    window.exec();
    return false;
}

} // namespace quorbin
