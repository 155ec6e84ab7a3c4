// quorbin-cli: option parsing, date and text options, and end-to-end runs of
// the built executable for every outcome of a conversion.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>

#include <map>
#include <sstream>

#include "conversion/ConversionSteps.h"
#include "cli/CommandLine.h"
#include "cli/ConvertCommand.h"
#include "cli/DateOption.h"
#include "cli/TerminalText.h"
#include "ConversionTestSupport.h"
#include "platform/Cp932.h"

using namespace quorbin;
using namespace quorbin::cli;
using namespace quorbin::testing_support;

namespace {

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the built quorbin-cli in `folder` with exactly the environment `env`.
CliResult RunCli(const TempFolder& folder, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env = {{"LANG", "C.UTF-8"}}) {
    const std::string outPath = (folder / ".stdout").string();
    const std::string errPath = (folder / ".stderr").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, folder.Path().c_str());

    std::vector<std::string> argStrings{QUORBIN_CLI_PATH};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<std::string> envStrings;
    for (const auto& [name, value] : env) envStrings.push_back(name + "=" + value);
    auto pointers = [](std::vector<std::string>& strings) {
        std::vector<char*> result;
        for (auto& s : strings) result.push_back(s.data());
        result.push_back(nullptr);
        return result;
    };
    auto argv = pointers(argStrings);
    auto envp = pointers(envStrings);

    CliResult result;
    pid_t pid = 0;
    if (posix_spawn(&pid, QUORBIN_CLI_PATH, &actions, nullptr, argv.data(), envp.data()) == 0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    result.out = ReadFile(outPath);
    result.err = ReadFile(errPath);
    std::filesystem::remove(outPath);
    std::filesystem::remove(errPath);
    return result;
}

std::vector<std::string> MelodyFiles(const TempFolder& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.Path())) {
        if (entry.path().extension() == ".mld") names.push_back(entry.path().filename());
    }
    return names;
}

} // namespace

// ---- Option parsing -------------------------------------------------------------

const std::vector<OptionSpec> kOptions = {
    {"title", 0, "TEXT", ""}, {"protect", 0, "", ""}, {"output", 'o', "FILE", ""}};

TEST(ParseOptions, ValuesFlagsAndOperands) {
    std::string error;
    const std::vector<std::string> args = {"a.wav", "--title", "T1", "--protect", "-oout.mld", "--title=T2",
                                           "--", "--protect", "-"};
    const auto parsed = ParseOptions(args, kOptions, error);
    ASSERT_TRUE(parsed) << error;
    EXPECT_EQ(parsed->Value("title"), "T2");  // the last one wins
    EXPECT_TRUE(parsed->Has("protect"));
    EXPECT_EQ(parsed->Value("output"), "out.mld");
    EXPECT_EQ(parsed->operands, (std::vector<std::string>{"a.wav", "--protect", "-"}));

    const std::vector<std::string> separate = {"-o", "x.mld", "--title="};
    const auto second = ParseOptions(separate, kOptions, error);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->Value("output"), "x.mld");
    EXPECT_EQ(second->Value("title"), "");
    EXPECT_FALSE(second->Has("protect"));
}

// ---- Date and texts ------------------------------------------------------------------

TEST(DateOption, OnlyRealDaysAreAccepted) {
    for (const char* good : {"20030601", "20040229", "20001231", "19700101", "99991231"}) {
        EXPECT_TRUE(IsValidDate(good)) << good;
    }
    for (const char* bad : {"20030229", "19000229", "20031301", "20030600", "20030631", "2003061", "200306011",
                            "2003-6-1", "2003060a", "00000101", ""}) {
        EXPECT_FALSE(IsValidDate(bad)) << bad;
    }
}

TEST(DateOption, SourceDateEpochIsReadInUtc) {
    EXPECT_EQ(DateFromEpoch("0"), "19700101");
    EXPECT_EQ(DateFromEpoch("1054425600"), "20030601");
    EXPECT_EQ(DateFromEpoch("1054425599"), "20030531");
    for (const char* bad : {"", "-1", "12a", " 5", "1e9", "99999999999999999999", "253402300800"}) {
        EXPECT_EQ(DateFromEpoch(bad), std::nullopt) << bad;
    }
}

TEST(DateOption, OptionBeatsEnvironmentAndEmptyMeansToday) {
    std::string problem;
    EXPECT_EQ(ChooseDate(std::string("20030601"), "0", problem), "20030601");
    EXPECT_EQ(ChooseDate(std::nullopt, "0", problem), "19700101");
    EXPECT_EQ(ChooseDate(std::nullopt, nullptr, problem), "");
    EXPECT_EQ(ChooseDate(std::nullopt, "", problem), "");
    EXPECT_TRUE(problem.empty());
    EXPECT_EQ(ChooseDate(std::string("20031332"), nullptr, problem), std::nullopt);
    EXPECT_NE(problem.find("--date"), std::string::npos);
    EXPECT_EQ(ChooseDate(std::nullopt, "yesterday", problem), std::nullopt);
    EXPECT_NE(problem.find("SOURCE_DATE_EPOCH"), std::string::npos);
}

TEST(TerminalText, LimitsCountCp932Bytes) {
    std::string problem;
    EXPECT_EQ(OptionTextToCp932("title", std::string(50, 'a'), 50, problem), std::string(50, 'a'));
    std::string kanji;
    for (int i = 0; i < 25; ++i) kanji += "漢";
    EXPECT_EQ(OptionTextToCp932("title", kanji, 50, problem)->size(), 50u);  // 75 bytes of UTF-8
    EXPECT_TRUE(problem.empty());

    EXPECT_EQ(OptionTextToCp932("title", kanji + "x", 50, problem), std::nullopt);
    EXPECT_EQ(problem, "--title is 51 bytes in CP932; the limit is 50 bytes");
    EXPECT_EQ(OptionTextToCp932("copyright", "5 €", 256, problem), std::nullopt);
    EXPECT_EQ(problem, "--copyright holds the character \"€\" (U+20AC), which CP932 cannot encode");
    EXPECT_EQ(OptionTextToCp932("title", "a\xFF", 50, problem), std::nullopt);
}

TEST(TerminalText, OtherEncodingsAreReadAsTheirCharacters) {
    EXPECT_EQ(ToUtf8("\xA4\xA2\xB4\xC1", "EUC-JP"), "あ漢");
    EXPECT_EQ(ToUtf8("caf\xE9", "ISO-8859-1"), "café");
    EXPECT_EQ(ToUtf8("\xFF\xFF", "EUC-JP"), std::nullopt);
    EXPECT_EQ(FromUtf8("あ", "EUC-JP"), "\xA4\xA2");
    EXPECT_EQ(FromUtf8("あ", "UTF-8"), "あ");
}

// ---- The executable ----------------------------------------------------------------

class CliRun : public testing::Test {
protected:
    void SetUp() override {
        m_wave = MakeWave(4000);
        WriteFile(m_folder / "tune.wav", m_wave);
    }
    TempFolder m_folder;
    std::string m_wave;
};

TEST_F(CliRun, ConvertsWithTheGivenTextsAndDate) {
    const CliResult r = RunCli(m_folder, {"convert", "--title", "夜の歌", "--copyright", "(c) 2003 Q", "--protect",
                                          "--date", "20030601", "-o", "out/night.mld", "tune.wav"});
    // The output folder does not exist yet: no free space can be found for it.
    EXPECT_EQ(r.status, IDS_DISK_SPACE);
    std::filesystem::create_directory(m_folder / "out");
    const CliResult ok = RunCli(m_folder, {"convert", "--title", "夜の歌", "--copyright", "(c) 2003 Q", "--protect",
                                           "--date", "20030601", "-o", "out/night.mld", "tune.wav"});
    ASSERT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(ok.err, "");

    ContentInfo info;
    info.title = *Utf8ToCp932("夜の歌");
    info.copyright = "(c) 2003 Q";
    info.protectionFlag = 1;
    info.date = "20030601";
    const std::string expected = BuildDirectly(m_wave, info);
    EXPECT_EQ(ReadFile(m_folder / "out" / "night.mld"), expected);
    EXPECT_EQ(ok.out, "tune.wav: " + FormatSizeReport(expected.size(), Language::English) + "\n");
    EXPECT_EQ(MelodyFiles(m_folder), std::vector<std::string>{"night.mld"});
}

TEST_F(CliRun, DefaultsFollowTheWindowAndSourceDateEpoch) {
    const std::string name = "My tune ♪ €.wav";  // "€" has no CP932 form: "?" in the title
    WriteFile(m_folder / name, m_wave);
    const CliResult r = RunCli(m_folder, {"convert", name},
                               {{"LANG", "C.UTF-8"}, {"SOURCE_DATE_EPOCH", "1054425600"}});
    ASSERT_EQ(r.status, 0) << r.err;
    ContentInfo info;
    info.title = Utf8ToCp932Lossy("My tune ♪ €");
    info.date = "20030601";
    EXPECT_EQ(ReadFile(m_folder / "My tune ♪ €.mld"), BuildDirectly(m_wave, info));
}

struct FailureCase {
    std::string file;
    int id;
    const char* english;
    const char* japanese;
};

class CliFailure : public CliRun, public testing::WithParamInterface<FailureCase> {
protected:
    void SetUp() override {
        CliRun::SetUp();
        WriteFile(m_folder / "empty.wav", "");
        WriteFile(m_folder / "cd.wav", MakeWave(8000, {.rate = 22050}));
        WriteFile(m_folder / "blip.wav", MakeWave(100));
        WriteFile(m_folder / "notes.txt", "hello");
        WriteFile(m_folder / "locked.wav", m_wave);
        WriteFile(m_folder / "locked.mld", "old");
        std::filesystem::permissions(m_folder / "locked.mld", std::filesystem::perms(0444));
    }
};

TEST_P(CliFailure, PrintsTheMessageAndExitsWithItsNumber) {
    const FailureCase& c = GetParam();
    for (const auto& [lang, text] : {std::pair{"en_US.UTF-8", c.english}, std::pair{"ja_JP.UTF-8", c.japanese}}) {
        std::vector<std::string> args = {"convert", c.file};
        if (c.id == IDS_DISK_SPACE) args = {"convert", "-o", "nowhere/x.mld", "tune.wav"};
        const CliResult r = RunCli(m_folder, args, {{"LANG", lang}});
        const std::string shown = c.id == IDS_DISK_SPACE ? "tune.wav" : c.file;
        EXPECT_EQ(r.status, c.id) << lang;
        EXPECT_EQ(r.err, shown + ": " + text + "\n");
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(MelodyFiles(m_folder), std::vector<std::string>{"locked.mld"});
    EXPECT_EQ(ReadFile(m_folder / "locked.mld"), "old");
}

INSTANTIATE_TEST_SUITE_P(
    Messages, CliFailure,
    testing::Values(
        FailureCase{"missing.wav", 2, "Cannot open WAVE file", "WAVEファイルを開けません"},
        FailureCase{"notes.txt", 3, "Extension is not \".wav\"", "拡張子が\".wav\"ではありません"},
        FailureCase{"empty.wav", 4, "Invalid WAVE file", "不正なWAVEファイルです"},
        FailureCase{"cd.wav", 5, "This WAVE format not supported", "対応しないWAVEフォーマットです"},
        FailureCase{"locked.wav", 6, "Cannot save \".mld\" file: Permission denied",
                    "\".mld\"ファイルを保存できません: Permission denied"},
        FailureCase{std::string(300, 'n') + ".wav", 7, "Filename length exceeds limit", "ファイル名が長すぎます"},
        FailureCase{"blip.wav", 8, "Inadequate WAVE file playtime", "WAVEの再生時間が短すぎます"},
        FailureCase{"tune.wav", 9, "Disk space not enough", "ディスク容量が足りません"}));

TEST_F(CliRun, EveryFileIsTriedAndTheFirstFailureIsTheStatus) {
    WriteFile(m_folder / "empty.wav", "");
    WriteFile(m_folder / "second.wav", m_wave);
    const CliResult r = RunCli(m_folder, {"convert", "--date", "20030601", "missing.wav", "tune.wav", "empty.wav",
                                          "second.wav"});
    EXPECT_EQ(r.status, IDS_CANNOT_OPEN_WAVE);
    EXPECT_EQ(r.err, "missing.wav: Cannot open WAVE file\nempty.wav: Invalid WAVE file\n");
    const std::string size = FormatSizeReport(ReadFile(m_folder / "tune.mld").size(), Language::English);
    EXPECT_EQ(r.out, "tune.wav: " + size + "\nsecond.wav: " + size + "\n");
    EXPECT_EQ(MelodyFiles(m_folder), (std::vector<std::string>{"second.mld", "tune.mld"}));
}

struct UsageCase {
    std::vector<std::string> args;
    const char* sourceDateEpoch;
    const char* mentions;
};

class CliUsage : public CliRun, public testing::WithParamInterface<UsageCase> {};

TEST_P(CliUsage, IsRefusedBeforeAnythingIsWritten) {
    std::map<std::string, std::string> env = {{"LANG", "C.UTF-8"}};
    if (GetParam().sourceDateEpoch) env["SOURCE_DATE_EPOCH"] = GetParam().sourceDateEpoch;
    WriteFile(m_folder / "other.wav", m_wave);
    const CliResult r = RunCli(m_folder, GetParam().args, env);
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.find(GetParam().mentions), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(MelodyFiles(m_folder).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, CliUsage,
    testing::Values(
        UsageCase{{}, nullptr, "no command"},
        UsageCase{{"play", "tune.wav"}, nullptr, "unknown command play"},
        UsageCase{{"--colour"}, nullptr, "unknown option --colour"},
        UsageCase{{"convert"}, nullptr, "no WAVE file"},
        UsageCase{{"convert", "--loud", "tune.wav"}, nullptr, "unknown option --loud"},
        UsageCase{{"convert", "tune.wav", "--title"}, nullptr, "--title needs a value"},
        UsageCase{{"convert", "-o", "x.mld", "tune.wav", "other.wav"}, nullptr, "exactly one input"},
        UsageCase{{"convert", "--title", std::string(51, 't'), "tune.wav"}, nullptr, "51 bytes in CP932; the limit is 50"},
        UsageCase{{"convert", "--copyright", std::string(257, 'c'), "tune.wav"}, nullptr, "the limit is 256"},
        UsageCase{{"convert", "--title", "😀", "tune.wav"}, nullptr, "U+1F600"},
        UsageCase{{"convert", "--date", "20030230", "tune.wav"}, nullptr, "--date"},
        UsageCase{{"convert", "tune.wav"}, "soon", "SOURCE_DATE_EPOCH"}));

TEST_F(CliRun, HelpAndVersion) {
    const CliResult help = RunCli(m_folder, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("convert"), std::string::npos);
    EXPECT_EQ(help.err, "");

    const CliResult convertHelp = RunCli(m_folder, {"convert", "--help"});
    EXPECT_EQ(convertHelp.status, 0);
    for (const char* option : {"--title", "--copyright", "--protect", "--date", "-o, --output", "--help"}) {
        EXPECT_NE(convertHelp.out.find(option), std::string::npos) << option;
    }

    const CliResult version = RunCli(m_folder, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "quorbin-cli 1.0.0\n");
    EXPECT_TRUE(MelodyFiles(m_folder).empty());
}

TEST(Subcommands, TheTableDrivesParsingAndHelp) {
    Subcommand echo{"echo", "WORD...", "print words", "Prints its words.", {{"upper", 'u', "", "shout"}},
                    [](const ParsedArguments& a, Streams s) {
                        for (const auto& w : a.operands) s.out << (a.Has("upper") ? "W:" : "w:") << w << ';';
                        return 3;
                    }};
    std::ostringstream out, err;
    const std::vector<std::string> args = {"echo", "-u", "a", "b"};
    EXPECT_EQ(RunCommandLine(args, {ConvertSubcommand(), echo}, {out, err}), 3);
    EXPECT_EQ(out.str(), "W:a;W:b;");
    const std::vector<std::string> help = {"--help"};
    EXPECT_EQ(RunCommandLine(help, {ConvertSubcommand(), echo}, {out, err}), 0);
    EXPECT_NE(out.str().find("echo"), std::string::npos);
}
