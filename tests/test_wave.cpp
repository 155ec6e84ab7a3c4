#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "WaveFixtures.h"
#include "audio/WaveReader.h"
#include "conversion/MelodyLimits.h"
#include "mld/MldBuilder.h"
#include "platform/FileSource.h"

using namespace quorbin;
using namespace quorbin::fixtures;

namespace {

// What Parse gives: the sample rate, or the kind of its failure.
struct Outcome {
    Outcome(std::int32_t sampleRate) : rate(sampleRate) {}
    Outcome(ReasonKind kind) : failure(kind) {}
    std::int32_t rate = 0;
    ReasonKind failure = ReasonKind::None;

    bool operator==(const Outcome&) const = default;
};

Outcome OutcomeOf(const Result<std::int32_t>& parsed)
{
    return parsed ? Outcome(*parsed) : Outcome(parsed.Reason().kind);
}

std::ostream& operator<<(std::ostream& os, const Outcome& outcome)
{
    return os << outcome.rate << "/" << static_cast<int>(outcome.failure);
}

struct ParseCase {
    const char* name;
    Bytes file;
    Outcome result;
    std::uint32_t dataOffset = 0;  // checked when the file is accepted
    std::uint32_t dataLength = 0;
};

std::ostream& operator<<(std::ostream& os, const ParseCase& c)
{
    return os << c.name;
}

Bytes Text(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

Bytes Concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes WithRate(std::uint32_t rate)
{
    return RiffFile({Fmt(rate), DataOfSize(800)});
}

Bytes WithFmt(Bytes fmtBody)
{
    return RiffFile({{"fmt ", std::move(fmtBody)}, DataOfSize(800)});
}

Bytes Replace(Bytes file, std::size_t at, const std::string& text)
{
    std::copy(text.begin(), text.end(), file.begin() + static_cast<std::ptrdiff_t>(at));
    return file;
}

// An unnamed file holding `bytes`; the caller owns the descriptor.
int FileHolding(const Bytes& bytes)
{
    const int fd = ::memfd_create("wave", MFD_CLOEXEC);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    return fd;
}

class ParseTest : public ::testing::TestWithParam<ParseCase> {};

// The same decisions whether the whole file is in memory or read by position.
TEST_P(ParseTest, GivesExpectedResultAndDataPosition)
{
    const ParseCase& c = GetParam();
    WaveReader inMemory = MelodyWaveReader();
    WaveReader fromFile = MelodyWaveReader();
    FileSource file(FileHolding(c.file));
    for (const auto& [reader, result] : {std::pair{&inMemory, OutcomeOf(inMemory.Parse(Exact(c.file)))},
                                         std::pair{&fromFile, OutcomeOf(fromFile.Parse(file))}}) {
        EXPECT_EQ(result, c.result);
        if (c.result.rate > 0) {
            EXPECT_EQ(reader->DataOffset(), c.dataOffset);
            EXPECT_EQ(reader->DataLength(), c.dataLength);
        }
    }
}

const Bytes kGood = RiffFile({Fmt(8000), DataOfSize(800)});

INSTANTIATE_TEST_SUITE_P(
    Container, ParseTest,
    ::testing::Values(
        ParseCase{"Empty", {}, ReasonKind::InvalidWave},
        ParseCase{"HeaderOnly", Bytes(kGood.begin(), kGood.begin() + 12), ReasonKind::InvalidWave},
        ParseCase{"ShorterThanHeader", Bytes(kGood.begin(), kGood.begin() + 7), ReasonKind::InvalidWave},
        ParseCase{"BigEndianRiff", Replace(kGood, 0, "RIFX"), ReasonKind::InvalidWave},
        ParseCase{"LowerCaseRiff", Replace(kGood, 0, "riff"), ReasonKind::InvalidWave},
        ParseCase{"NotWave", Replace(kGood, 8, "AVI "), ReasonKind::InvalidWave},
        ParseCase{"RiffSizeIgnored", RiffFile({Fmt(8000), DataOfSize(800)}, 0), 8000, 44, 800},
        ParseCase{"Canonical", kGood, 8000, 44, 800},
        ParseCase{"DataBeforeFmt", RiffFile({DataOfSize(800), Fmt(8000)}), 8000, 20, 800},
        ParseCase{"FirstOfTwoDataChunks", RiffFile({Fmt(8000), DataOfSize(800), DataOfSize(900)}), 8000, 44, 800},
        ParseCase{"SecondDataMustFit", RiffFile({Fmt(8000), DataOfSize(800), {"data", Bytes(4), true, 5}}),
                  ReasonKind::InvalidWave},
        ParseCase{"NoData", RiffFile({Fmt(8000)}), ReasonKind::InvalidWave},
        ParseCase{"NoFmt", RiffFile({DataOfSize(800)}), ReasonKind::InvalidWave},
        ParseCase{"OddChunkWithPad", RiffFile({{"junk", Bytes(3)}, Fmt(8000), DataOfSize(800)}), 8000, 56, 800},
        ParseCase{"OddListWithoutPad", RiffFile({{"LIST", Bytes(3), false}, Fmt(8000), DataOfSize(800)}), 8000, 55,
                  800},
        // The pad byte after an odd LIST is read as the start of the next header,
        // which then states a size that runs past the end.
        ParseCase{"OddListWithPad", RiffFile({{"LIST", Bytes(3), true}, Fmt(8000), DataOfSize(800)}),
                  ReasonKind::InvalidWave},
        ParseCase{"OddDataWithoutPadAtEnd", RiffFile({Fmt(8000), {"data", Bytes(801), false}}),
                  ReasonKind::InvalidWave},
        ParseCase{"OddDataWithPadAtEnd", RiffFile({Fmt(8000), {"data", Bytes(801), true}}), 8000, 44, 801},
        ParseCase{"HugeDataSize", RiffFile({Fmt(8000), {"data", Bytes(800), true, 0xFFFFFFFF}}),
                  ReasonKind::InvalidWave},
        ParseCase{"HugeOtherSize", RiffFile({{"junk", Bytes(8), true, 0xFFFFFFFF}, Fmt(8000), DataOfSize(800)}),
                  ReasonKind::InvalidWave},
        ParseCase{"ChunkAfterDataPastEnd", RiffFile({Fmt(8000), DataOfSize(800), {"junk", Bytes(4), true, 100}}),
                  ReasonKind::InvalidWave},
        ParseCase{"UnsupportedFmtThenPastEnd", RiffFile({Fmt(44100), {"junk", Bytes(4), true, 100}}),
                  ReasonKind::FormatFound},
        ParseCase{"PastEndThenUnsupportedFmt", RiffFile({{"junk", Bytes(4), true, 100}, Fmt(44100)}),
                  ReasonKind::InvalidWave},
        // Fewer than 8 bytes after the last chunk end the walk.
        ParseCase{"TrailingByte", Concat(kGood, {0}), 8000, 44, 800},
        ParseCase{"TrailingSevenBytes", Concat(kGood, Text("LIST\x01\x00\x00")), 8000, 44, 800},
        ParseCase{"TrailingBytesBeforeData", Concat(RiffFile({Fmt(8000)}), Text("data")), ReasonKind::InvalidWave}),
    [](const auto& info) { return std::string(info.param.name); });

Bytes FmtPrefix(std::size_t size)
{
    Bytes body = FmtBody(8000);
    body.resize(size);
    return body;
}

// "data" first, then a "fmt " body cut to bodySize bytes at the very end.
Bytes ShortFmtAtEnd(std::size_t bodySize)
{
    return RiffFile({DataOfSize(800), {"fmt ", FmtPrefix(bodySize)}});
}

INSTANTIATE_TEST_SUITE_P(
    Format, ParseTest,
    ::testing::Values(ParseCase{"FloatTag", WithFmt(FmtBody(8000, 1, 16, 3)), ReasonKind::FormatFound},
                      ParseCase{"ExtensibleTag", WithFmt(FmtBody(8000, 1, 16, 65534)), ReasonKind::FormatFound},
                      ParseCase{"Stereo", WithFmt(FmtBody(8000, 2, 16)), ReasonKind::FormatFound},
                      ParseCase{"EightBit", WithFmt(FmtBody(8000, 1, 8)), ReasonKind::FormatFound},
                      ParseCase{"Rate3999", WithRate(3999), ReasonKind::FormatFound},
                      ParseCase{"Rate16001", WithRate(16001), ReasonKind::FormatFound},
                      ParseCase{"Rate22050", WithRate(22050), ReasonKind::FormatFound},
                      ParseCase{"Rate44100", WithRate(44100), ReasonKind::FormatFound},
                      ParseCase{"Rate4000", WithRate(4000), 4000, 44, 800},
                      ParseCase{"Rate16000", WithRate(16000), 16000, 44, 800},
                      ParseCase{"ZeroAverageRateAndAlign", WithFmt([] {
                                    Bytes b = FmtBody(8000);
                                    std::fill(b.begin() + 8, b.begin() + 14, 0);
                                    return b;
                                }()),
                                8000, 44, 800},
                      ParseCase{"FmtWithExtension", WithFmt(Concat(FmtBody(11025), {0, 0})), 11025, 46, 800},
                      ParseCase{"UnsupportedSecondFmtIgnored", RiffFile({Fmt(8000), Fmt(44100), DataOfSize(800)}), 8000,
                                68, 800},
                      // A short "fmt " chunk takes its bits per sample from the next chunk's id.
                      ParseCase{"ShortFmtReadsFollowingBytes", RiffFile({{"fmt ", FmtPrefix(14)}, DataOfSize(800)}),
                                ReasonKind::FormatFound},
                      ParseCase{"FifteenByteFmtReadsItsPadByte", ShortFmtAtEnd(15), 8000, 20, 800},
                      // ...and is refused as broken when those bytes lie past the end of the file.
                      ParseCase{"ShortFmtAtEndOfFile", ShortFmtAtEnd(2), ReasonKind::InvalidWave},
                      ParseCase{"EmptyFmtAtEndOfFile", ShortFmtAtEnd(0), ReasonKind::InvalidWave},
                      ParseCase{"FourteenByteFmtAtEndOfFile", ShortFmtAtEnd(14), ReasonKind::InvalidWave}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    PlayTime, ParseTest,
    ::testing::Values(ParseCase{"At8000Of335Bytes", RiffFile({Fmt(8000), DataOfSize(335)}), ReasonKind::TooShort},
                      ParseCase{"At8000Of336Bytes", RiffFile({Fmt(8000), DataOfSize(336)}), 8000, 44, 336},
                      ParseCase{"At11025Of461Bytes", RiffFile({Fmt(11025), DataOfSize(461)}), ReasonKind::TooShort},
                      ParseCase{"At11025Of462Bytes", RiffFile({Fmt(11025), DataOfSize(462)}), 11025, 44, 462},
                      ParseCase{"At4000Of168Bytes", RiffFile({Fmt(4000), DataOfSize(168)}), 4000, 44, 168},
                      ParseCase{"At16000Of671Bytes", RiffFile({Fmt(16000), DataOfSize(671)}), ReasonKind::TooShort},
                      ParseCase{"EmptyData", RiffFile({Fmt(8000), DataOfSize(0)}), ReasonKind::TooShort}),
    [](const auto& info) { return std::string(info.param.name); });

// Every prefix of a valid file is a truncated file: none may be accepted
// unless its data chunk is whole, and none may read outside the bytes.
TEST(ParseTruncated, EveryPrefixIsRefusedOrConsistent)
{
    const Bytes full = RiffFile({{"LIST", Bytes(5), false}, Fmt(8000), DataOfSize(400), {"junk", Bytes(3)}});
    for (std::size_t size = 0; size <= full.size(); ++size) {
        WaveReader reader = MelodyWaveReader();
        const ByteBuffer bytes = Exact(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(size)));
        const Result<std::int32_t> result = reader.Parse(bytes);
        if (result)
            EXPECT_LE(reader.DataOffset() + reader.DataLength(), size) << size;
        else
            EXPECT_EQ(result.Reason().kind, ReasonKind::InvalidWave) << size;
    }
}

// A file cut short after it was opened has bytes missing: it is refused, it
// does not end the program.
TEST(ParseFile, AFileCutShortWhileReadIsInvalid)
{
    const int fd = FileHolding(RiffFile({Fmt(8000), DataOfSize(800)}));
    FileSource file(::dup(fd));
    ASSERT_EQ(::ftruncate(fd, 30), 0);
    ::close(fd);
    WaveReader reader = MelodyWaveReader();
    EXPECT_EQ(reader.Parse(file).Reason().kind, ReasonKind::InvalidWave);
}

// The samples of the "data" body as its little-endian bytes give them, from
// any sample on; none past the end; an odd last byte is no sample.
TEST(ReadSamples, HandsOutTheDataBodyAsSamples)
{
    std::vector<std::int16_t> samples = {0, 1, -1, 32767, -32768, 0x1234, -0x1234, 258};
    samples.resize(400);
    Chunk odd = Data(samples);
    odd.body.push_back(0x7F);
    const Bytes file = RiffFile({Fmt(8000), odd, DataOfSize(800)});
    const auto from = [&](std::size_t first, std::size_t count) {
        return std::vector<std::int16_t>(samples.begin() + static_cast<std::ptrdiff_t>(first),
                                         samples.begin() + static_cast<std::ptrdiff_t>(first + count));
    };
    const std::tuple<std::uint64_t, std::uint64_t, std::vector<std::int16_t>> cases[] = {
        {0, 8, from(0, 8)}, {5, 3, from(5, 3)}, {397, 1000, from(397, 3)}, {400, 1, {}}, {1000, 1, {}}};
    for (const auto& [first, count, expected] : cases) {
        MemorySource source(file.data(), file.size());
        WaveReader reader = MelodyWaveReader();
        ASSERT_TRUE(reader.Parse(source));
        EXPECT_EQ(reader.SampleCount(), samples.size());
        const Result<std::vector<std::int16_t>> read = reader.ReadSamples(source, first, count);
        ASSERT_TRUE(read) << first;
        EXPECT_EQ(*read, expected) << first;
    }
}

ByteBuffer ReadWhole(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return ByteBuffer(Bytes(std::istreambuf_iterator<char>(in), {}));
}

// Every seed of the fuzz corpus gets the same decision from the file read by
// position as from the whole file in memory, and an accepted one the same
// samples, whole or in parts.
TEST(ParseFile, AgreesWithTheWholeFileOnTheFuzzCorpus)
{
    int seeds = 0;
    for (const char* folder : {"../fuzz/corpus", "../fuzz/corpus-long"}) {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            ++seeds;
            SCOPED_TRACE(entry.path().string());
            const ByteBuffer whole = ReadWhole(entry.path());
            WaveReader inMemory = MelodyWaveReader();
            const Outcome result = OutcomeOf(inMemory.Parse(whole));
            FileSource file(entry.path());
            WaveReader bounded = MelodyWaveReader();
            ASSERT_EQ(OutcomeOf(bounded.Parse(file)), result);
            if (result.rate == 0)
                continue;
            EXPECT_EQ(bounded.DataOffset(), inMemory.DataOffset());
            EXPECT_EQ(bounded.DataLength(), inMemory.DataLength());

            MemorySource memory(whole.Data(), whole.Size());
            const auto all = inMemory.ReadSamples(memory, 0, kMelodySampleLimit);
            const auto kept = bounded.ReadSamples(file, 0, kMelodySampleLimit);
            ASSERT_TRUE(all && kept);
            EXPECT_EQ(*kept, *all);
            EXPECT_EQ(kept->size(), std::min<std::uint64_t>(bounded.SampleCount(), kMelodySampleLimit));

            const auto part = bounded.ReadSamples(file, 50, 25);
            ASSERT_TRUE(part);
            const auto start = all->begin() + std::min<std::ptrdiff_t>(50, std::ssize(*all));
            EXPECT_EQ(*part, std::vector<std::int16_t>(start, start + static_cast<std::ptrdiff_t>(part->size())));
            EXPECT_EQ(part->size(), std::min<std::size_t>(25, std::max<std::int64_t>(0, std::ssize(*all) - 50)));
        }
    }
    EXPECT_GE(seeds, 30);
}

}  // namespace
