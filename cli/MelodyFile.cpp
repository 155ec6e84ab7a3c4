#include "cli/MelodyFile.h"

#include <ostream>

#include "cli/MelodyCommands.h"
#include "platform/FileSystem.h"

namespace quorbin::cli {

namespace {

// Far more than the largest melody file (about 66 KB), small enough to read whole.
constexpr std::uint64_t kMaxMelodyFileBytes = 16u << 20;

} // namespace

int LoadMelodyFile(const std::filesystem::path& path, LoadedMelody& melody, std::ostream& err)
{
    const std::string name = path.string();
    switch (ReadWholeFile(path, kMaxMelodyFileBytes, melody.bytes)) {
    case ReadStatus::Ok:
        break;
    case ReadStatus::TooLarge:
        err << name << ": too large to be a melody file at offset " << kMaxMelodyFileBytes << std::endl;
        return kExitDataError;
    case ReadStatus::CannotOpen:
        err << name << ": cannot open the file" << std::endl;
        return kExitNoInput;
    case ReadStatus::ReadError:
        err << name << ": cannot read the file" << std::endl;
        return kExitNoInput;
    }
    const MldReadResult result = ReadMld(melody.bytes.Bytes());
    if (!result.contents) {
        err << name << ": " << result.error.message << " at offset " << result.error.offset << std::endl;
        return kExitDataError;
    }
    melody.contents = *result.contents;
    return 0;
}

} // namespace quorbin::cli
