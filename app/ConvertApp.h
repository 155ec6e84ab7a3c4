#pragma once
// Start-up: one copy per logon, then the main window for the life of the program.
#include <QString>
#include <memory>

class QLockFile;

namespace quorbin {

// Path of the single-instance lock: QUORBININSTANCE in the user's runtime folder.
QString InstanceLockPath();

// Asks for the X11 platform plugin (XWayland) in a Wayland session unless the
// user chose a platform: only there can the windows place themselves.
void PreferX11OnWayland();

class ConvertApp {
public:
    ConvertApp();
    ~ConvertApp();

    // Takes the lock and runs the main window. Returns false in every case:
    // the program ends when it returns. The command line is left to the toolkit.
    bool Start(int& argc, char** argv);

    // True when this process holds the lock (exposed for the start-up tests).
    bool HoldsLock() const;

private:
    bool TakeInstanceLock();

    std::unique_ptr<QLockFile> m_lock;
};

} // namespace quorbin
