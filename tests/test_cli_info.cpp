// quorbin-cli info and decode, and the converter's preview: fields as scripts
// read them, refusals with their exit statuses, and decoded sound that equals
// what the encoder tracked.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <sstream>

#include <nlohmann/json.hpp>

#include "core/ByteOrder.h"
#include "audio/AdpcmDecoder.h"
#include "audio/WaveReader.h"
#include "cli/CommandLine.h"
#include "cli/ConvertCommand.h"
#include "cli/MelodyCommands.h"
#include "ConversionTestSupport.h"
#include "mld/MldBuilder.h"
#include "mld/MldReader.h"
#include "platform/Cp932.h"

using namespace quorbin;
using namespace quorbin::cli;
using namespace quorbin::testing_support;

namespace {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

CliRun Cli(const std::vector<std::string>& args)
{
    const std::vector<Subcommand> table = {ConvertSubcommand(), InfoSubcommand(), DecodeSubcommand()};
    std::ostringstream out;
    std::ostringstream err;
    CliRun run;
    run.status = RunCommandLine(args, table, {out, err});
    run.out = out.str();
    run.err = err.str();
    return run;
}

// Runs the command line with standard input read from the file at `input`.
CliRun CliReading(const std::string& input, const std::vector<std::string>& args)
{
    const int saved = ::dup(STDIN_FILENO);
    const int file = ::open(input.c_str(), O_RDONLY);
    ::dup2(file, STDIN_FILENO);
    ::close(file);
    CliRun run = Cli(args);
    ::dup2(saved, STDIN_FILENO);
    ::close(saved);
    return run;
}

// Splits "key: value" lines into blocks separated by blank lines.
std::vector<std::map<std::string, std::string>> Blocks(const std::string& text)
{
    std::vector<std::map<std::string, std::string>> blocks(1);
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty()) {
            blocks.emplace_back();
            continue;
        }
        const std::size_t colon = line.find(": ");
        EXPECT_NE(colon, std::string::npos) << line;
        EXPECT_EQ(blocks.back().count(line.substr(0, colon)), 0u) << "repeated key in " << line;
        blocks.back()[line.substr(0, colon)] = line.substr(colon + 2);
    }
    return blocks;
}

// Writes a melody file made from a tone of `samples` frames at `rate`.
std::string WriteMelody(const TempFolder& folder, const std::string& name, const ContentInfo& info,
                        std::uint32_t samples, std::uint32_t rate)
{
    const std::string path = (folder / name).string();
    WriteFile(path, BuildDirectly(MakeWave(samples, {rate}), info));
    return path;
}

ContentInfo Info(const std::string& utf8Title, std::uint8_t protection = 0)
{
    ContentInfo info;
    info.title = Utf8ToCp932(utf8Title).value();
    info.copyright = Utf8ToCp932("(c) 2003 テスト").value();
    info.protectionFlag = protection;
    info.date = "20030601";
    return info;
}

// The samples that the encoder tracked for the audio stored in `melodyBytes`.
std::vector<std::int16_t> StoredSound(const std::string& melodyBytes)
{
    const std::vector<std::uint8_t> bytes(melodyBytes.begin(), melodyBytes.end());
    const MldReadResult read = ReadMld(bytes);
    EXPECT_TRUE(read.contents);
    if (!read.contents)
        return {};
    return adpcm_decode({bytes.data() + read.contents->audioOffset, read.contents->audioLength});
}

}  // namespace

TEST(InfoCommand, PrintsEveryFieldOfEachFileInItsOwnBlock)
{
    TempFolder folder;
    const std::string first = WriteMelody(folder, "a.mld", Info("鐘の音", 1), 8000, 8000);
    const std::string second = WriteMelody(folder, "b.mld", Info(""), 30000, 4000);

    const CliRun run = Cli({"info", first, second});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const auto blocks = Blocks(run.out);
    ASSERT_EQ(blocks.size(), 2u) << run.out;

    const auto& a = blocks[0];
    EXPECT_EQ(a.at("file"), first);
    EXPECT_EQ(a.at("title"), "鐘の音");
    EXPECT_EQ(a.at("copyright"), "(c) 2003 テスト");
    EXPECT_EQ(a.at("protection"), "yes");
    EXPECT_EQ(a.at("version"), "0300");
    EXPECT_EQ(a.at("date"), "2003-06-01");
    EXPECT_EQ(a.at("software"), "Quorbin Ver.1.0.0");
    EXPECT_EQ(a.at("sample-rate"), "8000");
    EXPECT_EQ(a.at("audio-bytes"), "4000");
    EXPECT_EQ(a.at("audio-samples"), "8000");
    EXPECT_EQ(a.at("audio-seconds"), "1.000");
    EXPECT_EQ(a.at("play-time-ticks"), "101");  // 4000 / 40 + 1
    EXPECT_EQ(a.at("play-time-seconds"), "1.01");
    EXPECT_EQ(a.at("filler-events"), "0");
    EXPECT_EQ(a.at("file-size"), std::to_string(std::filesystem::file_size(first)));

    const auto& b = blocks[1];
    EXPECT_EQ(b.at("title"), " ");  // an empty title is stored as one space
    EXPECT_EQ(b.at("protection"), "no");
    EXPECT_EQ(b.at("sample-rate"), "4000");
    EXPECT_EQ(b.at("audio-seconds"), "7.500");
    EXPECT_EQ(b.at("play-time-ticks"), "751");  // 15000 / 20 + 1: two filler waits and 241
    EXPECT_EQ(b.at("filler-events"), "2");
    EXPECT_EQ(b.at("play-time-seconds"), "7.51");
}

TEST(InfoCommand, ControlCharactersInATitleCannotForgeAField)
{
    TempFolder folder;
    ContentInfo info = Info("x");
    info.title = "x\nprotection: no\\";
    const std::string path = WriteMelody(folder, "c.mld", info, 4000, 8000);
    const CliRun run = Cli({"info", path});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto blocks = Blocks(run.out);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].at("title"), "x\\x0Aprotection: no\\x5C");
}

struct Refusal {
    const char* name;
    std::function<std::string(const TempFolder&)> makeFile;  // returns the path to give
    int status;
    std::string message;  // expected stderr line after "PATH: "
};

class InfoRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(InfoRefusal, ReportsOnStderrAndGoesOnWithTheNextFile)
{
    TempFolder folder;
    const std::string good = WriteMelody(folder, "good.mld", Info("ok"), 4000, 8000);
    const std::string bad = GetParam().makeFile(folder);

    const CliRun run = Cli({"info", bad, good});
    EXPECT_EQ(run.status, GetParam().status);
    EXPECT_EQ(run.err, bad + ": " + GetParam().message + "\n");
    const auto blocks = Blocks(run.out);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].at("file"), good);
}

std::string CutMelody(const TempFolder& folder)
{
    const std::string path = WriteMelody(folder, "cut.mld", Info("cut"), 4000, 8000);
    std::string bytes = ReadFile(path);
    bytes.resize(bytes.size() - 10);
    WriteFile(path, bytes);
    return path;
}

std::string WaveNamedMld(const TempFolder& folder)
{
    const std::string path = (folder / "wave.mld").string();
    WriteFile(path, MakeWave(400));
    return path;
}

std::string UnknownEvent(const TempFolder& folder)
{
    const std::string path = WriteMelody(folder, "event.mld", Info("abc"), 4000, 8000);
    std::string bytes = ReadFile(path);
    const std::size_t startMark = bytes.size() - 8 - 21 - 16;  // end events, stop, start, then the marks
    EXPECT_EQ(bytes.substr(startMark, 4), std::string("\x00\xFF\xD0\x00", 4));
    bytes[startMark + 2] = '\x99';
    WriteFile(path, bytes);
    return path;
}

INSTANTIATE_TEST_SUITE_P(
    Files, InfoRefusal,
    ::testing::Values(Refusal{"Missing", [](const TempFolder& f) { return (f / "none.mld").string(); }, kExitNoInput,
                              "cannot open the file: No such file or directory"},
                      Refusal{"Folder", [](const TempFolder& f) { return f.Path().string(); }, kExitNoInput,
                              "cannot open the file: Is a directory"},
                      Refusal{"WaveFile", WaveNamedMld, kExitDataError,
                              "not a melody file: the magic is not \"melo\" at offset 0"},
                      Refusal{"CutShort", CutMelody, kExitDataError,
                              "file length field says 2183 bytes follow it, but 2173 do at offset 4"},
                      Refusal{"UnknownEvent", UnknownEvent, kExitDataError, "unknown event code 0x99 at offset 2148"}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

TEST(InfoCommand, JsonLinesHoldTheFieldsOfTheTextForm)
{
    TempFolder folder;
    ContentInfo awkward = Info("鐘の音", 1);
    awkward.title = Utf8ToCp932("鐘\"の\\音").value() + "\x01\n";
    const std::string first = WriteMelody(folder, "a.mld", awkward, 8000, 8000);
    const std::string second = WriteMelody(folder, "b.mld", Info(""), 30000, 4000);

    const CliRun text = Cli({"info", first, second});
    const CliRun json = CliReading(first, {"info", "--json", "-", second});
    ASSERT_EQ(json.status, 0) << json.err;
    const auto blocks = Blocks(text.out);
    std::istringstream lines(json.out);
    std::string line;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        ASSERT_TRUE(std::getline(lines, line));
        const nlohmann::json object = nlohmann::json::parse(line);
        ASSERT_EQ(object.size(), blocks[i].size()) << line;
        for (const auto& [key, shown] : blocks[i]) {
            const nlohmann::json& value = object.at(key);
            if (key == "file")
                EXPECT_EQ(value, i == 0 ? "-" : second);
            else if (key == "title" && i == 0)
                EXPECT_EQ(value, "鐘\"の\\音\x01\n");  // unescaped, unlike the text form
            else if (value.is_string())
                EXPECT_EQ(value, shown) << key;
            else if (value.is_boolean())
                EXPECT_EQ(value ? "yes" : "no", shown) << key;
            else
                EXPECT_DOUBLE_EQ(value.get<double>(), std::stod(shown)) << key;
        }
    }
    EXPECT_FALSE(std::getline(lines, line));
}

TEST(DecodeCommand, ReadsAndWritesStandardStreams)
{
    TempFolder folder;
    const std::string melody = WriteMelody(folder, "tone.mld", Info("tone"), 8000, 8000);
    const CliRun run = CliReading(melody, {"decode", "-q", "-", "-o", "-"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    std::int32_t rate = 0;
    EXPECT_EQ(WaveSamples(run.out, rate), StoredSound(ReadFile(melody)));
    EXPECT_EQ(rate, 8000);

    EXPECT_EQ(Cli({"decode", "-"}).status, kExitUsage);  // no name for the WAVE file
    EXPECT_EQ(Cli({"info", "-", "-"}).status, kExitUsage);
    const CliRun empty = CliReading("/dev/null", {"info", "-"});
    EXPECT_EQ(empty.status, kExitDataError);
    EXPECT_EQ(empty.out, "");
}

TEST(InfoCommand, NeedsAFile)
{
    const CliRun run = Cli({"info"});
    EXPECT_EQ(run.status, kExitUsage);
    EXPECT_NE(run.err.find("no melody file"), std::string::npos);
}

TEST(DecodeCommand, WritesTheSoundTheEncoderTracked)
{
    TempFolder folder;
    const std::string melody = WriteMelody(folder, "tone.mld", Info("tone"), 11025, 11025);
    const std::string before = ReadFile(melody);

    const CliRun run = Cli({"decode", melody, "-o", (folder / "out.wav").string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(melody), before);
    std::int32_t rate = 0;
    const std::vector<std::int16_t> samples = WaveSamples(ReadFile(folder / "out.wav"), rate);
    EXPECT_EQ(rate, 11025);
    EXPECT_EQ(samples.size(), 11026u);  // 5513 coded bytes, two samples each
    EXPECT_EQ(samples, StoredSound(before));
}

TEST(DecodeCommand, WritesPreviewFilesBesideSeveralInputs)
{
    TempFolder folder;
    const std::string a = WriteMelody(folder, "a.mld", Info("a"), 4000, 8000);
    const std::string b = WriteMelody(folder, "b.mld", Info("b"), 6000, 16000);
    const CliRun run = Cli({"decode", a, b});
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char* name : {"a", "b"}) {
        std::int32_t rate = 0;
        const auto samples = WaveSamples(ReadFile(folder / (std::string(name) + ".preview.wav")), rate);
        EXPECT_EQ(samples, StoredSound(ReadFile(folder / (std::string(name) + ".mld")))) << name;
    }
}

TEST(DecodeCommand, RefusesWhatItCannotDoWithoutTouchingTheMelodyFile)
{
    TempFolder folder;
    const std::string melody = WriteMelody(folder, "m.mld", Info("m"), 4000, 8000);
    const std::string before = ReadFile(melody);

    EXPECT_EQ(Cli({"decode", melody, melody, "-o", "x.wav"}).status, kExitUsage);
    EXPECT_EQ(Cli({"decode", melody, "-o", melody}).status, kExitCantCreate);
    EXPECT_EQ(Cli({"decode", melody, "-o", (folder / "no" / "such" / "x.wav").string()}).status, kExitCantCreate);
    EXPECT_EQ(Cli({"decode", (folder / "none.mld").string()}).status, kExitNoInput);
    EXPECT_EQ(ReadFile(melody), before);
    EXPECT_FALSE(std::filesystem::exists(folder / "x.wav"));
}

TEST(ConvertPreview, WritesTheDecodedSoundBesideAnUnchangedMelodyFile)
{
    TempFolder folder;
    WriteFile(folder / "voice.wav", MakeWave(12000, {8000}));
    const std::string wave = (folder / "voice.wav").string();
    const std::string plain = (folder / "plain.mld").string();
    const std::string withPreview = (folder / "with.mld").string();

    ASSERT_EQ(Cli({"convert", "--date", "20030601", "-o", plain, wave}).status, 0);
    const CliRun run = Cli({"convert", "--date", "20030601", "--preview", "-o", withPreview, wave});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(withPreview), ReadFile(plain));
    std::int32_t rate = 0;
    const auto samples = WaveSamples(ReadFile(folder / "with.preview.wav"), rate);
    EXPECT_EQ(rate, 8000);
    EXPECT_EQ(samples, StoredSound(ReadFile(plain)));
    EXPECT_FALSE(std::filesystem::exists(folder / "plain.preview.wav"));
}

TEST(ConvertPreview, AFailedPreviewIsReportedAfterTheConversion)
{
    TempFolder folder;
    WriteFile(folder / "voice.wav", MakeWave(12000, {8000}));
    std::filesystem::create_directory(folder / "voice.preview.wav");  // the preview cannot replace a folder
    const CliRun run = Cli({"convert", "--date", "20030601", "--preview", (folder / "voice.wav").string()});
    EXPECT_EQ(run.status, kExitCantCreate);
    EXPECT_TRUE(std::filesystem::exists(folder / "voice.mld"));
    EXPECT_NE(run.err.find("cannot write the WAVE file"), std::string::npos) << run.err;
}

// ---- One exit status table for the three commands -------------------------------------

struct ExitCase {
    const char* name;
    std::vector<std::string> args;  // "@NAME": NAME in the test's folder
    int status;
    bool outputFails = false;  // standard output cannot be written
    bool keepsExisting = true;
};

class ExitStatus : public ::testing::TestWithParam<ExitCase> {};

TEST_P(ExitStatus, TheSameCaseGivesTheSameStatusInEveryCommand)
{
    const ExitCase& c = GetParam();
    TempFolder folder;
    WriteMelody(folder, "good.mld", Info("good"), 4000, 8000);
    WaveNamedMld(folder);
    WriteFile(folder / "tune.wav", MakeWave(4000));
    WriteFile(folder / "tune.mld", "old");
    WriteFile(folder / "good.preview.wav", "old");
    std::vector<std::string> args;
    for (const std::string& arg : c.args)
        args.push_back(arg.starts_with('@') ? (folder / arg.substr(1)).string() : arg);

    std::ostringstream err;
    std::ostringstream working;
    std::ostream broken(nullptr);  // every write fails
    const std::vector<Subcommand> table = {ConvertSubcommand(), InfoSubcommand(), DecodeSubcommand()};
    const int status = RunCommandLine(args, table, {c.outputFails ? broken : working, err});
    EXPECT_EQ(status, c.status) << err.str();
    EXPECT_EQ(ReadFile(folder / "tune.mld") == "old" && ReadFile(folder / "good.preview.wav") == "old",
              c.keepsExisting);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ExitStatus,
    ::testing::Values(ExitCase{"ConvertMissing", {"convert", "@none.wav"}, 2},
                      ExitCase{"InfoMissing", {"info", "@none.mld"}, 2},
                      ExitCase{"DecodeMissing", {"decode", "-f", "@none.mld"}, 2},
                      ExitCase{"InfoDamaged", {"info", "@wave.mld"}, kExitDataError},
                      ExitCase{"DecodeDamaged", {"decode", "@wave.mld"}, kExitDataError},
                      ExitCase{"ConvertKeeps", {"convert", "-n", "@tune.wav"}, 6},
                      ExitCase{"DecodeKeeps", {"decode", "-n", "@good.mld"}, 6},
                      ExitCase{"DecodeKeepsUnforced", {"decode", "@good.mld"}, 6},
                      ExitCase{"ConvertSkips", {"convert", "--skip-existing", "@tune.wav"}, 0},
                      ExitCase{"DecodeSkips", {"decode", "--skip-existing", "@good.mld"}, 0},
                      ExitCase{"DecodeForced", {"decode", "--force", "@good.mld"}, 0, false, false},
                      ExitCase{"ConvertUsage", {"convert"}, kExitUsage}, ExitCase{"InfoUsage", {"info"}, kExitUsage},
                      ExitCase{"DecodeUsage", {"decode", "-n", "--force", "@good.mld"}, kExitUsage},
                      ExitCase{"ConvertOutputFails", {"convert", "-o", "-", "@tune.wav"}, kExitIoError, true},
                      ExitCase{"InfoOutputFails", {"info", "@good.mld"}, kExitIoError, true},
                      ExitCase{"DecodeOutputFails", {"decode", "-o", "-", "@good.mld"}, kExitIoError, true}),
    [](const ::testing::TestParamInfo<ExitCase>& info) { return std::string(info.param.name); });
