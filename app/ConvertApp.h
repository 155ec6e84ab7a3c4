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

// What a start asks for: `quorbin [FILE.wav]` the main window, `quorbin --edit
// [FILE]` the ringtone editor. The file (a path or a file: URL) is made
// absolute; empty when there is none.
struct StartRequest {
    QString file;
    bool edit = false;
};
StartRequest ReadStartRequest(const QStringList& arguments);

class MainDialog;
class EditorWindow;

class ConvertApp {
public:
    ConvertApp();
    ~ConvertApp();

    // Takes the lock and runs the main window or the editor until the last
    // of them closes; returns the exit status. When another copy runs, a file
    // given on the command line (or, for the editor, the wish to open it) is
    // handed to it.
    int Start(int& argc, char** argv);

private:
    // Shows the window, made on first use; a file received waits for a window that is busy.
    void ShowMain(const QString& file);
    void ShowEditor(const QString& file);
    // Ends the program once no window is open any more.
    void QuitWhenClosed();
    // False when another copy runs; a lock that cannot be taken for any
    // other reason is reported on standard error and the program goes on.
    bool TakeInstanceLock(const QString& folder);
    // Takes the lock, or has the running copy take what `request` asks for
    // (or only answer, when it asks for nothing).
    enum class Joined { RunHere, TakenThere, NoAnswer };
    Joined RunHereOrHandOver(const QString& folder, const StartRequest& request);
    void ListenForHandOvers(const QString& folder);

    std::unique_ptr<InstanceLock> m_lock;
    std::unique_ptr<HandOverServer> m_server;
    std::unique_ptr<MainDialog> m_main;
    std::unique_ptr<EditorWindow> m_editor;
};

}  // namespace quorbin
