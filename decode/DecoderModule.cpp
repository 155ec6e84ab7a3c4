// The entries of the decoder module (see DecoderModule.h).
#include "decode/DecoderModule.h"

#include <algorithm>
#include <new>
#include <span>

#include "decode/AudioPreparation.h"
#include "decode/DecoderChannel.h"

namespace quorbin::decode {
namespace {

DecodeProblem ProblemOf(const FailureReason& reason)
{
    switch (reason.kind) {
    case ReasonKind::NotAudioFile: return DecodeProblem::Refused;
    case ReasonKind::StreamTooLongForFit: return DecodeProblem::StreamTooLong;
    default: return DecodeProblem::Unreadable;
    }
}

bool SendSamples(int fd, int rate, std::span<const std::int16_t> samples)
{
    const SamplesRecord block{rate};
    return WriteRecord(fd, RecordType::Samples, &block, sizeof block, samples.data(), samples.size_bytes());
}

void SendDone(int fd, const PreparedRecording& prepared)
{
    const DoneRecord done{prepared.selectedSamples, prepared.recordingSamples.value_or(kUnknownLength),
                          prepared.sampleRate, prepared.selectionKnown};
    WriteRecord(fd, RecordType::Done, &done, sizeof done);
}

// A parent that stopped reading ends the sending without a failure.
Result<> SendPrepared(const DecodeJob& job)
{
    const Result<PreparedRecording> prepared = PrepareRecording(job.input, job.request->options);
    if (!prepared)
        return prepared.Reason();
    const SourceRecord source{prepared->sourceRate, prepared->sourceChannels};
    if (!WriteRecord(job.output, RecordType::Source, &source, sizeof source))
        return {};
    const std::span<const std::int16_t> samples(prepared->samples);
    for (std::size_t start = 0; start < samples.size(); start += kSamplesPerRecord) {
        if (!SendSamples(job.output, prepared->sampleRate,
                         samples.subspan(start).first(std::min(kSamplesPerRecord, samples.size() - start))))
            return {};
    }
    SendDone(job.output, *prepared);
    return {};
}

// Each block goes out as it is ready; a parent that stopped reading stops the decoding.
Result<> SendWhole(const DecodeJob& job)
{
    const int rate = job.request->options.targetRate.value_or(kDefaultRate);
    std::uint64_t sent = 0;
    Result<> decoded = DecodeWhole(job.input, rate, [&](std::span<const std::int16_t> samples) {
        sent += samples.size();
        return SendSamples(job.output, rate, samples);
    });
    PreparedRecording whole;
    whole.selectedSamples = sent;
    whole.sampleRate = rate;
    if (decoded)
        SendDone(job.output, whole);
    return decoded;
}

}  // namespace
}  // namespace quorbin::decode

using namespace quorbin::decode;

extern "C" __attribute__((visibility("default"))) void quorbin_decoder_initialise(bool verbose)
{
    InitialiseDecoders(verbose);
}

extern "C" __attribute__((visibility("default"))) void quorbin_decoder_run(const DecodeJob& job)
{
    try {
        const quorbin::Result<> sent = job.request->work == DecodeWork::Whole ? SendWhole(job) : SendPrepared(job);
        if (!sent)
            SendFailure(job.output, ProblemOf(sent.Reason()));
    } catch (const std::bad_alloc&) {
        SendFailure(job.output, DecodeProblem::OutOfMemory);
    }
}

// Checked here so that a change of either side fails to build rather than to run.
static_assert(std::is_same_v<decltype(&quorbin_decoder_initialise), InitialiseFunction>);
static_assert(std::is_same_v<decltype(&quorbin_decoder_run), RunFunction>);
