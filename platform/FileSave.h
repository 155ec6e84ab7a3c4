#pragma once
// Saves that neither a reader, a crash, a signal nor another process can catch
// half done. The target is resolved once into its real folder, held open; the
// identity checks, the temporary file and the rename all act relative to that
// folder, so a link put at the name afterwards is replaced, never followed.
// Many saves can share one sync: each file's data is written, then each file
// system is synced once (a few files each on their own), then the files are
// put in place, then each folder is synced once.
#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/ByteBuffer.h"
#include "core/Result.h"
#include "platform/FileDescriptor.h"
#include "platform/FileSystem.h"
#include "platform/InterruptCleanup.h"

namespace quorbin {

// A save fails with DanglingLink when the target is a symbolic link to
// nothing (the link is kept), with Exists when a file is at the target and
// was to be kept, otherwise with the errno of the system call that failed.
// What a save does with a file already at its target.
enum class Existing { Replace, Keep };

// The place a save writes: the real folder, open, and the name in it.
class SaveTarget {
public:
    // Opens the folder of `path`. A symbolic link at `path` is followed (and a
    // link it leads to, and so on) to the file it names. Fails with
    // DanglingLink for a link to nothing, with the system's error when the
    // folder is missing.
    static Result<> Resolve(const std::filesystem::path& path, SaveTarget& target);

    // The file the name holds now, a symbolic link not followed; none when the name is free.
    std::optional<FileIdentity> Identity() const;

    // The folder and the name: two targets with one place write one file.
    struct Place {
        FileIdentity folder;
        std::string name;
        bool operator==(const Place&) const = default;
    };
    const Place& Where() const { return m_place; }

    // The real folder's path (to measure its free space) and the path asked for.
    const std::filesystem::path& FolderPath() const { return m_folderPath; }
    const std::filesystem::path& Requested() const { return m_requested; }
    int Folder() const { return m_folder.Get(); }
    const std::string& Name() const { return m_place.name; }

private:
    FileDescriptor m_folder;
    Place m_place;
    std::filesystem::path m_folderPath;
    std::filesystem::path m_requested;
};

// Saves written now and put in place together by Commit. Files staged but not
// committed are removed when the batch ends. While a batch exists, SIGINT,
// SIGTERM and SIGHUP remove its named temporary files before the process ends.
class SaveBatch {
public:
    SaveBatch();
    ~SaveBatch();
    SaveBatch(const SaveBatch&) = delete;
    SaveBatch& operator=(const SaveBatch&) = delete;

    // Writes `bytes` to a new file in the target's folder, with the permissions
    // and owner of the file it replaces where the file system keeps them; the
    // target is not touched yet. Before the first save into a folder, the
    // temporary files that crashed saves left there are removed. Fails when the
    // target is a read-only file, a folder or another kind of file, or when it
    // exists and is to be kept.
    Result<> Stage(SaveTarget target, const ByteBuffer& bytes, Existing existing = Existing::Replace);
    std::size_t Size() const { return m_staged.size(); }
    // Where the staged file `index` goes.
    const SaveTarget::Place& PlaceOf(std::size_t index) const;

    // Makes the staged data durable, puts every file in place (a kept target
    // that appeared meanwhile fails with Exists), then makes the folders
    // durable. Returns each staged file's outcome, in staging order, and
    // empties the batch. A failed file leaves its target as it was.
    std::vector<Result<>> Commit();

private:
    class StagedFile;
    void RemoveStaleTemporariesOnce(const SaveTarget& target);
    void SyncData(std::vector<Result<>>& results);

    InterruptCleanup m_interrupts;
    std::vector<std::unique_ptr<StagedFile>> m_staged;
    std::vector<FileIdentity> m_cleanedFolders;
};

// How many files one batch may hold staged: each keeps two descriptors open.
// Raises the soft limit on open files to the hard one first (at most 65536).
std::size_t MostFilesInABatch();

// One save on its own: resolves `path`, stages and commits.
Result<> SaveFileAtomically(const std::filesystem::path& path, const ByteBuffer& bytes,
                            Existing existing = Existing::Replace);
Result<> SaveAtomically(SaveTarget target, const ByteBuffer& bytes, Existing existing = Existing::Replace);

// Removes the temporary files of saves into the folder open as `folder` whose
// writers are gone: a name of the form ".quorbin-PID-XXXXXXXX.tmp", a process
// PID that no longer runs and no lock on the file. Nothing else is touched.
void RemoveStaleTemporaries(int folder);

}  // namespace quorbin
