#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "core/ByteOrder.h"
#include "WaveFixtures.h"
#include "audio/AdpcmEncoder.h"
#include "mld/MldBuilder.h"

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

Bytes InfoBlock(const ContentInfo& info)
{
    ByteBuffer block;
    MldBuilder::WriteInfoBlock(info, block);
    return block.Bytes();
}

const Bytes kAbcBlock =
    Cat({Hex({0x00, 0x51, 0x01, 0x01, 0x01}), Hex({0x73, 0x6F, 0x72, 0x63, 0x00, 0x01, 0x00}),
         Hex({0x74, 0x69, 0x74, 0x6C, 0x00, 0x03, 0x61, 0x62, 0x63}),
         Hex({0x76, 0x65, 0x72, 0x73, 0x00, 0x04, 0x30, 0x33, 0x30, 0x30}),
         Hex({0x64, 0x61, 0x74, 0x65, 0x00, 0x08, 0x32, 0x30, 0x30, 0x33, 0x30, 0x36, 0x30, 0x31}),
         Hex({0x63, 0x6F, 0x70, 0x79, 0x00, 0x01, 0x20}), Hex({0x6E, 0x6F, 0x74, 0x65, 0x00, 0x02, 0x00, 0x00}),
         Hex({0x73, 0x75, 0x70, 0x74, 0x00, 0x11}), Ascii("Quorbin Ver.1.0.0")});

TEST(InfoBlock, AbcExampleByteForByte)
{
    ASSERT_EQ(kAbcBlock.size(), 83u);
    EXPECT_EQ(InfoBlock(AbcInfo()), kAbcBlock);
}

TEST(InfoBlock, ProtectionChangesOnlyTheSorcBody)
{
    ContentInfo info = AbcInfo();
    info.protectionFlag = 1;
    Bytes expected = kAbcBlock;
    expected[11] = 0x01;
    EXPECT_EQ(InfoBlock(info), expected);
    info.protectionFlag = 2;  // only exactly 1 means protected
    EXPECT_EQ(InfoBlock(info), kAbcBlock);
}

struct TextCase {
    const char* name;
    std::string title;
    std::string copyright;
    std::uint32_t headerLength;
};

std::ostream& operator<<(std::ostream& os, const TextCase& c)
{
    return os << c.name;
}

class InfoBlockTexts : public ::testing::TestWithParam<TextCase> {};

TEST_P(InfoBlockTexts, LengthsCountWrittenBytes)
{
    const TextCase& c = GetParam();
    ContentInfo info;
    info.title = c.title;
    info.copyright = c.copyright;
    info.date = "20030601";
    const Bytes block = InfoBlock(info);
    const std::string title = c.title.empty() ? " " : c.title;
    const std::string copyright = c.copyright.empty() ? " " : c.copyright;
    ASSERT_EQ(block.size(), 79 + title.size() + copyright.size());
    EXPECT_EQ(Be16(block, 0), c.headerLength);
    EXPECT_EQ(Be16(block, 16), title.size());
    EXPECT_EQ(Bytes(block.begin() + 18, block.begin() + 18 + static_cast<std::ptrdiff_t>(title.size())), Ascii(title));
    const std::size_t copyAt = 18 + title.size() + 10 + 14;
    EXPECT_EQ(Bytes(block.begin() + static_cast<std::ptrdiff_t>(copyAt),
                    block.begin() + static_cast<std::ptrdiff_t>(copyAt) + 4),
              Ascii("copy"));
    EXPECT_EQ(Be16(block, copyAt + 4), copyright.size());
}

INSTANTIATE_TEST_SUITE_P(Texts, InfoBlockTexts,
                         ::testing::Values(TextCase{"BothEmpty", "", "", 0x4F},
                                           TextCase{"Longest", std::string(50, 'T'), std::string(256, 'C'), 0x17F},
                                           TextCase{"DoubleByteTitle", std::string(20, '\x82'), "(c)", 77 + 20 + 3}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DateStamp, FormatsLocalDateOrFallsBack)
{
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(MldBuilder::MakeDateStamp(1054468800), "20030601");  // 2003-06-01 12:00 UTC
    EXPECT_EQ(MldBuilder::MakeDateStamp(std::numeric_limits<std::time_t>::max()), "19700101");
    const std::string today = MldBuilder::MakeDateStamp();
    ASSERT_EQ(today.size(), 8u);
    EXPECT_EQ(today.find_first_not_of("0123456789"), std::string::npos);
    EXPECT_EQ(InfoBlock(ContentInfo{}).size(), 81u);  // without a fixed date the stamp is used
}

TEST(Chunk, LengthIsTakenModulo65536)
{
    const Bytes body(65536 + 3, 0x5A);
    ByteBuffer buf;
    MldBuilder::WriteChunk(buf, "abcd", body.data(), static_cast<std::uint32_t>(body.size()));
    EXPECT_EQ(buf.Bytes(), Cat({Ascii("abcd"), Hex({0x00, 0x03, 0x5A, 0x5A, 0x5A})}));
}

// A builder whose data chunk is set by hand, for sounds too short for Parse.
MldBuilder BuilderOver(std::uint32_t offset, std::uint32_t length)
{
    MldBuilder builder;
    builder.m_dataOffset = offset;
    builder.m_dataLength = length;
    return builder;
}

TEST(Build, SixteenSamplesOfSilenceByteForByte)
{
    const ByteBuffer wave = MonoWave(std::vector<std::int16_t>(16, 0));
    MldBuilder builder = BuilderOver(44, 32);
    ByteBuffer out;
    ASSERT_EQ(builder.Build(AbcInfo(), wave, 8000, out), 0);
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
    EXPECT_EQ(out.Bytes(), expected);
}

TEST(Build, RefusesNonEmptyOutputButAcceptsReservedRoom)
{
    const ByteBuffer wave = MonoWave(std::vector<std::int16_t>(400, 0));
    MldBuilder builder = BuilderOver(44, 800);
    ByteBuffer fresh;
    ASSERT_EQ(builder.Build(AbcInfo(), wave, 8000, fresh), 0);

    ByteBuffer reserved;
    reserved.Reserve(70000);
    ASSERT_EQ(builder.Build(AbcInfo(), wave, 8000, reserved), 0);
    EXPECT_EQ(reserved.Bytes(), fresh.Bytes());

    ByteBuffer used(Bytes{1, 2, 3});
    EXPECT_EQ(builder.Build(AbcInfo(), wave, 8000, used), -1);
    EXPECT_EQ(used.Bytes(), (Bytes{1, 2, 3}));
}

TEST(Build, DataChunkOutsideTheBytesFailsTheTrack)
{
    const ByteBuffer wave = MonoWave(std::vector<std::int16_t>(400, 0));
    for (auto [offset, length] : {std::pair<std::uint32_t, std::uint32_t>{44, 801}, {845, 0}, {0xFFFFFFFF, 2}}) {
        MldBuilder builder = BuilderOver(offset, length);
        ByteBuffer out;
        EXPECT_EQ(builder.Build(AbcInfo(), wave, 8000, out), -1);
        EXPECT_TRUE(out.Empty());
    }
}

TEST(EncodeDataChunk, EmptyRunsGiveNoBytes)
{
    const ByteBuffer wave = MonoWave(std::vector<std::int16_t>(4, 1000));
    for (std::uint32_t length : {0u, 1u}) {
        ByteBuffer coded(Bytes(5, 0xAA));
        EXPECT_EQ(BuilderOver(44, length).EncodeDataChunk(wave, coded), 0);
        EXPECT_EQ(coded.Size(), 0u);
    }
}

struct TimingCase {
    std::uint32_t codedLength;
    std::int32_t rate;
    std::int32_t ticks;
    std::int32_t fillers;
    std::uint8_t stopDelta;
};

std::ostream& operator<<(std::ostream& os, const TimingCase& c)
{
    return os << c.codedLength << "@" << c.rate;
}

class Playback : public ::testing::TestWithParam<TimingCase> {};

TEST_P(Playback, StopEventComesAfterThePlayTime)
{
    const TimingCase& c = GetParam();
    EXPECT_EQ(MldBuilder::TicksForLength(c.codedLength, c.rate), c.ticks);
    ByteBuffer track;
    MldBuilder::WritePlayback(c.codedLength, c.rate, track);
    Bytes expected = Hex({0x00, 0xFF, 0xFF, 0x00, 0x06, 0x11, 0x01, 0xF1, 0x03, 0x00, 0x7F});
    for (int i = 0; i < c.fillers; ++i)
        expected = Cat({expected, Hex({0xFF, 0xFF, 0xDE, 0x00})});
    expected = Cat({expected, Bytes{c.stopDelta}, Hex({0xFF, 0xFF, 0x00, 0x05, 0x11, 0x01, 0xF1, 0x05, 0x00})});
    EXPECT_EQ(track.Bytes(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Timing, Playback,
    ::testing::Values(TimingCase{8, 8000, 1, 0, 1}, TimingCase{50, 4000, 3, 0, 3}, TimingCase{80, 8000, 3, 0, 3},
                      TimingCase{10160, 8000, 255, 0, 0xFF}, TimingCase{10200, 8000, 256, 1, 0x01},
                      TimingCase{10199, 8000, 255, 0, 0xFF}, TimingCase{65527, 8000, 1639, 6, 0x6D},
                      TimingCase{65527, 4000, 3277, 12, 0xD9}, TimingCase{65527, 16000, 820, 3, 0x37},
                      TimingCase{550, 11025, 11, 0, 11},  // 55 bytes a tick, not 55.125
                      TimingCase{549, 11025, 10, 0, 10}, TimingCase{750, 15999, 11, 0, 11},  // 75 bytes a tick
                      TimingCase{100, 999, 0, 0, 1}));  // no whole kilohertz: at least one tick

TEST(AudioData, LongAudioIsCutToTheLargestPayload)
{
    ByteBuffer coded(Bytes(70000, 0x3C));
    ByteBuffer track;
    MldBuilder::WriteAudioData(coded, 16000, track);
    EXPECT_EQ(coded.Size(), kMaxCodedAudio);
    ASSERT_EQ(track.Size(), 13 + kMaxCodedAudio);
    EXPECT_EQ(Bytes(track.Bytes().begin(), track.Bytes().begin() + 13),
              Hex({0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x11, 0x01, 0xF0, 0x07, 0x00, 0x01, 0x3E, 0x80}));
}

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
    const ByteBuffer wave = MonoWave(samples);
    Bytes coded(samples.size() / 2 + 1);
    auto length = static_cast<std::uint32_t>(coded.size());
    EXPECT_EQ(adpcm_encode(wave.Data() + 44, static_cast<std::uint32_t>(samples.size() * 2), coded.data(), &length), 1);
    coded.resize(length);
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

// Parsed file in, complete file out: the audio equals the stream encoded in
// full and cut, and every length field agrees with the bytes around it.
TEST_P(WholeFile, AudioAndLengthsAreConsistent)
{
    const LengthCase& c = GetParam();
    const std::vector<std::int16_t> samples = Noise(c.samples, static_cast<unsigned>(c.samples));
    const ByteBuffer wave = MonoWave(samples, static_cast<std::uint32_t>(c.rate));
    MldBuilder builder;
    ASSERT_EQ(builder.Parse(wave), c.rate);
    ByteBuffer out;
    ASSERT_EQ(builder.Build(AbcInfo(), wave, c.rate, out), 0);
    const Bytes& file = out.Bytes();

    Bytes expectedAudio = EncodeAll(samples);
    if (expectedAudio.size() > kMaxCodedAudio)
        expectedAudio.resize(kMaxCodedAudio);
    const std::size_t n = expectedAudio.size();
    const std::size_t trac = 10 + Be16(file, 8);
    ASSERT_EQ(trac, 91u);
    EXPECT_EQ(Be32(file, 4), file.size() - 8);
    EXPECT_EQ(Be32(file, trac + 4), file.size() - trac - 8);
    EXPECT_EQ(Be16(file, trac + 21), n + 8);
    EXPECT_EQ(Be16(file, trac + 29), static_cast<std::uint32_t>(c.rate));
    EXPECT_TRUE(
        std::equal(expectedAudio.begin(), expectedAudio.end(), file.begin() + static_cast<std::ptrdiff_t>(trac + 31)));
    const std::int32_t ticks = MldBuilder::TicksForLength(static_cast<std::uint32_t>(n), c.rate);
    const std::size_t fillers = ticks > 255 ? static_cast<std::size_t>((ticks - 1) / 255) : 0;
    EXPECT_EQ(file.size(), 173 + 3 + 1 + n + 4 * fillers);
}

INSTANTIATE_TEST_SUITE_P(Lengths, WholeFile,
                         ::testing::Values(LengthCase{168, 8000}, LengthCase{1001, 11025}, LengthCase{131053, 8000},
                                           LengthCase{131054, 4000}, LengthCase{131055, 16000},
                                           LengthCase{600001, 8000}));

}  // namespace
