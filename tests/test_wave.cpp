#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "WaveFixtures.h"
#include "audio/WaveReader.h"
#include "mld/MldBuilder.h"
#include "platform/FileSource.h"

using namespace quorbin;
using namespace quorbin::fixtures;

namespace {

struct ParseCase {
    const char* name;
    Bytes file;
    std::int32_t result;
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
    WaveReader inMemory;
    WaveReader fromFile;
    FileSource file(FileHolding(c.file));
    for (const auto& [reader, result] :
         {std::pair{&inMemory, inMemory.Parse(Exact(c.file))}, std::pair{&fromFile, fromFile.Parse(file)}}) {
        EXPECT_EQ(result, c.result);
        if (c.result > 0) {
            EXPECT_EQ(reader->m_dataOffset, c.dataOffset);
            EXPECT_EQ(reader->m_dataLength, c.dataLength);
        }
    }
}

const Bytes kGood = RiffFile({Fmt(8000), DataOfSize(800)});

INSTANTIATE_TEST_SUITE_P(
    Container, ParseTest,
    ::testing::Values(
        ParseCase{"Empty", {}, WAVE_INVALID},
        ParseCase{"HeaderOnly", Bytes(kGood.begin(), kGood.begin() + 12), WAVE_INVALID},
        ParseCase{"ShorterThanHeader", Bytes(kGood.begin(), kGood.begin() + 7), WAVE_INVALID},
        ParseCase{"BigEndianRiff", Replace(kGood, 0, "RIFX"), WAVE_INVALID},
        ParseCase{"LowerCaseRiff", Replace(kGood, 0, "riff"), WAVE_INVALID},
        ParseCase{"NotWave", Replace(kGood, 8, "AVI "), WAVE_INVALID},
        ParseCase{"RiffSizeIgnored", RiffFile({Fmt(8000), DataOfSize(800)}, 0), 8000, 44, 800},
        ParseCase{"Canonical", kGood, 8000, 44, 800},
        ParseCase{"DataBeforeFmt", RiffFile({DataOfSize(800), Fmt(8000)}), 8000, 20, 800},
        ParseCase{"FirstOfTwoDataChunks", RiffFile({Fmt(8000), DataOfSize(800), DataOfSize(900)}), 8000, 44, 800},
        ParseCase{"SecondDataMustFit", RiffFile({Fmt(8000), DataOfSize(800), {"data", Bytes(4), true, 5}}),
                  WAVE_INVALID},
        ParseCase{"NoData", RiffFile({Fmt(8000)}), WAVE_INVALID},
        ParseCase{"NoFmt", RiffFile({DataOfSize(800)}), WAVE_INVALID},
        ParseCase{"OddChunkWithPad", RiffFile({{"junk", Bytes(3)}, Fmt(8000), DataOfSize(800)}), 8000, 56, 800},
        ParseCase{"OddListWithoutPad", RiffFile({{"LIST", Bytes(3), false}, Fmt(8000), DataOfSize(800)}), 8000, 55,
                  800},
        // The pad byte after an odd LIST is read as the start of the next header,
        // which then states a size that runs past the end.
        ParseCase{"OddListWithPad", RiffFile({{"LIST", Bytes(3), true}, Fmt(8000), DataOfSize(800)}), WAVE_INVALID},
        ParseCase{"OddDataWithoutPadAtEnd", RiffFile({Fmt(8000), {"data", Bytes(801), false}}), WAVE_INVALID},
        ParseCase{"OddDataWithPadAtEnd", RiffFile({Fmt(8000), {"data", Bytes(801), true}}), 8000, 44, 801},
        ParseCase{"HugeDataSize", RiffFile({Fmt(8000), {"data", Bytes(800), true, 0xFFFFFFFF}}), WAVE_INVALID},
        ParseCase{"HugeOtherSize", RiffFile({{"junk", Bytes(8), true, 0xFFFFFFFF}, Fmt(8000), DataOfSize(800)}),
                  WAVE_INVALID},
        ParseCase{"ChunkAfterDataPastEnd", RiffFile({Fmt(8000), DataOfSize(800), {"junk", Bytes(4), true, 100}}),
                  WAVE_INVALID},
        ParseCase{"UnsupportedFmtThenPastEnd", RiffFile({Fmt(44100), {"junk", Bytes(4), true, 100}}), WAVE_UNSUPPORTED},
        ParseCase{"PastEndThenUnsupportedFmt", RiffFile({{"junk", Bytes(4), true, 100}, Fmt(44100)}), WAVE_INVALID},
        // Fewer than 8 bytes after the last chunk end the walk.
        ParseCase{"TrailingByte", Concat(kGood, {0}), 8000, 44, 800},
        ParseCase{"TrailingSevenBytes", Concat(kGood, Text("LIST\x01\x00\x00")), 8000, 44, 800},
        ParseCase{"TrailingBytesBeforeData", Concat(RiffFile({Fmt(8000)}), Text("data")), WAVE_INVALID}),
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
    ::testing::Values(ParseCase{"FloatTag", WithFmt(FmtBody(8000, 1, 16, 3)), WAVE_UNSUPPORTED},
                      ParseCase{"ExtensibleTag", WithFmt(FmtBody(8000, 1, 16, 65534)), WAVE_UNSUPPORTED},
                      ParseCase{"Stereo", WithFmt(FmtBody(8000, 2, 16)), WAVE_UNSUPPORTED},
                      ParseCase{"EightBit", WithFmt(FmtBody(8000, 1, 8)), WAVE_UNSUPPORTED},
                      ParseCase{"Rate3999", WithRate(3999), WAVE_UNSUPPORTED},
                      ParseCase{"Rate16001", WithRate(16001), WAVE_UNSUPPORTED},
                      ParseCase{"Rate22050", WithRate(22050), WAVE_UNSUPPORTED},
                      ParseCase{"Rate44100", WithRate(44100), WAVE_UNSUPPORTED},
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
                                WAVE_UNSUPPORTED},
                      ParseCase{"FifteenByteFmtReadsItsPadByte", ShortFmtAtEnd(15), 8000, 20, 800},
                      // ...and is refused as broken when those bytes lie past the end of the file.
                      ParseCase{"ShortFmtAtEndOfFile", ShortFmtAtEnd(2), WAVE_INVALID},
                      ParseCase{"EmptyFmtAtEndOfFile", ShortFmtAtEnd(0), WAVE_INVALID},
                      ParseCase{"FourteenByteFmtAtEndOfFile", ShortFmtAtEnd(14), WAVE_INVALID}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    PlayTime, ParseTest,
    ::testing::Values(ParseCase{"At8000Of335Bytes", RiffFile({Fmt(8000), DataOfSize(335)}), WAVE_TOO_SHORT},
                      ParseCase{"At8000Of336Bytes", RiffFile({Fmt(8000), DataOfSize(336)}), 8000, 44, 336},
                      ParseCase{"At11025Of461Bytes", RiffFile({Fmt(11025), DataOfSize(461)}), WAVE_TOO_SHORT},
                      ParseCase{"At11025Of462Bytes", RiffFile({Fmt(11025), DataOfSize(462)}), 11025, 44, 462},
                      ParseCase{"At4000Of168Bytes", RiffFile({Fmt(4000), DataOfSize(168)}), 4000, 44, 168},
                      ParseCase{"At16000Of671Bytes", RiffFile({Fmt(16000), DataOfSize(671)}), WAVE_TOO_SHORT},
                      ParseCase{"EmptyData", RiffFile({Fmt(8000), DataOfSize(0)}), WAVE_TOO_SHORT}),
    [](const auto& info) { return std::string(info.param.name); });

// Every prefix of a valid file is a truncated file: none may be accepted
// unless its data chunk is whole, and none may read outside the bytes.
TEST(ParseTruncated, EveryPrefixIsRefusedOrConsistent)
{
    const Bytes full = RiffFile({{"LIST", Bytes(5), false}, Fmt(8000), DataOfSize(400), {"junk", Bytes(3)}});
    for (std::size_t size = 0; size <= full.size(); ++size) {
        WaveReader reader;
        const ByteBuffer bytes = Exact(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(size)));
        const std::int32_t result = reader.Parse(bytes);
        if (result > 0)
            EXPECT_LE(std::uint64_t{reader.m_dataOffset} + reader.m_dataLength, size) << size;
        else
            EXPECT_EQ(result, WAVE_INVALID) << size;
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
    WaveReader reader;
    EXPECT_EQ(reader.Parse(file), WAVE_INVALID);
}

ByteBuffer ReadWhole(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return ByteBuffer(Bytes(std::istreambuf_iterator<char>(in), {}));
}

// Every seed of the fuzz corpus gets the same decision from the file read by
// position as from the whole file in memory, and an accepted one the same
// melody file from the kept start of its "data" body.
TEST(ParseFile, AgreesWithTheWholeFileOnTheFuzzCorpus)
{
    const ContentInfo info{"Title", "(c)", 1, "20030601"};
    int seeds = 0;
    for (const char* folder : {"../fuzz/corpus", "../fuzz/corpus-long"}) {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            ++seeds;
            SCOPED_TRACE(entry.path().string());
            const ByteBuffer whole = ReadWhole(entry.path());
            MldBuilder inMemory;
            const std::int32_t result = inMemory.Parse(whole);
            FileSource file(entry.path());
            WaveReader bounded;
            ASSERT_EQ(bounded.Parse(file), result);
            if (result < 0)
                continue;
            EXPECT_EQ(bounded.m_dataOffset, inMemory.m_dataOffset);
            EXPECT_EQ(bounded.m_dataLength, inMemory.m_dataLength);

            ByteBuffer kept;
            ASSERT_EQ(bounded.ReadData(file, 0, kMaxUsedSampleBytes, kept), 0);
            ByteBuffer fromWhole;
            ByteBuffer fromKept;
            ASSERT_EQ(inMemory.Build(info, whole, result, fromWhole), 0);
            ASSERT_EQ(MldBuilder::BuildFromSamples(info, {kept.Data(), kept.Size()}, result, fromKept), 0);
            EXPECT_EQ(fromKept.Bytes(), fromWhole.Bytes());

            ByteBuffer part;
            ASSERT_EQ(bounded.ReadData(file, 100, 50, part), 0);
            const auto start = whole.Bytes().begin() + static_cast<std::ptrdiff_t>(bounded.m_dataOffset + 100);
            EXPECT_EQ(part.Bytes(), Bytes(start, start + static_cast<std::ptrdiff_t>(part.Size())));
            EXPECT_EQ(part.Size(), std::min<std::size_t>(50, bounded.m_dataLength - 100));
        }
    }
    EXPECT_GE(seeds, 30);
}

}  // namespace
