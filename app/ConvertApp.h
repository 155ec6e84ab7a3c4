#pragma once
// Start-up: one copy per login, then the main window for the life of the program.
#include <QString>
#include <QStringList>
#include <memory>

namespace quorbin {

class HandOverServer;
class InstanceLock;

// Asks for the X11 platform plugin (XWayland) in a Wayland session unless the
// user chose a platform: only there can the windows place themselves. Wayland
// stays the fallback where there is no XWayland.
void PreferX11OnWayland();

// The recording named on the command line (`quorbin FILE.wav`, a path or a
// file: URL), made absolute; empty when there is none.
QString FileArgument(const QStringList& arguments);

class ConvertApp {
public:
    ConvertApp();
    ~ConvertApp();

    // Takes the lock and runs the main window; returns the exit status. When
    // another copy runs, a file given on the command line is handed to it.
    int Start(int& argc, char** argv);

private:
    // False when another copy runs; a lock that cannot be taken for any
    // other reason is reported on standard error and the program goes on.
    bool TakeInstanceLock(const QString& folder);
    void ListenForHandOvers(const QString& folder);

    std::unique_ptr<InstanceLock> m_lock;
    std::unique_ptr<HandOverServer> m_server;
};

}  // namespace quorbin
