#include "cli/MelodyFile.h"

#include "cli/MelodyCommands.h"
#include "cli/StandardStreams.h"
#include "cli/Texts.h"
#include "conversion/StepMessages.h"
#include "platform/FileSystem.h"

namespace quorbin::cli {

namespace {

// Far more than the largest melody file (about 66 KB), small enough to read whole.
constexpr std::uint64_t kMaxMelodyFileBytes = 16u << 20;

}  // namespace

int LoadMelodyFile(const std::string& name, LoadedMelody& melody, std::string& problem)
{
    const bool piped = IsStandardStream(name);
    Result<ByteBuffer> bytes =
        piped ? ReadStandardInput(kMaxMelodyFileBytes) : ReadWholeFile(name, kMaxMelodyFileBytes);
    if (!bytes && bytes.Reason().kind == ReasonKind::TooLarge) {
        problem = "too large to be a melody file at offset " + std::to_string(kMaxMelodyFileBytes);
        return kExitDataError;
    }
    if (!bytes) {
        const char* failure = piped ? N_("cannot read the file: %1") : N_("cannot open the file: %1");
        problem = Substitute(Tr(failure), {ReasonText(bytes.Reason(), UserLanguage())});
        return kExitNoInput;
    }
    melody.bytes = std::move(*bytes);
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
