#include "cli/MelodyFile.h"

#include <cerrno>

#include "cli/MelodyCommands.h"
#include "cli/StandardStreams.h"
#include "cli/Texts.h"
#include "platform/FileSystem.h"

namespace quorbin::cli {

namespace {

// Far more than the largest melody file (about 66 KB), small enough to read whole.
constexpr std::uint64_t kMaxMelodyFileBytes = 16u << 20;

ReadStatus ReadMelodyBytes(const std::string& name, ByteBuffer& bytes)
{
    if (!IsStandardStream(name))
        return ReadWholeFile(name, kMaxMelodyFileBytes, bytes);
    int error = 0;
    const ReadStatus status = ReadStandardInput(kMaxMelodyFileBytes, bytes, error);
    errno = error;
    return status;
}

}  // namespace

int LoadMelodyFile(const std::string& name, LoadedMelody& melody, std::string& problem)
{
    switch (ReadMelodyBytes(name, melody.bytes)) {
    case ReadStatus::Ok: break;
    case ReadStatus::TooLarge:
        problem = "too large to be a melody file at offset " + std::to_string(kMaxMelodyFileBytes);
        return kExitDataError;
    case ReadStatus::CannotOpen:
        problem = Substitute(Tr("cannot open the file: %1"), {ErrnoReason(errno)});
        return kExitNoInput;
    case ReadStatus::ReadError:
        problem = Substitute(Tr("cannot read the file: %1"), {ErrnoReason(errno)});
        return kExitNoInput;
    }
    const MldReadResult result = ReadMld(melody.bytes.Bytes());
    if (!result.contents) {
        // The structural diagnostics are technical and stay English, like the field names of "info".
        problem = result.error.message + " at offset " + std::to_string(result.error.offset);
        return kExitDataError;
    }
    melody.contents = *result.contents;
    return 0;
}

}  // namespace quorbin::cli
