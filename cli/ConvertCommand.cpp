#include "cli/ConvertCommand.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>

#include "cli/BatchReport.h"
#include "cli/ConvertHelp.h"
#include "cli/ConvertMessages.h"
#include "cli/ConvertRequest.h"
#include "cli/OtherFormats.h"
#include "cli/MelodyCommands.h"
#include "cli/OutputGuard.h"
#include "cli/StandardStreams.h"
#include "mld/MldFormat.h"
#include "conversion/ConversionSteps.h"
#include "conversion/MelodyLimits.h"
#include "conversion/StepMessages.h"
#include "platform/Cp932.h"
#include "platform/StreamSource.h"

namespace quorbin::cli {
namespace {

namespace fs = std::filesystem;

// The name of the melody file as the user knows it: in the folder they named.
std::string ShownOutput(const std::string& file, const ConvertRequest& request, const ConversionSteps& steps)
{
    if (request.ToStandardOutput())
        return Tr("standard output");
    if (!request.output.empty())
        return request.output;
    const fs::path folder = request.outputFolder.empty() ? fs::path(file).parent_path() : request.outputFolder;
    return (folder / steps.OutputPath().filename()).string();
}

// A WAVE recording on standard input, read as a stream: no more of it than
// the part that can reach the melody file.
StepFailure PrepareFromStandardInput(ConversionSteps& steps)
{
    StreamSource stream(STDIN_FILENO);
    return steps.PrepareFromSource(stream);
}

// Decodes the recording in the decoder child into `steps`; `confined` is
// false when the kernel refused the child's system call filter.
StepFailure PrepareDecoded(const decode::PreparationOptions& preparation, const decode::DecodeSettings& settings,
                           ConversionSteps& steps, bool& confined)
{
    return steps.PrepareDecoded([&](const std::string& path, DecodedSamples& decoded, FailureReason& reason) {
        return DecodeSamples(path, preparation, settings, decoded, reason, confined);
    });
}

// Reads the recording into `steps`: decoded when the options ask for it,
// otherwise as a native WAVE file, edited when the options ask for that.
// Standard input cannot be read twice: edits of it go through the decoder.
StepFailure PrepareSource(const std::string& file, const ConvertRequest& request, ConversionSteps& steps,
                          bool& confined)
{
    const SoundRequest& sound = request.sound;
    if (sound.preparation)
        return PrepareDecoded(*sound.preparation, request.decoding, steps, confined);
    if (IsStandardStream(file) && sound.edit.EditsSamples()) {
        decode::PreparationOptions keepRate;
        keepRate.edit = sound.edit;
        return PrepareDecoded(keepRate, request.decoding, steps, confined);
    }
    if (IsStandardStream(file))
        return PrepareFromStandardInput(steps);
    if (const StepFailure failure = steps.Prepare(); failure != StepFailure::None)
        return failure;
    if (!sound.edit.EditsSamples())
        return StepFailure::None;
    const std::unique_ptr<SampleStream> samples = steps.OpenSamples();
    EditedRecording edited;
    if (!samples || !EditRecording(*samples, sound.edit, edited))
        return StepFailure::InvalidWave;
    return steps.UseSamples(std::move(edited));
}

// A recording from standard input is named after its melody file.
std::string DefaultTitle(const std::string& file, const ConvertRequest& request, const ConversionSteps& steps)
{
    if (!IsStandardStream(file))
        return steps.DefaultTitle();
    if (request.ToStandardOutput())
        return {};
    std::string title = Utf8ToCp932Lossy(fs::path(request.output).stem().string());
    title.resize(Cp932PrefixLength(title, mld::kMaxTitleBytes));
    return title;
}

ConversionOptions OptionsFor(const ConvertRequest& request, Streams streams, const OutputGuard& guard, SaveBatch& batch)
{
    ConversionOptions options;
    options.dryRun = request.dryRun;
    options.outputFolder = request.outputFolder;
    options.outputPath = request.output;
    options.quality = request.quality;
    options.keepExisting = request.noClobber || request.skipExisting;
    options.batch = &batch;
    options.checkOutput = [&guard, preview = request.preview](const SaveTarget& output) {
        return guard.CheckMelodyOutput(output, preview);
    };
    if (request.ToStandardOutput()) {
        options.writeElsewhere = [&out = streams.out](const ByteBuffer& bytes) { return WriteAndFlush(out, bytes); };
    }
    return options;
}

// What is left of one file's conversion once the staged melody files are in
// place: its lines in the report, then its preview. Returns what became of the file.
using Outcome = std::function<FileOutcome(const std::vector<Result<>>& committed)>;

// The files of one run. Their melody files are staged and put in place
// together, with one sync, at the end, or sooner when no more can be held
// open or a while after the first; the report of each file waits for that, so
// the lines keep the files' order.
class ConvertRun {
public:
    ConvertRun(const ConvertRequest& request, Streams streams, BatchReport& report,
               const std::vector<std::string>& files)
        : m_request(request),
          m_streams(streams),
          m_report(report),
          m_guard(files)
    {}

    void Add(const std::string& file)
    {
        if (m_batch.Size() == 0)
            m_firstStaged = std::chrono::steady_clock::now();
        m_pending.push_back(Convert(file));
        if (m_batch.Size() >= m_mostStaged || std::chrono::steady_clock::now() - m_firstStaged > kLongestStaging)
            Flush();
    }

    void Flush()
    {
        const std::vector<Result<>> committed = m_batch.Commit();
        for (const Outcome& outcome : m_pending)
            m_report.Tally(outcome(committed));
        m_pending.clear();
    }

private:
    static constexpr std::chrono::seconds kLongestStaging{5};

    Outcome Convert(const std::string& file);
    Outcome Failed(const std::string& file, std::string text, int status)
    {
        return [=, this](const std::vector<Result<>>&) {
            m_report.Failure(file, text, status);
            return FileOutcome::Failed;
        };
    }
    Outcome Skipped(const std::string& file, const std::string& shown)
    {
        return [=, this](const std::vector<Result<>>&) {
            m_report.Skipped(file, shown);
            return FileOutcome::Skipped;
        };
    }
    FileOutcome Succeeded(const std::string& file, const ConversionSteps& steps, const std::string& shown);

    const ConvertRequest& m_request;
    Streams m_streams;
    BatchReport& m_report;
    OutputGuard m_guard;
    SaveBatch m_batch;
    std::vector<Outcome> m_pending;
    std::chrono::steady_clock::time_point m_firstStaged;
    std::size_t m_mostStaged = MostFilesInABatch();
};

// Converts one file as far as staging its melody file.
Outcome ConvertRun::Convert(const std::string& file)
{
    std::error_code ec;
    const fs::path full = IsStandardStream(file) ? fs::path(file) : fs::absolute(file, ec);
    auto steps = std::make_shared<ConversionSteps>(ec ? file : full.string(),
                                                   OptionsFor(m_request, m_streams, m_guard, m_batch));

    bool confined = true;
    StepFailure failure = PrepareSource(file, m_request, *steps, confined);
    if (!confined) {
        m_report.WarnOnce(Tr("the kernel refused the decoder's system call filter; recordings are decoded in a "
                             "child process with limits, without the filter"));
    }
    const std::string shown = ShownOutput(file, m_request, *steps);
    const bool toFile = !m_request.ToStandardOutput() && !m_request.dryRun;
    // A melody file that is to be kept is known before the work of coding (a
    // dry run says what would be skipped); the save that keeps it decides.
    const bool exists = failure == StepFailure::None && !m_request.ToStandardOutput()
                        && fs::exists(fs::symlink_status(steps->OutputPath(), ec));
    if (exists && m_request.skipExisting)
        return Skipped(file, shown);
    if (exists && m_request.noClobber && toFile) {
        failure = StepFailure::CannotSave;
        const std::string text =
            FailureText(failure, FailureReason::Of(ReasonKind::Exists), file, shown, steps->Extent(), m_request);
        return Failed(file, text, IDS_CANNOT_SAVE_MLD);
    }
    if (failure == StepFailure::None) {
        ContentInfo info;
        info.title = m_request.title.value_or(DefaultTitle(file, m_request, *steps));
        info.copyright = m_request.copyright;
        info.protectionFlag = m_request.protect ? 1 : 0;
        info.date = m_request.date;
        failure = steps->Finish(info);
    }
    if (failure != StepFailure::None) {
        // The melody file could not go to standard output: an output error, not a save.
        const bool outputFailed = m_request.ToStandardOutput() && failure == StepFailure::CannotSave
                                  && steps->Reason().kind == ReasonKind::SystemError;
        return Failed(file, FailureText(failure, steps->Reason(), file, shown, steps->Extent(), m_request),
                      outputFailed ? kExitIoError : MessageIdFor(failure));
    }
    // A successful Finish into a file staged the melody file last.
    std::optional<std::size_t> staged;
    std::optional<SaveTarget::Place> place;
    if (toFile) {
        staged = m_batch.Size() - 1;
        place = m_batch.PlaceOf(*staged);
        m_guard.Claim(*place, file);
    }
    return [=, this](const std::vector<Result<>>& committed) {
        if (staged && !committed.at(*staged)) {
            m_guard.Release(*place);
            const FailureReason& reason = committed[*staged].Reason();
            if (reason.kind == ReasonKind::Exists && m_request.skipExisting) {
                m_report.Skipped(file, shown);
                return FileOutcome::Skipped;
            }
            m_report.Failure(file,
                             FailureText(StepFailure::CannotSave, reason, file, shown, steps->Extent(), m_request),
                             IDS_CANNOT_SAVE_MLD);
            return FileOutcome::Failed;
        }
        return Succeeded(file, *steps, shown);
    };
}

// The lines of a file whose melody file was written, then its preview.
FileOutcome ConvertRun::Succeeded(const std::string& file, const ConversionSteps& steps, const std::string& shown)
{
    if (m_request.dryRun)
        m_report.Success(file, DryRunText(steps.Extent(), steps.OutputSize(), shown));
    else
        m_report.Success(file, FormatSizeReport(steps.OutputSize(), UserLanguage()) + " (" + shown + ")");
    for (const std::string& note :
         {CutNote(steps.Extent(), m_request), ShortSelectionNote(steps.Extent(), m_request)}) {
        if (!note.empty())
            m_report.Note(file, note);
    }
    if (!m_request.preview || m_request.dryRun)
        return FileOutcome::Done;
    std::string text;
    const std::string preview = PreviewPathFor(shown).string();
    const WhenExists existing = m_request.skipExisting ? WhenExists::Skip
                                : m_request.noClobber  ? WhenExists::Keep
                                                       : WhenExists::Replace;
    const int status = WriteDecodedWave(shown, preview, m_streams.out, text, {&m_guard, existing});
    if (status == 0)
        m_report.Success(shown, text);
    else if (status == kSkipped)
        m_report.Skipped(shown, preview);
    else
        m_report.Failure(shown, text, status);
    // The melody file was written: a preview left alone does not skip the input.
    return status == 0 || status == kSkipped ? FileOutcome::Done : FileOutcome::Failed;
}

int RunConvert(const ParsedArguments& arguments, Streams streams)
{
    std::string problem;
    const auto request = ReadRequest(arguments, streams, problem);
    if (!request)
        return UsageError(streams.err, "convert", "convert: " + problem);

    for (const std::string& note : request->notes)
        Say(streams.err, "quorbin-cli: " + note + "\n");
    BatchReport report(streams, BatchWork::Convert, request->quiet);
    if (request->ToStandardOutput())
        report.SendSuccessToErrors();
    ConvertRun run(*request, streams, report, arguments.operands);
    for (const std::string& file : arguments.operands)
        run.Add(file);
    run.Flush();
    return report.Finish();
}

}  // namespace

Subcommand ConvertSubcommand()
{
    Subcommand command = ConvertDefinition();
    command.run = RunConvert;
    return command;
}

}  // namespace quorbin::cli
