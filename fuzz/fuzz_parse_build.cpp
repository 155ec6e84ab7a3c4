// Fuzz target: parses arbitrary bytes as a WAVE file and, when they are
// accepted, builds the melody file from them and checks its layout; the
// melody file reader reads the built file back and, for safety alone, the raw
// input as well. The same bytes read as a file by position must give the same
// decisions, the same samples and so the same melody file.
//
// Bytes 4 to 7 (the RIFF size, which the reader ignores) pick the texts:
// byte 4 mod 51 is the title length, bytes 5-6 (little-endian) mod 257 the
// copyright length, bit 0 of byte 7 the protection flag. The text bytes are
// taken from the end of the input.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "audio/AdpcmEncoder.h"
#include "audio/WaveReader.h"
#include "core/ByteBuffer.h"
#include "core/ByteOrder.h"
#include "mld/MldBuilder.h"
#include "mld/MldFormat.h"
#include "mld/MldReader.h"
#include "platform/FileSource.h"

using namespace quorbin;
using mld::kMaxCodedAudio;

namespace {

constexpr std::uint8_t kTrackEnd[] = {0x00, 0xFF, 0xD0, 0x01, 0x00, 0xFF, 0xDF, 0x00};
constexpr std::uint8_t kAudioStart[] = {0x00, 0xFF, 0xFF, 0x00, 0x06, 0x11, 0x01, 0xF1, 0x03, 0x00, 0x7F};
constexpr std::uint8_t kStopTail[] = {0xFF, 0xFF, 0x00, 0x05, 0x11, 0x01, 0xF1, 0x05, 0x00};
constexpr std::uint8_t kFiller[] = {0xFF, 0xFF, 0xDE, 0x00};
constexpr std::size_t kFirstSetupSize = 10;
constexpr std::size_t kAudioEventHead = 13;        // delta, FF FF, length, 11 01 F0 07 00 01, rate
constexpr std::size_t kSettingsSize = 10 + 4 * 4;  // second setup, D0, B0, C3, BA

[[noreturn]] void Fail(const char* what, long long got, long long expected)
{
    std::fprintf(stderr, "property violated: %s (got %lld, expected %lld)\n", what, got, expected);
    std::fflush(stderr);
    __builtin_trap();
}

void Expect(bool holds, const char* what, long long got = 0, long long expected = 0)
{
    if (!holds)
        Fail(what, got, expected);
}

std::uint32_t Be32(const ByteBuffer& b, std::size_t at)
{
    return LoadBe32(b.Data() + at);
}
std::uint32_t Be16(const ByteBuffer& b, std::size_t at)
{
    return LoadBe16(b.Data() + at);
}

bool BytesAt(const ByteBuffer& b, std::size_t at, const void* expected, std::size_t length)
{
    return at + length <= b.Size() && std::memcmp(b.Data() + at, expected, length) == 0;
}

std::string TextFromTail(const std::uint8_t* data, std::size_t size, std::size_t length, std::size_t skip)
{
    std::string text(length, ' ');
    for (std::size_t i = 0; i < length; ++i)
        text[i] = static_cast<char>(data[(size - 1 - (skip + i) % size)]);
    return text;
}

ContentInfo InfoFromControls(const std::uint8_t* data, std::size_t size)
{
    ContentInfo info;
    info.date = "20030601";
    if (size < 8)
        return info;
    const std::size_t titleLength = data[4] % 51;
    const std::size_t copyrightLength = (data[5] | (data[6] << 8)) % 257;
    info.title = TextFromTail(data, size, titleLength, 0);
    info.copyright = TextFromTail(data, size, copyrightLength, titleLength);
    info.protectionFlag = data[7] & 1;
    return info;
}

WaveReader MelodyReader()
{
    return WaveReader(mld::kMinSampleRate, mld::kMaxSampleRate);
}

// The outcome of Parse as one number: the rate, or minus the kind of the failure.
long long Outcome(const Result<std::int32_t>& parsed)
{
    return parsed ? *parsed : -static_cast<long long>(parsed.Reason().kind);
}

void CheckParseResult(const Result<std::int32_t>& parsed, const WaveReader& reader, const std::uint8_t* data,
                      std::size_t size)
{
    const ReasonKind kind = parsed.Reason().kind;
    const bool accepted = parsed && *parsed >= 4000 && *parsed <= 16000;
    Expect(accepted || kind == ReasonKind::InvalidWave || kind == ReasonKind::FormatFound
               || kind == ReasonKind::TooShort,
           "Parse gives a rate or the failure of a WAVE file", Outcome(parsed), 0);
    const bool magic = size > 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WAVE", 4) == 0;
    if (!magic)
        Expect(kind == ReasonKind::InvalidWave, "no RIFF WAVE header is an invalid file", Outcome(parsed), 0);
    if (!accepted)
        return;

    const std::uint64_t offset = reader.DataOffset();
    const std::uint64_t end = offset + reader.DataLength() + (reader.DataLength() & 1);
    Expect(offset >= 20, "data body starts after the first chunk header", static_cast<long long>(offset), 20);
    Expect(end <= size, "data chunk lies inside the bytes", static_cast<long long>(end), static_cast<long long>(size));
    Expect(std::memcmp(data + offset - 8, "data", 4) == 0, "data offset follows a data header");
    Expect(reader.DataLength() / static_cast<std::uint32_t>(*parsed / 500) > 20, "accepted sound lasts over 20 ms",
           reader.DataLength(), 0);
}

std::uint32_t ExpectedCodedLength(std::uint32_t dataLength)
{
    const std::uint32_t samples = dataLength / 2;
    return std::min<std::uint32_t>((samples + 1) / 2, kMaxCodedAudio);
}

std::uint32_t ExpectedTicks(std::uint32_t codedLength, std::int32_t rate)
{
    const std::uint32_t bytesPerTick = static_cast<std::uint32_t>(rate / 1000) * 5;
    return codedLength / bytesPerTick + 1;
}

// The plain encoder, one sample at a time, on the samples straight from the
// input's bytes: an independent path to the same codes.
void CheckCodedAudio(const ByteBuffer& out, std::size_t at, std::uint32_t n, const WaveReader& reader,
                     const std::uint8_t* data)
{
    std::vector<std::int16_t> samples(std::min<std::uint64_t>(reader.SampleCount(), 2 * n));
    LoadLe16Samples(data + reader.DataOffset(), samples);
    std::vector<std::uint8_t> reference(adpcm_coded_size(samples.size()));
    Expect(static_cast<bool>(adpcm_encode_reference(samples, reference)), "the reference encoder codes the samples");
    Expect(reference.size() == n, "reference encode has the coded length", reference.size(), n);
    Expect(BytesAt(out, at, reference.data(), n), "coded audio equals a fresh encode of the samples");
}

// Walks events 8 to 12 from `at` and checks that the stop event comes the
// computed play time after the start event.
void CheckPlayback(const ByteBuffer& out, std::size_t at, std::uint32_t n, std::int32_t rate)
{
    Expect(BytesAt(out, at, kAudioStart, sizeof kAudioStart), "audio start event");
    at += sizeof kAudioStart;
    std::uint32_t ticks = 0;
    while (BytesAt(out, at, kFiller, sizeof kFiller)) {
        ticks += 255;
        at += sizeof kFiller;
    }
    Expect(at < out.Size(), "stop event present");
    const std::uint8_t rest = out[at];
    Expect(rest >= 1, "stop delta at least 1", rest, 1);
    ticks += rest;
    Expect(ticks == ExpectedTicks(n, rate), "stop event at the play time", ticks, ExpectedTicks(n, rate));
    Expect(BytesAt(out, at + 1, kStopTail, sizeof kStopTail), "audio stop event");
    at += 1 + sizeof kStopTail;
    Expect(at + sizeof kTrackEnd == out.Size(), "end events close the file", at + sizeof kTrackEnd, out.Size());
}

void CheckMelodyFile(const ByteBuffer& out, const ContentInfo& info, std::int32_t rate, const WaveReader& reader,
                     const std::uint8_t* data)
{
    const std::size_t size = out.Size();
    Expect(size >= 173, "file holds at least the fixed bytes", size, 173);
    Expect(BytesAt(out, 0, "melo", 4), "magic");
    Expect(Be32(out, 4) == size - 8, "file length field", Be32(out, 4), size - 8);

    const std::size_t t = std::max<std::size_t>(info.title.size(), 1);
    const std::size_t c = std::max<std::size_t>(info.copyright.size(), 1);
    const std::uint32_t headerLength = Be16(out, 8);
    Expect(headerLength == 77 + t + c, "header length counts both texts", headerLength, 77 + t + c);
    const std::size_t trac = 10 + headerLength;
    Expect(trac + 8 <= size && BytesAt(out, trac, "trac", 4), "track chunk where the header length points");
    Expect(Be32(out, trac + 4) == size - trac - 8, "track length field", Be32(out, trac + 4), size - trac - 8);
    Expect(out[13 + 6] == (info.protectionFlag == 1 ? 1 : 0), "sorc body follows the protection flag", out[19],
           info.protectionFlag);
    const std::string title = info.title.empty() ? " " : info.title;
    Expect(BytesAt(out, 20 + 6, title.data(), title.size()), "title bytes written unchanged");

    const std::size_t audio = trac + 8 + kFirstSetupSize;
    Expect(BytesAt(out, audio, "\x00\xFF\xFF", 3), "audio data event");
    const std::uint32_t payload = Be16(out, audio + 3);
    Expect(payload >= 8, "audio payload holds its fixed bytes", payload, 8);
    const std::uint32_t n = payload - 8;
    Expect(n <= kMaxCodedAudio, "coded audio fits the event", n, kMaxCodedAudio);
    Expect(n == ExpectedCodedLength(reader.DataLength()), "coded length from the data length", n,
           ExpectedCodedLength(reader.DataLength()));
    Expect(Be16(out, audio + 11) == static_cast<std::uint32_t>(rate), "sample rate in the audio event",
           Be16(out, audio + 11), rate);
    Expect(audio + kAudioEventHead + n + kSettingsSize <= size, "events after the audio fit the file");
    CheckCodedAudio(out, audio + kAudioEventHead, n, reader, data);
    CheckPlayback(out, audio + kAudioEventHead + n + kSettingsSize, n, rate);
    Expect(BytesAt(out, size - sizeof kTrackEnd, kTrackEnd, sizeof kTrackEnd), "file ends with the end events");
}

void CheckReadBack(const ByteBuffer& out, const ContentInfo& info, std::int32_t rate)
{
    const MldReadResult read = ReadMld(out.Bytes());
    if (!read.contents) {
        std::fprintf(stderr, "reader: %s at %zu\n", read.error.message.c_str(), read.error.offset);
        Fail("the melody file reader understands a built file", 0, 0);
    }
    const MldContents& c = *read.contents;
    const std::uint32_t n = static_cast<std::uint32_t>(c.audioLength);
    Expect(c.title == (info.title.empty() ? " " : info.title), "title read back");
    Expect(c.copyright == (info.copyright.empty() ? " " : info.copyright), "copyright read back");
    Expect(c.protectionFlag == info.protectionFlag, "protection read back", c.protectionFlag, info.protectionFlag);
    Expect(c.date == info.date && c.software == kSoftwareName, "date and software read back");
    Expect(c.sampleRate == rate, "rate read back", c.sampleRate, rate);
    Expect(c.audioOffset + c.audioLength <= out.Size(), "audio read back lies inside the file");
    Expect(c.playTicks == ExpectedTicks(n, rate), "play time read back", c.playTicks, ExpectedTicks(n, rate));
}

// The reader must keep inside any bytes it is given and describe only what is there.
void ReadRawInput(const std::uint8_t* data, std::size_t size)
{
    const MldReadResult read = ReadMld(std::span<const std::uint8_t>(data, size));
    if (!read.contents)
        return;
    Expect(read.contents->audioOffset + read.contents->audioLength <= size, "audio of a read file lies inside it");
}

// An unnamed file holding the input, read by position.
FileSource FileHolding(const std::uint8_t* data, std::size_t size)
{
    const int fd = ::memfd_create("wave", MFD_CLOEXEC);
    Expect(fd >= 0, "an unnamed file can be made");
    Expect(size == 0 || ::write(fd, data, size) == static_cast<ssize_t>(size), "the input fits the file");
    return FileSource(fd);
}

// The reader that takes only what it needs from a file decides as the whole
// file in memory does and hands out the same samples.
void CheckBoundedRead(const std::uint8_t* data, std::size_t size, const Result<std::int32_t>& parsed,
                      const WaveReader& whole, const std::vector<std::int16_t>& samples)
{
    FileSource file = FileHolding(data, size);
    WaveReader bounded = MelodyReader();
    const Result<std::int32_t> boundedParsed = bounded.Parse(file);
    Expect(Outcome(boundedParsed) == Outcome(parsed), "file read by position gives the same result",
           Outcome(boundedParsed), Outcome(parsed));
    if (!parsed)
        return;
    Expect(bounded.DataOffset() == whole.DataOffset() && bounded.DataLength() == whole.DataLength(),
           "file read by position finds the same data chunk");
    const Result<std::vector<std::int16_t>> kept = bounded.ReadSamples(file, 0, mld::kMaxSamples);
    Expect(kept && *kept == samples, "the file read by position gives the same samples");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ReadRawInput(data, size);
    const std::vector<std::uint8_t> copy(data, data + size);
    MemorySource source(copy.data(), copy.size());
    WaveReader reader = MelodyReader();
    const Result<std::int32_t> parsed = reader.Parse(source);
    CheckParseResult(parsed, reader, copy.data(), size);
    std::vector<std::int16_t> samples;
    if (parsed) {
        const Result<std::vector<std::int16_t>> read = reader.ReadSamples(source, 0, mld::kMaxSamples);
        Expect(static_cast<bool>(read), "the samples of an accepted file can be read");
        samples = *read;
        const ContentInfo info = InfoFromControls(data, size);
        const Result<ByteBuffer> out = MldBuilder::Build(info, samples, *parsed);
        Expect(static_cast<bool>(out), "Build succeeds for an accepted file");
        CheckMelodyFile(*out, info, *parsed, reader, copy.data());
        CheckReadBack(*out, info, *parsed);
    }
    CheckBoundedRead(data, size, parsed, reader, samples);
    return 0;
}
