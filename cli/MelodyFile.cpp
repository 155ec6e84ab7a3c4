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

int LoadMelodyFile(const std::string& name, LoadedMelody& melody, MelodyProblem& problem)
{
    const bool piped = IsStandardStream(name);
    Result<ByteBuffer> bytes =
        piped ? ReadStandardInput(kMaxMelodyFileBytes) : ReadWholeFile(name, kMaxMelodyFileBytes);
    // The structural diagnostics are technical and stay English, like the field names of "info".
    problem = {Tr("damaged or foreign melody file"), "", true};
    if (!bytes && bytes.Reason().kind == ReasonKind::TooLarge) {
        problem.reason = "too large to be a melody file at offset " + std::to_string(kMaxMelodyFileBytes);
        return kExitDataError;
    }
    if (!bytes) {
        problem = {piped ? Tr("cannot read the file") : Tr("cannot open the file"),
                   ReasonText(bytes.Reason(), UserLanguage()), false};
        return kExitNoInput;
    }
    melody.bytes = std::move(*bytes);
    const MldReadResult result = ReadMld(melody.bytes.Bytes());
    if (!result.contents) {
        problem.reason = result.error.message + " at offset " + std::to_string(result.error.offset);
        return kExitDataError;
    }
    melody.contents = *result.contents;
    problem = {};
    return 0;
}

}  // namespace quorbin::cli
