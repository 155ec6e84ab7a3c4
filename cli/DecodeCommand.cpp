// "quorbin-cli decode": writes the audio of melody files as 16-bit mono WAVE files.
#include <optional>
#include <ostream>
#include <system_error>

#include "audio/AdpcmDecoder.h"
#include "audio/WaveWriter.h"
#include "cli/BatchReport.h"
#include "cli/MelodyCommands.h"
#include "cli/MelodyFile.h"
#include "cli/OutputGuard.h"
#include "cli/StandardStreams.h"
#include "conversion/StepMessages.h"
#include "platform/FileSave.h"

namespace quorbin::cli {

namespace {

// The outcome of a WAVE file that is kept where it lies.
int ExistingWave(WhenExists existing, const std::string& wavePath, std::string& text)
{
    if (existing == WhenExists::Skip)
        return kSkipped;
    const std::string reason = existing == WhenExists::KeepUnlessForced
                                   ? Tr("exists; use -o or --force")
                                   : ReasonText(FailureReason::Of(ReasonKind::Exists), UserLanguage());
    text = Substitute(Tr("cannot write the WAVE file (%1): %2"), {wavePath, reason});
    return kExitCantCreate;
}

// A WAVE file may lie where a recording was: it is replaced only with --force.
std::optional<WhenExists> WhenExistsFromOptions(const ParsedArguments& arguments)
{
    const bool keep = arguments.Has("no-clobber"), skip = arguments.Has("skip-existing"),
               force = arguments.Has("force");
    if (keep + skip + force > 1)
        return std::nullopt;
    return keep    ? WhenExists::Keep
           : skip  ? WhenExists::Skip
           : force ? WhenExists::Replace
                   : WhenExists::KeepUnlessForced;
}

int RunDecode(const ParsedArguments& arguments, Streams streams)
{
    const auto& files = arguments.operands;
    if (files.empty())
        return UsageError(streams.err, "decode", Tr("decode: no melody file given"));
    const auto output = arguments.Value("output");
    if (output && (files.size() != 1 || output->empty()))
        return UsageError(streams.err, "decode", Tr("decode: -o needs exactly one input file and a non-empty name"));
    if (const std::string problem = StandardStreamProblem(files, output, streams, "OUT.wav"); !problem.empty())
        return UsageError(streams.err, "decode", "decode: " + problem);

    const auto existing = WhenExistsFromOptions(arguments);
    if (!existing)
        return UsageError(streams.err, "decode", Tr("decode: use only one of -n, --skip-existing and --force"));

    BatchReport report(streams, BatchWork::Decode, arguments.Has("quiet"));
    if (output && IsStandardStream(*output))
        report.SendSuccessToErrors();
    OutputGuard guard(files);
    for (const std::string& file : files) {
        const std::string wave = output ? *output : PreviewPathFor(file).string();
        std::string text;
        const int status = WriteDecodedWave(file, wave, streams.out, text, {&guard, *existing});
        if (status == 0)
            report.Success(file, text);
        else if (status == kSkipped)
            report.Skipped(file, wave);
        else
            report.Failure(file, text, status);
        report.Tally(status == 0 ? FileOutcome::Done : status == kSkipped ? FileOutcome::Skipped : FileOutcome::Failed);
    }
    return report.Finish();
}

}  // namespace

std::filesystem::path PreviewPathFor(const std::filesystem::path& melodyFile)
{
    std::filesystem::path preview = melodyFile;
    preview.replace_extension(".preview.wav");
    return preview;
}

int WriteDecodedWave(const std::string& melodyFile, const std::string& wavePath, std::ostream& out, std::string& text,
                     const WaveWriting& how)
{
    OutputGuard* guard = how.guard;
    const bool toStandardOutput = IsStandardStream(wavePath);
    // Resolved once: the checks and the save act on the same file. A target
    // that cannot be resolved fails when it is saved, after the melody file is read.
    SaveTarget target;
    const Result<> resolved = toStandardOutput ? Result<>() : SaveTarget::Resolve(wavePath, target);
    if (resolved && !toStandardOutput && !IsStandardStream(melodyFile) && target.Identity()
        && target.Identity() == IdentifyFile(melodyFile)) {
        text = Tr("the WAVE file would replace the melody file itself");
        return kExitCantCreate;
    }
    if (const FailureReason clash = guard && resolved && !toStandardOutput ? guard->Check(target) : FailureReason{};
        clash.Given()) {
        text = Substitute(Tr("cannot write the WAVE file (%1): %2"), {wavePath, ReasonText(clash, UserLanguage())});
        return kExitCantCreate;
    }
    const bool keep = how.existing != WhenExists::Replace;
    // Known before the work; the save that keeps an existing file decides.
    if (resolved && !toStandardOutput && keep && target.Identity())
        return ExistingWave(how.existing, wavePath, text);
    LoadedMelody melody;
    MelodyProblem problem;
    if (const int status = LoadMelodyFile(melodyFile, melody, problem); status != 0) {
        text = problem.Text();
        return status;
    }
    const MldContents& c = melody.contents;
    const std::vector<std::int16_t> samples = adpcm_decode({melody.bytes.Data() + c.audioOffset, c.audioLength});
    ByteBuffer wave;
    if (!WriteMonoWave(samples, static_cast<std::uint32_t>(c.sampleRate), wave)) {
        text = Tr("cannot write the WAVE file");
        return kExitCantCreate;
    }
    if (toStandardOutput) {
        if (const Result<> written = WriteAndFlush(out, wave); !written) {
            text = Tr("cannot write the WAVE file to standard output") + (": " + ErrnoReason(written.Reason().error));
            return kExitIoError;
        }
    } else {
        const SaveTarget::Place place = target.Where();
        const Result<> saved =
            resolved ? SaveAtomically(std::move(target), wave, keep ? Existing::Keep : Existing::Replace) : resolved;
        if (!saved && saved.Reason().kind == ReasonKind::Exists)
            return ExistingWave(how.existing, wavePath, text);
        if (!saved) {
            text = std::string(Tr("cannot write the WAVE file")) + ": " + ReasonText(saved.Reason(), UserLanguage())
                   + " (" + wavePath + ")";
            return kExitCantCreate;
        }
        if (guard)
            guard->Claim(place, melodyFile);
    }
    const std::string where = toStandardOutput ? Tr("standard output") : wavePath;
    text = Substitute(TrN("wrote %1 (%2 sample at %3 Hz)", "wrote %1 (%2 samples at %3 Hz)", samples.size()),
                      {where, std::to_string(samples.size()), std::to_string(c.sampleRate)});
    return 0;
}

Subcommand DecodeSubcommand()
{
    return Subcommand{
        "decode",
        "FILE.mld...",
        N_("decode the audio of melody files into WAVE files"),
        N_("Decodes the 4-bit audio of each melody file into a 16-bit mono PCM WAVE file\n"
           "at the file's sample rate: the sound as the encoder itself tracked it. The\n"
           "file is written beside the melody file as NAME.preview.wav unless -o is given;\n"
           "an existing file is never replaced unless --force is given.\n"
           "Every coded byte holds two samples, so n coded bytes give 2 x n samples; a\n"
           "recording with an odd number of samples gains one sample at the end.\n"
           "\"-\" reads a melody file from standard input (then -o is needed); \"-o -\"\n"
           "writes the WAVE file to standard output.\n"
           "Exit status: 0 when every file was decoded or skipped; otherwise that of the\n"
           "first failure: 2 when a file cannot be opened, 6 when the WAVE file cannot be\n"
           "written or exists, 65 for a damaged or foreign file, 74 when standard output\n"
           "cannot be written; 64 for a usage error (as for \"convert\" and \"info\")."),
        {
            {"output", 'o', "OUT.wav", N_("write the WAVE file here (one input file only; - : standard output)")},
            {"no-clobber", 'n', "", N_("keep an existing WAVE file (the input fails)")},
            {"skip-existing", 0, "", N_("keep an existing WAVE file and skip the input (not a failure)")},
            {"force", 'f', "", N_("replace an existing WAVE file")},
            {"quiet", 'q', "", N_("print no success lines")},
        },
        RunDecode,
        {{"quorbin-cli decode -o - ring.mld | aplay", N_("hear a melody file as a handset plays it")}},
    };
}

}  // namespace quorbin::cli
