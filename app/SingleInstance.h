#pragma once
// One copy per login: a lock file and a local socket in a folder only this
// user can create files in. A second start hands its file to the running copy
// through the socket and ends.
#include <QLocalServer>
#include <QLocalSocket>
#include <QString>
#include <memory>

class QLockFile;

namespace quorbin {

// The private folder of the lock and the socket: XDG_RUNTIME_DIR when it is a
// folder of this user that nobody else may write to, otherwise the user's
// cache folder's "quorbin" (made with mode 0700). Empty, with the reason in
// `why`, when neither is usable.
QString PrivateRuntimeFolder(QString* why = nullptr);

class InstanceLock {
public:
    enum class Outcome { Held, OtherCopyRuns, Unavailable };

    explicit InstanceLock(const QString& folder);
    ~InstanceLock();

    // Tries once, without waiting. A lock left by a crashed copy is taken
    // over; a lock that holds no readable owner (a folder in its place, an
    // unwritable folder) is Unavailable, with the reason in Problem().
    Outcome Take();
    QString Problem() const { return m_problem; }
    QString Path() const { return m_path; }

private:
    QString m_path;
    QString m_problem;
    std::unique_ptr<QLockFile> m_lock;
};

// Which window of the running copy takes a handed-over file.
enum class HandOverTarget { Converter, Editor };

// Receives the files handed over by later starts. A hand-over is a name as
// bytes after their count (four bytes, big-endian), so any name the file
// system allows arrives whole: an absolute path to convert, "edit:" and a path
// (which may be empty) for the ringtone editor, or nothing, which only asks
// whether a copy runs. The running copy answers one byte once it has the name.
class HandOverServer : public QObject {
    Q_OBJECT
public:
    explicit HandOverServer(QObject* parent = nullptr);
    // Listens on `socketPath`, replacing a socket left by a crashed copy
    // (only the lock holder calls this). False, with the reason in Problem().
    bool Listen(const QString& socketPath);
    QString Problem() const { return m_server.errorString(); }
    // True while a file that was answered for has not been given on yet.
    bool Delivering() const { return m_delivering > 0; }
    // Stops listening and drops every unanswered hand-over: a copy that is
    // ending takes no more files, and later starts then run themselves.
    void Close();

signals:
    void FileReceived(const QString& path);
    // `path` is empty when the editor is to open without a recording.
    void EditorRequested(const QString& path);

private:
    void Accept();
    void Read(QLocalSocket* socket);
    void Deliver(const QByteArray& name);
    QLocalServer m_server;
    int m_delivering = 0;
};

// Hands `absolutePath` for `target` (for the converter, an empty path only
// asks) to the copy listening on `socketPath`; true once that copy answered
// that it has it. False at once when nothing listens, or when the copy ends
// the connection without an answer, as a copy that is ending does; false
// after `waitMs` when the copy does not answer.
bool HandOverToRunningCopy(const QString& socketPath, const QString& absolutePath, HandOverTarget target, int waitMs);

// Names of the lock and the socket inside the private folder.
QString InstanceLockName();
QString HandOverSocketName();

}  // namespace quorbin
