// The melody file as the builder lays it out, checked by its bytes and read
// back with the melody file reader.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "WaveFixtures.h"
#include "audio/AdpcmEncoder.h"
#include "core/ByteOrder.h"
#include "mld/MldBuilder.h"
#include "mld/MldFormat.h"
#include "mld/MldReader.h"

using namespace quorbin;
using namespace quorbin::fixtures;

namespace {

Bytes Hex(std::initializer_list<int> bytes)
{
    return Bytes(bytes.begin(), bytes.end());
}

Bytes Ascii(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

std::uint32_t Be32(const Bytes& b, std::size_t at)
{
    return LoadBe32(&b.at(at));
}
std::uint32_t Be16(const Bytes& b, std::size_t at)
{
    return LoadBe16(&b.at(at));
}

ContentInfo AbcInfo()
{
    ContentInfo info;
    info.title = "abc";
    info.date = "20030601";
    return info;
}

Bytes BuildFile(const ContentInfo& info, const std::vector<std::int16_t>& samples, std::int32_t rate = 8000)
{
    const Result<ByteBuffer> file = MldBuilder::Build(info, samples, rate);
    EXPECT_TRUE(file);
    return file ? file->Bytes() : Bytes();
}

// The file read back; every file the builder makes must be understood whole.
MldContents ReadBack(const Bytes& file)
{
    const MldReadResult read = ReadMld(file);
    EXPECT_TRUE(read.contents) << read.error.message << " at " << read.error.offset;
    return read.contents.value_or(MldContents{});
}

// The header block of a file: from offset 8 up to the track.
Bytes HeaderBlock(const ContentInfo& info)
{
    const Bytes file = BuildFile(info, std::vector<std::int16_t>(16, 0));
    return Bytes(file.begin() + 8, file.begin() + 10 + Be16(file, 8));
}

const Bytes kAbcBlock =
    Cat({Hex({0x00, 0x51, 0x01, 0x01, 0x01}), Hex({0x73, 0x6F, 0x72, 0x63, 0x00, 0x01, 0x00}),
         Hex({0x74, 0x69, 0x74, 0x6C, 0x00, 0x03, 0x61, 0x62, 0x63}),
         Hex({0x76, 0x65, 0x72, 0x73, 0x00, 0x04, 0x30, 0x33, 0x30, 0x30}),
         Hex({0x64, 0x61, 0x74, 0x65, 0x00, 0x08, 0x32, 0x30, 0x30, 0x33, 0x30, 0x36, 0x30, 0x31}),
         Hex({0x63, 0x6F, 0x70, 0x79, 0x00, 0x01, 0x20}), Hex({0x6E, 0x6F, 0x74, 0x65, 0x00, 0x02, 0x00, 0x00}),
         Hex({0x73, 0x75, 0x70, 0x74, 0x00, 0x11}), Ascii("Quorbin Ver.1.0.0")});

TEST(Build, SixteenSamplesOfSilenceByteForByte)
{
    const Bytes expected =
        Cat({Hex({0x6D, 0x65, 0x6C, 0x6F, 0x00, 0x00, 0x00, 0xB1}), kAbcBlock,
             Hex({0x74, 0x72, 0x61, 0x63, 0x00, 0x00, 0x00, 0x56}),
             Hex({0x00, 0xFF, 0xFF, 0x00, 0x05, 0x11, 0x01, 0xF3, 0x03, 0x00}),
             Hex({0x00, 0xFF, 0xFF, 0x00, 0x10, 0x11, 0x01, 0xF0, 0x07, 0x00, 0x01, 0x1F, 0x40}), Bytes(8, 0x80),
             Hex({0x00, 0xFF, 0xFF, 0x00, 0x05, 0x11, 0x01, 0xF3, 0x04, 0x01}),
             Hex({0x00, 0xFF, 0xD0, 0x00, 0x00, 0xFF, 0xB0, 0x7F, 0x00, 0xFF, 0xC3, 0x7D, 0x00, 0xFF, 0xBA, 0x01}),
             Hex({0x00, 0xFF, 0xFF, 0x00, 0x06, 0x11, 0x01, 0xF1, 0x03, 0x00, 0x7F}),
             Hex({0x01, 0xFF, 0xFF, 0x00, 0x05, 0x11, 0x01, 0xF1, 0x05, 0x00}),
             Hex({0x00, 0xFF, 0xD0, 0x01, 0x00, 0xFF, 0xDF, 0x00})});
    ASSERT_EQ(expected.size(), 185u);
    EXPECT_EQ(BuildFile(AbcInfo(), std::vector<std::int16_t>(16, 0)), expected);
}

TEST(HeaderBlock, ProtectionChangesOnlyTheSorcBody)
{
    ContentInfo info = AbcInfo();
    info.protectionFlag = 1;
    Bytes expected = kAbcBlock;
    expected[11] = 0x01;
    EXPECT_EQ(HeaderBlock(info), expected);
    info.protectionFlag = 2;  // only exactly 1 means protected
    EXPECT_EQ(HeaderBlock(info), kAbcBlock);
}

struct TextCase {
    const char* name;
    std::string title;
    std::string copyright;
    std::uint32_t headerLength;
    std::string storedTitle;  // as the file holds it
    std::string storedCopyright;
};

std::ostream& operator<<(std::ostream& os, const TextCase& c)
{
    return os << c.name;
}

class HeaderTexts : public ::testing::TestWithParam<TextCase> {};

// The texts are stored as given (an empty one as one space), and the header
// length counts their bytes.
TEST_P(HeaderTexts, AreStoredAndCounted)
{
    const TextCase& c = GetParam();
    ContentInfo info;
    info.title = c.title;
    info.copyright = c.copyright;
    info.date = "20030601";
    const Bytes file = BuildFile(info, std::vector<std::int16_t>(16, 0));
    EXPECT_EQ(Be16(file, 8), c.headerLength);
    const MldContents contents = ReadBack(file);
    EXPECT_EQ(contents.title, c.storedTitle);
    EXPECT_EQ(contents.copyright, c.storedCopyright);
}

INSTANTIATE_TEST_SUITE_P(Texts, HeaderTexts,
                         ::testing::Values(TextCase{"BothEmpty", "", "", 0x4F, " ", " "},
                                           TextCase{"Longest", std::string(50, 'T'), std::string(256, 'C'), 0x17F,
                                                    std::string(50, 'T'), std::string(256, 'C')},
                                           TextCase{"DoubleByteTitle", std::string(20, '\x82'), "(c)", 77 + 20 + 3,
                                                    std::string(20, '\x82'), "(c)"},
                                           // A chunk's length has 16 bits: a longer text keeps what that length counts.
                                           TextCase{"TitleBeyond16Bits", std::string(65539, 'L'), "", 77 + 3 + 1, "LLL",
                                                    " "}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DateStamp, FormatsLocalDateOrFallsBack)
{
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(MldBuilder::MakeDateStamp(1054468800), "20030601");  // 2003-06-01 12:00 UTC
    EXPECT_EQ(MldBuilder::MakeDateStamp(std::numeric_limits<std::time_t>::max()), "19700101");
    // Without a date of its own, a file is dated today.
    const std::string today = ReadBack(BuildFile(ContentInfo{}, std::vector<std::int16_t>(16, 0))).date;
    ASSERT_EQ(today.size(), 8u);
    EXPECT_EQ(today.find_first_not_of("0123456789"), std::string::npos);
}

TEST(Build, NoSamplesGiveAnEmptyAudioEvent)
{
    for (const std::size_t samples : {0u, 1u}) {
        const MldContents contents = ReadBack(BuildFile(AbcInfo(), std::vector<std::int16_t>(samples, 1000)));
        EXPECT_EQ(contents.audioLength, samples);
        EXPECT_EQ(contents.playTicks, 1u);
    }
}

struct TimingCase {
    std::uint32_t codedLength;
    std::int32_t rate;
    std::uint32_t ticks;
    std::uint32_t fillers;
    std::uint8_t stopDelta;
};

std::ostream& operator<<(std::ostream& os, const TimingCase& c)
{
    return os << c.codedLength << "@" << c.rate;
}

class Playback : public ::testing::TestWithParam<TimingCase> {};

// The audio stop event comes the play time after the audio start event, with
// filler events where the wait is longer than one delta holds.
TEST_P(Playback, StopEventComesAfterThePlayTime)
{
    const TimingCase& c = GetParam();
    const Bytes file = BuildFile(AbcInfo(), std::vector<std::int16_t>(2 * c.codedLength, 0), c.rate);
    const MldContents contents = ReadBack(file);
    EXPECT_EQ(contents.audioLength, c.codedLength);
    EXPECT_EQ(contents.playTicks, c.ticks);
    EXPECT_EQ(contents.fillerEvents, c.fillers);
    // The stop event is followed only by the end mark and the end of the track.
    const std::size_t stop = file.size() - 8 - 10;
    EXPECT_EQ(Bytes(file.begin() + static_cast<std::ptrdiff_t>(stop), file.end() - 8),
              Cat({Bytes{c.stopDelta}, Hex({0xFF, 0xFF, 0x00, 0x05, 0x11, 0x01, 0xF1, 0x05, 0x00})}));
}

INSTANTIATE_TEST_SUITE_P(
    Timing, Playback,
    ::testing::Values(TimingCase{8, 8000, 1, 0, 1}, TimingCase{50, 4000, 3, 0, 3}, TimingCase{80, 8000, 3, 0, 3},
                      TimingCase{10160, 8000, 255, 0, 0xFF}, TimingCase{10200, 8000, 256, 1, 0x01},
                      TimingCase{10199, 8000, 255, 0, 0xFF}, TimingCase{65527, 8000, 1639, 6, 0x6D},
                      TimingCase{65527, 4000, 3277, 12, 0xD9}, TimingCase{65527, 16000, 820, 3, 0x37},
                      TimingCase{550, 11025, 11, 0, 11},  // 55 bytes a tick, not 55.125
                      TimingCase{549, 11025, 10, 0, 10}, TimingCase{750, 15999, 11, 0, 11},  // 75 bytes a tick
                      TimingCase{100, 999, 1, 0, 1}));  // no whole kilohertz: at least one tick

std::vector<std::int16_t> Noise(std::size_t count, unsigned seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, 4000.0);
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i)
        samples[i] =
            static_cast<std::int16_t>(std::clamp(8000 * std::sin(i * 0.01) + noise(random), -32768.0, 32767.0));
    return samples;
}

Bytes EncodeAll(const std::vector<std::int16_t>& samples)
{
    Bytes coded(adpcm_coded_size(samples.size()));
    EXPECT_TRUE(adpcm_encode(samples, coded));
    return coded;
}

struct LengthCase {
    std::size_t samples;
    std::int32_t rate;
};

std::ostream& operator<<(std::ostream& os, const LengthCase& c)
{
    return os << c.samples << "@" << c.rate;
}

class WholeFile : public ::testing::TestWithParam<LengthCase> {};

// Samples in, complete file out: the audio equals the stream encoded in full
// and cut to the largest payload, and every length field agrees with the
// bytes around it.
TEST_P(WholeFile, AudioAndLengthsAreConsistent)
{
    const LengthCase& c = GetParam();
    const std::vector<std::int16_t> samples = Noise(c.samples, static_cast<unsigned>(c.samples));
    const Bytes file = BuildFile(AbcInfo(), samples, c.rate);

    Bytes expectedAudio = EncodeAll(samples);
    expectedAudio.resize(std::min<std::size_t>(expectedAudio.size(), mld::kMaxCodedAudio));
    const std::size_t n = expectedAudio.size();
    const std::size_t trac = 10 + Be16(file, 8);
    ASSERT_EQ(trac, 91u);
    EXPECT_EQ(Be32(file, 4), file.size() - 8);
    EXPECT_EQ(Be32(file, trac + 4), file.size() - trac - 8);
    EXPECT_EQ(Be16(file, trac + 21), n + 8);
    EXPECT_EQ(Be16(file, trac + 29), static_cast<std::uint32_t>(c.rate));
    EXPECT_TRUE(
        std::equal(expectedAudio.begin(), expectedAudio.end(), file.begin() + static_cast<std::ptrdiff_t>(trac + 31)));
    const MldContents contents = ReadBack(file);
    EXPECT_EQ(contents.audioLength, n);
    EXPECT_EQ(file.size(), 173 + 3 + 1 + n + 4 * contents.fillerEvents);
}

INSTANTIATE_TEST_SUITE_P(Lengths, WholeFile,
                         ::testing::Values(LengthCase{168, 8000}, LengthCase{1001, 11025}, LengthCase{131053, 8000},
                                           LengthCase{131054, 4000}, LengthCase{131055, 16000},
                                           LengthCase{600001, 8000}));

}  // namespace
