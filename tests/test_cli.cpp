// quorbin-cli: option parsing, date and text options, and end-to-end runs of
// the built executable for every outcome of a conversion.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <atomic>
#include <map>
#include <sstream>
#include <thread>

#include "conversion/ConversionSteps.h"
#include "cli/CommandLine.h"
#include "cli/ConvertCommand.h"
#include "cli/DateOption.h"
#include "cli/HelpLayout.h"
#include "cli/TerminalText.h"
#include "CliRunner.h"
#include "ConversionTestSupport.h"
#include "platform/Cp932.h"

using namespace quorbin;
using namespace quorbin::cli;
using namespace quorbin::testing_support;

// ---- Option parsing -------------------------------------------------------------

const std::vector<OptionDefinition> kOptions = {
    {"title", 0, "TEXT", ""}, {"protect", 0, "", ""}, {"output", 'o', "FILE", ""}};

TEST(ParseOptions, ValuesFlagsAndOperands)
{
    std::string error;
    const std::vector<std::string> args = {"a.wav",      "--title", "T1",        "--protect", "-oout.mld",
                                           "--title=T2", "--",      "--protect", "-"};
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

// Options as getopt_long reads them: groups of short options, beginnings of
// long names, "--" and a suggestion for a near miss. `parsed` shows the
// values as "name=value;..." and the operands after "|", or the error.
struct ParseCase {
    std::vector<std::string> args;
    std::string parsed;
};

class ParseOptionsTable : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseOptionsTable, ReadsOrExplains)
{
    const std::vector<OptionDefinition> options = {
        {"title", 0, "TEXT", ""},           {"protect", 0, "", ""}, {"output", 'o', "FILE", ""},
        {"output-dir", 0, "DIR", ""},       {"quiet", 'q', "", ""}, {"no-clobber", 'n', "", ""},
        {"trim-silence", 0, "DB", "", true}};
    std::string error;
    const auto parsed = ParseOptions(GetParam().args, options, error);
    std::string shown = "error: " + error;
    if (parsed) {
        shown.clear();
        for (const auto& [name, value] : parsed->values)
            shown += name + "=" + value + ";";
        shown += "|";
        for (const std::string& operand : parsed->operands)
            shown += operand + ",";
    }
    EXPECT_EQ(shown, GetParam().parsed);
}

INSTANTIATE_TEST_SUITE_P(
    Getopt, ParseOptionsTable,
    testing::Values(ParseCase{{"-qn", "a.wav"}, "no-clobber=;quiet=;|a.wav,"},
                    ParseCase{{"-qo", "out.mld", "a.wav"}, "output=out.mld;quiet=;|a.wav,"},
                    ParseCase{{"-qoout.mld"}, "output=out.mld;quiet=;|"},
                    ParseCase{{"a.wav", "-q", "-", "b.wav"}, "quiet=;|a.wav,-,b.wav,"},
                    ParseCase{{"--tit", "Foo", "--tit=Bar"}, "title=Bar;|"},
                    ParseCase{{"--output", "x", "--output-", "d"}, "output=x;output-dir=d;|"},
                    ParseCase{{"--trim", "x", "--he"}, "help=;trim-silence=;|x,"},
                    ParseCase{{"--trim-silence=30"}, "trim-silence=30;|"},
                    ParseCase{{"-q", "--", "-n", "--title"}, "quiet=;|-n,--title,"},
                    ParseCase{{"--out", "x"}, "error: option --out is ambiguous; it could be --output, --output-dir"},
                    ParseCase{{"--tittle", "Foo"}, "error: unknown option --tittle; did you mean --title?"},
                    ParseCase{{"--titel=Foo"}, "error: unknown option --titel; did you mean --title?"},
                    ParseCase{{"--qiuet"}, "error: unknown option --qiuet; did you mean --quiet?"},
                    ParseCase{{"--colour"}, "error: unknown option --colour"},
                    ParseCase{{"-title", "Foo"}, "error: unknown option -title; did you mean --title?"},
                    ParseCase{{"-qx"}, "error: unknown option -x"},
                    ParseCase{{"-qo"}, "error: option -o needs a value (FILE)"},
                    ParseCase{{"--ti"}, "error: option --title needs a value (TEXT)"},
                    ParseCase{{"--protect=yes"}, "error: option --protect takes no value"}));

// ---- Date and texts ------------------------------------------------------------------

TEST(DateOption, OnlyRealDaysAreAccepted)
{
    for (const char* good : {"20030601", "20040229", "20001231", "19700101", "99991231"}) {
        EXPECT_TRUE(IsValidDate(good)) << good;
    }
    for (const char* bad : {"20030229", "19000229", "20031301", "20030600", "20030631", "2003061", "200306011",
                            "2003-6-1", "2003060a", "00000101", ""}) {
        EXPECT_FALSE(IsValidDate(bad)) << bad;
    }
}

TEST(DateOption, SourceDateEpochIsReadInUtc)
{
    EXPECT_EQ(DateFromEpoch("0"), "19700101");
    EXPECT_EQ(DateFromEpoch("1054425600"), "20030601");
    EXPECT_EQ(DateFromEpoch("1054425599"), "20030531");
    for (const char* bad : {"", "-1", "12a", " 5", "1e9", "99999999999999999999", "253402300800"}) {
        EXPECT_EQ(DateFromEpoch(bad), std::nullopt) << bad;
    }
}

TEST(DateOption, OptionBeatsEnvironmentAndEmptyMeansToday)
{
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

TEST(TerminalText, LimitsCountCp932Bytes)
{
    std::string problem;
    EXPECT_EQ(OptionTextToCp932("title", std::string(50, 'a'), 50, false, problem), std::string(50, 'a'));
    std::string kanji;
    for (int i = 0; i < 25; ++i)
        kanji += "漢";
    EXPECT_EQ(OptionTextToCp932("title", kanji, 50, false, problem)->size(), 50u);  // 75 bytes of UTF-8
    EXPECT_TRUE(problem.empty());

    EXPECT_EQ(OptionTextToCp932("title", kanji + "x", 50, false, problem), std::nullopt);
    EXPECT_EQ(problem, "--title is 51 bytes in CP932; the limit is 50 bytes: the first 25 characters fit "
                       "(--cut-texts cuts there)");
    EXPECT_EQ(OptionTextToCp932("copyright", "5 €", 256, false, problem), std::nullopt);
    EXPECT_EQ(problem,
              "--copyright holds the character \"€\" (U+20AC), which CP932 cannot encode (try --transliterate)");
    EXPECT_EQ(OptionTextToCp932("title", "a\xFF", 50, false, problem), std::nullopt);
}

TEST(TerminalText, ControlsAndBytesThatAreNotUtf8AreShownAsHex)
{
    for (const auto& [text, shown] : std::vector<std::pair<std::string, std::string>>{
             {"夜 é ♪", "夜 é ♪"},
             {"a\\b\x1B\x7F", "a\\x5Cb\\x1B\\x7F"},
             {"\u0085\u009b\u00a0", "\\xC2\\x85\\xC2\\x9B\u00a0"},  // C1 controls, then a no-break space
             {"\xC0\x80", "\\xC0\\x80"},                            // an overlong NUL
             {"\xED\xA0\x80", "\\xED\\xA0\\x80"},                   // a surrogate
             {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},          // past U+10FFFF
             {"\xE3\x81", "\\xE3\\x81"}}) {                         // cut short
        EXPECT_EQ(EscapeControls(text), shown) << shown;
    }
}

TEST(TerminalText, OtherEncodingsAreReadAsTheirCharacters)
{
    EXPECT_EQ(ToUtf8("\xA4\xA2\xB4\xC1", "EUC-JP"), "あ漢");
    EXPECT_EQ(ToUtf8("caf\xE9", "ISO-8859-1"), "café");
    EXPECT_EQ(ToUtf8("\xFF\xFF", "EUC-JP"), std::nullopt);
    EXPECT_EQ(FromUtf8("あ", "EUC-JP"), "\xA4\xA2");
    EXPECT_EQ(FromUtf8("あ", "UTF-8"), "あ");
}

// ---- The executable ----------------------------------------------------------------

class CliRun : public testing::Test {
protected:
    void SetUp() override
    {
        m_wave = MakeWave(4000);
        WriteFile(m_folder / "tune.wav", m_wave);
    }
    TempFolder m_folder;
    std::string m_wave;
};

TEST_F(CliRun, ConvertsWithTheGivenTextsAndDate)
{
    const CliResult r = RunCli(m_folder, {"convert", "--title", "夜の歌", "--copyright", "(c) 2003 Q", "--protect",
                                          "--date", "20030601", "-o", "out/night.mld", "tune.wav"});
    // The output folder does not exist yet: the save fails and says why.
    EXPECT_EQ(r.status, IDS_CANNOT_SAVE_MLD);
    EXPECT_EQ(r.err, "tune.wav: Cannot save \".mld\" file: No such file or directory (out/night.mld)\n");
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
    EXPECT_EQ(ok.out, "tune.wav: " + FormatSizeReport(expected.size(), Language::English()) + " (out/night.mld)\n");
    EXPECT_EQ(MelodyFiles(m_folder), std::vector<std::string>{"night.mld"});
}

// The decoders' hundred-odd libraries are loaded only by the decoder child,
// whose own messages are shown only with --verbose.
TEST_F(CliRun, DecodersLoadOnlyInTheDecoderChild)
{
    const std::map<std::string, std::string> env = {{"LANG", "C.UTF-8"}, {"LD_DEBUG", "libs"}};
    for (const bool verbose : {false, true}) {
        const CliResult plain = RunCli(m_folder, {"convert", "tune.wav"}, env);
        ASSERT_EQ(plain.status, 0) << plain.err;
        EXPECT_EQ(plain.err.find("quorbin-decoders"), std::string::npos);
        std::vector<std::string> args = {"convert", "--resample", "tune.wav"};
        if (verbose)
            args.insert(args.begin() + 1, "--verbose");
        const CliResult decoded = RunCli(m_folder, args, env);
        ASSERT_EQ(decoded.status, 0) << decoded.err;
        EXPECT_EQ(decoded.err.find("libavcodec") != std::string::npos, verbose);
        EXPECT_EQ(decoded.err.find("quorbin-decoders.so") != std::string::npos, verbose);
    }
}

TEST_F(CliRun, DefaultsFollowTheWindowAndSourceDateEpoch)
{
    const std::string name = "My tune ♪ €.wav";  // "€" has no CP932 form: "?" in the title
    WriteFile(m_folder / name, m_wave);
    const CliResult r = RunCli(m_folder, {"convert", name}, {{"LANG", "C.UTF-8"}, {"SOURCE_DATE_EPOCH", "1054425600"}});
    ASSERT_EQ(r.status, 0) << r.err;
    ContentInfo info;
    info.title = Utf8ToCp932Lossy("My tune ♪ €");
    info.date = "20030601";
    EXPECT_EQ(ReadFile(m_folder / "My tune ♪ €.mld"), BuildDirectly(m_wave, info));
}

TEST_F(CliRun, HighQualityChangesOnlyTheCodes)
{
    const CliResult r = RunCli(m_folder, {"convert", "--quality", "high", "--date", "20030601", "tune.wav"});
    ASSERT_EQ(r.status, 0) << r.err;
    ContentInfo info;
    info.title = "tune";
    info.date = "20030601";
    const std::string high = ReadFile(m_folder / "tune.mld");
    EXPECT_EQ(high, BuildDirectly(m_wave, info, EncoderQuality::High));
    const std::string standard = BuildDirectly(m_wave, info);
    EXPECT_EQ(high.size(), standard.size());
    EXPECT_NE(high, standard);
}

// How the program runs: as built, as a copy without the decoders, or with
// too little memory for them.
enum class Setting { Built, WithoutDecoders, LittleMemory };

struct FailureCase {
    std::string file;
    int id;
    const char* english;  // message and reason; "{decoders}" stands for the folder of the decoders
    const char* japanese;
    std::vector<std::string> options = {};
    Setting setting = Setting::Built;
};

void PrintTo(const FailureCase& c, std::ostream* out)
{
    *out << c.file.substr(0, 20);
    for (const std::string& option : c.options)
        *out << " " << option;
    *out << " (" << static_cast<int>(c.setting) << ")";
}

class CliFailure : public CliRun, public testing::WithParamInterface<FailureCase> {
protected:
    void SetUp() override
    {
        CliRun::SetUp();
        WriteFile(m_folder / "empty.wav", "");
        WriteFile(m_folder / "cd.wav", MakeWave(8000, {.rate = 22050}));
        WriteFile(m_folder / "blip.wav", MakeWave(100));
        WriteFile(m_folder / "notes.txt", "hello");
        WriteFile(m_folder / "song.flac", "not really");
        std::filesystem::create_directory(m_folder / "folder.wav");
        ASSERT_EQ(::mkfifo((m_folder / "fifo.wav").c_str(), 0600), 0);
        WriteFile(m_folder / "locked.wav", m_wave);
        WriteFile(m_folder / "locked.mld", "old");
        std::filesystem::permissions(m_folder / "locked.mld", std::filesystem::perms(0444));
    }

    // The program and the arguments that run it in `setting`.
    std::pair<std::string, std::vector<std::string>> Program(Setting setting, std::vector<std::string> args)
    {
        if (setting == Setting::WithoutDecoders)
            return {InstallCopy(m_copy.Path(), QUORBIN_DECODER_FOLDER, "", ""), args};
        if (setting == Setting::Built)
            return {QUORBIN_CLI_PATH, args};
        // Enough for quorbin-cli, far too little to load the decoders.
        args.insert(args.begin(), {"-c", "ulimit -v 60000 && exec \"$0\" \"$@\"", QUORBIN_CLI_PATH});
        return {"/bin/sh", args};
    }

    TempFolder m_copy;
};

TEST_P(CliFailure, PrintsTheMessageAndExitsWithItsNumber)
{
    const FailureCase& c = GetParam();
#if defined(__SANITIZE_ADDRESS__)
    if (c.setting == Setting::LittleMemory)
        GTEST_SKIP() << "AddressSanitizer reserves the address space for itself";
#endif
    const auto [program, args] = Program(c.setting, [&] {
        std::vector<std::string> args = {"convert", c.file};
        args.insert(args.begin() + 1, c.options.begin(), c.options.end());
        // /proc exists everywhere and has no free space.
        if (c.id == IDS_DISK_SPACE)
            args = {"convert", "-o", "/proc/x.mld", "tune.wav"};
        return args;
    }());
    const std::string decoders = (m_copy.Path() / "bin" / QUORBIN_DECODER_FOLDER).lexically_normal().string();
    for (const auto& [lang, text] : {std::pair{"en_US.UTF-8", c.english}, std::pair{"ja_JP.UTF-8", c.japanese}}) {
        const CliResult r = RunCli(m_folder, args, {{"LANG", lang}}, {}, program);
        const std::string shown = c.id == IDS_DISK_SPACE ? "tune.wav" : c.file;
        const std::string output = c.id == IDS_DISK_SPACE        ? " (/proc/x.mld)"
                                   : c.id == IDS_CANNOT_SAVE_MLD ? " (locked.mld)"
                                                                 : "";
        std::string expected = text;
        if (const std::size_t at = expected.find("{decoders}"); at != std::string::npos)
            expected.replace(at, std::string_view("{decoders}").size(), decoders);
        EXPECT_EQ(r.status, c.id) << lang;
        EXPECT_EQ(r.err, shown + ": " + expected + output + "\n");
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(MelodyFiles(m_folder), std::vector<std::string>{"locked.mld"});
    EXPECT_EQ(ReadFile(m_folder / "locked.mld"), "old");
}

INSTANTIATE_TEST_SUITE_P(
    Messages, CliFailure,
    testing::Values(
        FailureCase{"missing.wav", 2, "Cannot open WAVE file: No such file or directory",
                    "WAVEファイルを開けません: ファイルまたはフォルダがありません"},
        FailureCase{"folder.wav", 2, "Cannot open WAVE file: Is a directory", "WAVEファイルを開けません: フォルダです"},
        FailureCase{"folder.wav",
                    2,
                    "Cannot open WAVE file: Is a directory",
                    "WAVEファイルを開けません: フォルダです",
                    {"--resample"}},
        FailureCase{"fifo.wav", 2, "Cannot open WAVE file: not a regular file",
                    "WAVEファイルを開けません: 通常のファイルではありません"},
        FailureCase{"fifo.wav",
                    2,
                    "Cannot open WAVE file: not a regular file",
                    "WAVEファイルを開けません: 通常のファイルではありません",
                    {"--resample"}},
        FailureCase{"missing.flac",
                    2,
                    "Cannot open WAVE file: No such file or directory",
                    "WAVEファイルを開けません: ファイルまたはフォルダがありません",
                    {"--resample"}},
        FailureCase{"notes.txt", 3, "Extension is not \".wav\"", "拡張子が\".wav\"ではありません"},
        FailureCase{"song.flac", 3, "Extension is not \".wav\"; convert with --resample",
                    "拡張子が\".wav\"ではありません。--resample を付けて変換してください"},
        FailureCase{"empty.wav", 4, "Invalid WAVE file", "不正なWAVEファイルです"},
        FailureCase{"song.flac",
                    4,
                    "Invalid WAVE file: no decoder reads this file",
                    "不正なWAVEファイルです: どのデコーダも読めないファイルです",
                    {"--resample"}},
        FailureCase{"cd.wav",
                    4,
                    "Invalid WAVE file: the decoder module is missing: {decoders}/quorbin-decoder",
                    "不正なWAVEファイルです: デコーダのモジュールがありません: {decoders}/quorbin-decoder",
                    {"--resample"},
                    Setting::WithoutDecoders},
        FailureCase{"cd.wav",
                    4,
                    "Invalid WAVE file: out of memory",
                    "不正なWAVEファイルです: メモリが足りません",
                    {"--resample"},
                    Setting::LittleMemory},
        FailureCase{"cd.wav", 5,
                    "This WAVE format not supported (22050 Hz, 1 channel, 16-bit PCM); convert with --resample",
                    "対応しないWAVEフォーマットです (22050 Hz, 1 チャンネル, 16 ビット PCM)。--resample "
                    "を付けて変換してください"},
        FailureCase{"locked.wav", 6, "Cannot save \".mld\" file: Permission denied",
                    "\".mld\"ファイルを保存できません: アクセス権がありません"},
        FailureCase{std::string(300, 'n') + ".wav", 7, "Filename length exceeds limit", "ファイル名が長すぎます"},
        FailureCase{"blip.wav", 8, "Inadequate WAVE file playtime", "WAVEの再生時間が短すぎます"},
        FailureCase{"tune.wav", 9, "Disk space not enough", "ディスク容量が足りません"}));

TEST_F(CliRun, EveryFileIsTriedAndTheFirstFailureIsTheStatus)
{
    WriteFile(m_folder / "empty.wav", "");
    WriteFile(m_folder / "second.wav", m_wave);
    const CliResult r =
        RunCli(m_folder, {"convert", "--date", "20030601", "missing.wav", "tune.wav", "empty.wav", "second.wav"});
    EXPECT_EQ(r.status, IDS_CANNOT_OPEN_WAVE);
    EXPECT_EQ(r.err, "missing.wav: Cannot open WAVE file: No such file or directory\nempty.wav: Invalid WAVE file\n"
                     "converted 2 of 4 files, 2 failed\n");
    const std::string size = FormatSizeReport(ReadFile(m_folder / "tune.mld").size(), Language::English());
    EXPECT_EQ(r.out, "tune.wav: " + size + " (tune.mld)\nsecond.wav: " + size + " (second.mld)\n");
    EXPECT_EQ(MelodyFiles(m_folder), (std::vector<std::string>{"second.mld", "tune.mld"}));
}

struct UsageCase {
    std::vector<std::string> args;
    const char* sourceDateEpoch;
    const char* mentions;
};

class CliUsage : public CliRun, public testing::WithParamInterface<UsageCase> {};

TEST_P(CliUsage, IsRefusedBeforeAnythingIsWritten)
{
    std::map<std::string, std::string> env = {{"LANG", "C.UTF-8"}};
    if (GetParam().sourceDateEpoch)
        env["SOURCE_DATE_EPOCH"] = GetParam().sourceDateEpoch;
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
        UsageCase{{}, nullptr, "no command"}, UsageCase{{"play", "tune.wav"}, nullptr, "unknown command play"},
        UsageCase{{"--colour"}, nullptr, "unknown option --colour"}, UsageCase{{"convert"}, nullptr, "no WAVE file"},
        UsageCase{{"convert", "--quality", "best", "tune.wav"}, nullptr, "--quality must be"},
        UsageCase{{"convert", "--loud", "tune.wav"}, nullptr, "unknown option --loud"},
        UsageCase{{"convert", "tune.wav", "--title"}, nullptr, "--title needs a value"},
        UsageCase{{"convert", "-o", "x.mld", "tune.wav", "other.wav"}, nullptr, "exactly one input"},
        UsageCase{
            {"convert", "--title", std::string(51, 't'), "tune.wav"}, nullptr, "51 bytes in CP932; the limit is 50"},
        UsageCase{{"convert", "--copyright", std::string(257, 'c'), "tune.wav"}, nullptr, "the limit is 256"},
        UsageCase{{"convert", "--title", "😀", "tune.wav"}, nullptr, "U+1F600"},
        UsageCase{{"convert", "--title", "a\tb", "tune.wav"}, nullptr, "--title holds the control character U+0009"},
        UsageCase{{"convert", "--copyright", "\x1b[2J", "tune.wav"}, nullptr, "control character U+001B"},
        UsageCase{{"convert", "--date", "20030230", "tune.wav"}, nullptr, "--date"},
        UsageCase{{"convert", "tune.wav"}, "soon", "SOURCE_DATE_EPOCH"},
        UsageCase{{"convert", "-", "-"}, nullptr, "only once"},
        UsageCase{{"convert", "-"}, nullptr, "needs -o OUT.mld"},
        UsageCase{{"convert", "-o", ".", "-"}, nullptr, "needs -o OUT.mld"},
        UsageCase{{"convert", "--preview", "-o", "-", "tune.wav"}, nullptr, "not -o -"},
        UsageCase{{"convert", "--output-dir", "none", "tune.wav"}, nullptr, "no such folder: none"},
        UsageCase{{"convert", "-o", "none/", "tune.wav"}, nullptr, "no such folder: none/"},
        UsageCase{{"convert", "--output-dir", ".", "-o", "x.mld", "tune.wav"}, nullptr, "cannot be used together"},
        UsageCase{{"help", "play"}, nullptr, "unknown command play"}));

// A run never writes over one of its inputs or twice into one output, and the
// names it prints cannot send control characters to the terminal.
struct ClashCase {
    std::vector<std::pair<std::string, std::string>> files;  // name, and "" for a copy of the recording
                                                             // or the existing file it is a hard link to
    std::vector<std::string> args;
    int status;
    std::string err;
};

class CliClash : public CliRun, public testing::WithParamInterface<ClashCase> {
protected:
    std::map<std::string, std::string> Contents() const
    {
        std::map<std::string, std::string> contents;
        for (const auto& entry : std::filesystem::directory_iterator(m_folder.Path()))
            contents[entry.path().filename()] = ReadFile(entry.path());
        return contents;
    }
};

TEST_P(CliClash, NothingOfTheRunIsReplaced)
{
    for (const auto& [name, linkTo] : GetParam().files) {
        if (linkTo.empty())
            WriteFile(m_folder / name, m_wave);
        else
            std::filesystem::create_hard_link(m_folder / linkTo, m_folder / name);
    }
    const auto before = Contents();
    const CliResult r = RunCli(m_folder, GetParam().args);
    EXPECT_EQ(r.status, GetParam().status);
    EXPECT_EQ(r.err, GetParam().err);
    for (const auto& [name, content] : before)
        EXPECT_EQ(ReadFile(m_folder / name), content) << name;
}

const std::string kCannotSave = ": Cannot save \".mld\" file: ";
const std::string kOneOfTwo = "converted 1 of 2 files, 1 failed\n";

INSTANTIATE_TEST_SUITE_P(
    Runs, CliClash,
    testing::Values(
        ClashCase{{},
                  {"convert", "-o", "tune.wav", "tune.wav"},
                  6,
                  "tune.wav" + kCannotSave + "it would replace the recording itself (tune.wav)\n"},
        ClashCase{{{"x.mld", ""}},
                  {"convert", "--resample", "x.mld"},
                  6,
                  "x.mld" + kCannotSave + "it would replace the recording itself (x.mld)\n"},
        ClashCase{{{"tune.preview.wav", ""}},
                  {"convert", "--preview", "tune.wav", "tune.preview.wav"},
                  6,
                  "tune.wav" + kCannotSave + "it would replace tune.preview.wav, an input of this run (tune.mld)\n"
                      + kOneOfTwo},
        ClashCase{{{"tune.mld", ""}, {"tune.preview.wav", "tune.mld"}},
                  {"convert", "--preview", "tune.wav"},
                  6,
                  "tune.wav" + kCannotSave + "the preview would replace the melody file itself (tune.mld)\n"},
        ClashCase{{{"a.wav", ""}, {"a.WAV", ""}},
                  {"convert", "a.wav", "a.WAV"},
                  6,
                  "a.WAV" + kCannotSave + "a.wav was already written to it in this run (a.mld)\n" + kOneOfTwo},
        ClashCase{{{"b.wav", ""}, {"b.aiff", ""}},
                  {"convert", "--resample", "b.wav", "b.aiff"},
                  6,
                  "b.aiff" + kCannotSave + "b.wav was already written to it in this run (b.mld)\n" + kOneOfTwo},
        ClashCase{{},
                  {"convert", "evil\x1b]0;pwned\x07\n.wav"},
                  2,
                  "evil\\x1B]0;pwned\\x07\\x0A.wav: Cannot open WAVE file: No such file or directory\n"}));

// Under a file size limit, a melody file that does not fit fails with its
// reason and the old file stays; the rest of the batch goes on. On standard
// output the run ends as for any failed write there.
struct SizeLimitCase {
    std::vector<std::string> args;
    int status;
    std::string err;
    std::vector<std::string> entries;  // of the folder afterwards
};

class CliSizeLimit : public CliRun, public testing::WithParamInterface<SizeLimitCase> {};

TEST_P(CliSizeLimit, AFileThatDoesNotFitFailsAlone)
{
    WriteFile(m_folder / "long.wav", MakeWave(60000));
    WriteFile(m_folder / "long.mld", "old");
    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    // The started run inherits the limit; this process writes nothing while it is set.
    const rlimit small{16 * 1024, before.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const StartedCli started =
        StartCli(m_folder, GetParam().args, {{"LANG", "C.UTF-8"}}, {.output = m_folder / "out.mld"});
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &before), 0);
    const CliResult r = FinishCli(started);
    EXPECT_EQ(r.status, GetParam().status);
    EXPECT_EQ(r.err, GetParam().err);
    EXPECT_EQ(ReadFile(m_folder / "long.mld"), "old");
    EXPECT_EQ(m_folder.Entries(), GetParam().entries);
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, CliSizeLimit,
    testing::Values(SizeLimitCase{{"convert", "long.wav", "tune.wav"},
                                  IDS_CANNOT_SAVE_MLD,
                                  "long.wav: Cannot save \".mld\" file: File too large (long.mld)\n"
                                  "converted 1 of 2 files, 1 failed\n",
                                  {"long.mld", "long.wav", "out.mld", "tune.mld", "tune.wav"}},
                    SizeLimitCase{{"convert", "-o", "-", "long.wav"},
                                  kExitIoError,
                                  "long.wav: Cannot save \".mld\" file: File too large (standard output)\n",
                                  {"long.mld", "long.wav", "out.mld", "tune.wav"}}),
    [](const auto& info) { return info.index == 0 ? "Files" : "StandardOutput"; });

// ---- Races with other processes ----------------------------------------------------

// While the run saves, another process keeps switching the melody file's name
// between a link to a harmless file and a link to the recording: the
// recording is never replaced, whichever the run saw.
TEST_F(CliRun, ALinkSwappedDuringTheSaveNeverLetsTheRecordingBeReplaced)
{
    std::filesystem::create_directory(m_folder / "out");
    WriteFile(m_folder / "out" / "safe.mld", "safe");
    std::atomic<bool> stop = false;
    std::thread flipper([&] {
        const std::string name = (m_folder / "out" / "tune.mld").string();
        const std::string staged = (m_folder / "out" / ".flip").string();
        for (bool toRecording = false; !stop; toRecording = !toRecording) {
            ::symlink(toRecording ? "../tune.wav" : "safe.mld", staged.c_str());
            ::rename(staged.c_str(), name.c_str());
        }
    });
    int damaged = 0, saved = 0;
    for (int round = 0; round < 200 && !damaged; ++round) {
        const int status = RunCli(m_folder, {"convert", "--output-dir", "out", "tune.wav"}).status;
        EXPECT_TRUE(status == 0 || status == IDS_CANNOT_SAVE_MLD) << status;
        saved += status == 0;
        damaged += ReadFile(m_folder / "tune.wav") != m_wave;
    }
    stop = true;
    flipper.join();
    EXPECT_EQ(damaged, 0) << "the recording was replaced by a melody file";
    EXPECT_GT(saved, 0) << "no run got as far as saving";
}

// Two runs that keep existing files write one new name at the same moment:
// one of them writes it, the other says that it exists.
TEST_F(CliRun, OfTwoRunsKeepingExistingFilesOnlyOneWritesANewName)
{
    WriteFile(m_folder / "other.wav", MakeWave(3000));
    std::map<std::string, std::string> made;  // what each recording becomes
    for (const char* name : {"tune", "other"}) {
        ASSERT_EQ(RunCli(m_folder, {"convert", "--date", "20030601", name + std::string(".wav")}).status, 0);
        made[name] = ReadFile(m_folder / (name + std::string(".mld")));
    }
    for (int round = 0; round < 60 && !HasFailure(); ++round) {
        std::filesystem::remove(m_folder / "new.mld");
        std::map<std::string, StartedCli> runs;
        for (const auto& [name, melody] : made) {
            runs[name] = StartCli(m_folder, {"convert", "-n", "--date", "20030601", "-o", "new.mld", name + ".wav"},
                                  {{"LANG", "C.UTF-8"}}, {}, name);
        }
        std::vector<std::string> writers;
        for (const auto& [name, run] : runs) {
            const CliResult r = FinishCli(run);
            if (r.status == 0)
                writers.push_back(name);
            else
                EXPECT_EQ(r.err, name + ".wav: Cannot save \".mld\" file: exists (new.mld)\n") << "round " << round;
        }
        ASSERT_EQ(writers.size(), 1u) << "round " << round;
        EXPECT_EQ(ReadFile(m_folder / "new.mld"), made[writers.front()]) << "round " << round;
    }
}

TEST_F(CliRun, HelpAndVersion)
{
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
    EXPECT_TRUE(version.out.starts_with("quorbin-cli (Quorbin) 1.0.0\nCopyright (C) 2026 ")) << version.out;
    EXPECT_TRUE(version.out.ends_with("There is NO WARRANTY, to the extent permitted by law.\n")) << version.out;
    EXPECT_EQ(RunCli(m_folder, {"-V"}).out, version.out);
    EXPECT_EQ(RunCli(m_folder, {"help"}).out, help.out);
    EXPECT_EQ(RunCli(m_folder, {"help", "convert"}).out, convertHelp.out);
    EXPECT_TRUE(MelodyFiles(m_folder).empty());
}

TEST_F(CliRun, HelpAndUsageErrorsFollowTheMessageLanguage)
{
    // No system generates this locale: the catalogue is found all the same.
    const std::map<std::string, std::string> japanese = {{"LANG", "ja_ZZ.UTF-8"}};
    EXPECT_NE(RunCli(m_folder, {"--help"}, japanese).out.find("コマンド:"), std::string::npos);
    const CliResult help = RunCli(m_folder, {"convert", "--help"}, japanese);
    EXPECT_NE(help.out.find("使い方: quorbin-cli convert [オプション] FILE.wav..."), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("既存のメロディファイルを残す"), std::string::npos);
    const CliResult usage = RunCli(m_folder, {"convert", "--loud", "tune.wav"}, japanese);
    EXPECT_EQ(usage.status, kExitUsage);
    EXPECT_EQ(usage.err, "quorbin-cli: convert: 不明なオプションです: --loud\n"
                         "詳しくは \"quorbin-cli convert --help\" を実行してください。\n");
    EXPECT_NE(RunCli(m_folder, {"convert", "--tittle", "T", "tune.wav"}, japanese)
                  .err.find("不明なオプションです: --tittle（--title のことですか？）"),
              std::string::npos);

    // A language added by a catalogue alone.
    const CliResult added =
        RunCli(m_folder, {},
               {{"LANG", "C.UTF-8"}, {"LANGUAGE", "qaa"}, {"QUORBIN_LOCALEDIR", QUORBIN_TEST_LOCALEDIR "-little"}});
    EXPECT_EQ(added.err, "quorbin-cli: nula komando\nTry \"quorbin-cli --help\".\n");
}

// Every help fits 80 columns in either language (a wide character takes two),
// and ends with examples and where to report problems.
class CliHelpWidth : public CliRun, public testing::WithParamInterface<std::tuple<const char*, Language>> {};

TEST_P(CliHelpWidth, FitsEightyColumns)
{
    const auto& [command, language] = GetParam();
    std::vector<std::string> args = {"--help"};
    if (*command)
        args.insert(args.begin(), command);
    const CliResult help = RunCli(m_folder, args, {{"LANG", language.IsJapanese() ? "ja_ZZ.UTF-8" : "C.UTF-8"}});
    EXPECT_EQ(help.status, 0);
    std::istringstream lines(help.out);
    for (std::string line; std::getline(lines, line);)
        EXPECT_LE(Columns(line), kHelpWidth) << line;
    EXPECT_NE(help.out.find(std::string("\n") + Tr("Examples:", language) + "\n  "), std::string::npos) << help.out;
    EXPECT_NE(help.out.find(" home page: <"), help.out.find("のホームページ: <")) << help.out;
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, CliHelpWidth,
                         testing::Combine(testing::Values("", "convert", "info", "decode"),
                                          testing::Values(Language::English(), Language::Japanese())));

// Lines break at spaces, or between wide characters where Japanese allows it.
struct WrapCase {
    std::string text;
    std::size_t indent;
    std::size_t width;
    std::string wrapped;
};

class HelpWrap : public testing::TestWithParam<WrapCase> {};

TEST_P(HelpWrap, BreaksWhereALineMay)
{
    EXPECT_EQ(Wrapped(GetParam().text, GetParam().indent, GetParam().width), GetParam().wrapped);
}

INSTANTIATE_TEST_SUITE_P(Lines, HelpWrap,
                         testing::Values(WrapCase{"abc def ghi", 0, 7, "abc def\nghi"},
                                         WrapCase{"abc  def", 0, 3, "abc\ndef"},
                                         WrapCase{"  -q  print it all", 6, 13, "  -q  print\n      it all"},
                                         WrapCase{"abcdefghij k\nshort", 0, 5, "abcdefghij\nk\nshort"},
                                         WrapCase{"日本語の文章です", 0, 10, "日本語の文\n章です"},
                                         WrapCase{"あいうえ。か", 0, 8, "あいう\nえ。か"},
                                         WrapCase{"あ（いう）", 0, 4, "あ\n（い\nう）"},
                                         WrapCase{"16 ビット ab", 0, 10, "16 ビット\nab"}));

// ---- Batches, folders and standard streams ----------------------------------------------

std::string SizeLine(const std::string& file, const std::string& melody, const std::string& shown)
{
    return file + ": " + FormatSizeReport(ReadFile(melody).size(), Language::English()) + " (" + shown + ")\n";
}

// A batch larger than the files a process may hold open is put in place in parts.
TEST_F(CliRun, ABatchBeyondTheOpenFileLimitIsSavedInParts)
{
    std::vector<std::string> args = {"--nofile=80:80", "--", QUORBIN_CLI_PATH, "convert", "-q"};
    for (int i = 0; i < 40; ++i) {
        WriteFile(m_folder / ("r" + std::to_string(i) + ".wav"), m_wave);
        args.push_back("r" + std::to_string(i) + ".wav");
    }
    const CliResult r = RunCli(m_folder, args, {{"LANG", "C.UTF-8"}}, {}, "/usr/bin/prlimit");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(MelodyFiles(m_folder).size(), 40u);
}

TEST_F(CliRun, AFolderTakesEveryMelodyFileOfTheBatch)
{
    std::filesystem::create_directories(m_folder / "sub");
    std::filesystem::create_directories(m_folder / "out");
    WriteFile(m_folder / "sub" / "two.wav", m_wave);
    for (const std::vector<std::string>& how :
         {std::vector<std::string>{"--output-dir", "out"}, std::vector<std::string>{"-o", "out/"}}) {
        std::vector<std::string> args = {"convert", "--date", "20030601", "tune.wav", "sub/two.wav"};
        args.insert(args.begin() + 1, how.begin(), how.end());
        const CliResult r = RunCli(m_folder, args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, SizeLine("tune.wav", m_folder / "out" / "tune.mld", "out/tune.mld")
                             + SizeLine("sub/two.wav", m_folder / "out" / "two.mld", "out/two.mld"));
        EXPECT_EQ(r.err, "converted 2 of 2 files, 0 failed\n");
        EXPECT_EQ(m_folder.Entries("out"), (std::vector<std::string>{"tune.mld", "two.mld"}));
    }
    EXPECT_EQ(m_folder.Entries("sub"), std::vector<std::string>{"two.wav"});
}

struct BatchCase {
    std::vector<std::string> args;
    int status;
    std::vector<std::string> converted;  // names whose success lines reach standard output
    std::string err;
    bool japanese = false;
};

class CliBatch : public CliRun, public testing::WithParamInterface<BatchCase> {};

TEST_P(CliBatch, SumsUpAndEndsWithTheFirstFailure)
{
    const BatchCase& c = GetParam();
    WriteFile(m_folder / "kept.wav", m_wave);
    WriteFile(m_folder / "kept.mld", "old");
    std::vector<std::string> args = {"convert"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CliResult r = RunCli(m_folder, args, {{"LANG", c.japanese ? "ja_JP.UTF-8" : "C.UTF-8"}});
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err, c.err);
    std::string out;
    for (const std::string& name : c.converted) {
        const auto size = ReadFile(m_folder / (name + ".mld")).size();
        out += name + ".wav: " + FormatSizeReport(size, c.japanese ? Language::Japanese() : Language::English()) + " ("
               + name + ".mld)\n";
    }
    EXPECT_EQ(r.out, out);
    const bool noClobber = std::find(c.args.begin(), c.args.end(), "-n") != c.args.end()
                           || std::find(c.args.begin(), c.args.end(), "--no-clobber") != c.args.end();
    EXPECT_EQ(ReadFile(m_folder / "kept.mld") == "old", noClobber);
}

INSTANTIATE_TEST_SUITE_P(
    Batches, CliBatch,
    testing::Values(BatchCase{{"tune.wav", "kept.wav"}, 0, {"tune", "kept"}, "converted 2 of 2 files, 0 failed\n"},
                    BatchCase{{"-q", "tune.wav", "kept.wav"}, 0, {}, ""},
                    BatchCase{{"-n", "tune.wav", "kept.wav", "gone.wav"},
                              IDS_CANNOT_SAVE_MLD,
                              {"tune"},
                              "kept.wav: Cannot save \".mld\" file: exists (kept.mld)\n"
                              "gone.wav: Cannot open WAVE file: No such file or directory\n"
                              "converted 1 of 3 files, 2 failed\n"},
                    BatchCase{
                        {"--no-clobber", "-q", "kept.wav", "tune.wav"},
                        IDS_CANNOT_SAVE_MLD,
                        {},
                        "kept.wav: Cannot save \".mld\" file: exists (kept.mld)\nconverted 1 of 2 files, 1 failed\n"},
                    BatchCase{{"-n", "kept.wav", "tune.wav"},
                              IDS_CANNOT_SAVE_MLD,
                              {"tune"},
                              "kept.wav: \".mld\"ファイルを保存できません: 既に存在します (kept.mld)\n"
                              "2 個のうち 1 個のファイルを変換しました（1 個失敗）\n",
                              true}));

TEST_F(CliRun, StandardInputAndOutputCarryTheFiles)
{
    ContentInfo info;
    info.date = "20030601";
    info.title = "piped";
    const CliResult in = RunCli(m_folder, {"convert", "--date", "20030601", "-", "-o", "piped.mld"},
                                {{"LANG", "C.UTF-8"}}, {.input = "tune.wav", .output = "", .outputFd = -1});
    ASSERT_EQ(in.status, 0) << in.err;
    EXPECT_EQ(in.out, "-: " + FormatSizeReport(ReadFile(m_folder / "piped.mld").size(), Language::English())
                          + " (piped.mld)\n");
    EXPECT_EQ(ReadFile(m_folder / "piped.mld"), BuildDirectly(m_wave, info));

    info.title = "tune";
    const CliResult out = RunCli(m_folder, {"convert", "--date", "20030601", "-o", "-", "tune.wav"});
    ASSERT_EQ(out.status, 0) << out.err;
    EXPECT_EQ(out.out, BuildDirectly(m_wave, info));
    EXPECT_EQ(out.err, "tune.wav: " + FormatSizeReport(out.out.size(), Language::English()) + " (standard output)\n");
    EXPECT_EQ(MelodyFiles(m_folder), std::vector<std::string>{"piped.mld"});

    std::ostringstream sink, err;
    const std::vector<std::string> args = {"convert", "-o", "-", "tune.wav"};
    EXPECT_EQ(RunCommandLine(args, {ConvertSubcommand()}, {sink, err, true}), kExitUsage);
    EXPECT_NE(err.str().find("terminal"), std::string::npos);
}

// "-" never reads from or writes to a terminal: the run is refused at once
// instead of waiting for keystrokes or printing binary data.
struct TerminalCase {
    std::vector<std::string> args;
    bool terminalIsInput;
    const char* mentions;
};

class CliTerminal : public CliRun, public testing::WithParamInterface<TerminalCase> {};

TEST_P(CliTerminal, IsRefusedAsAFile)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master) | ::unlockpt(master), 0);
    const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(::write(master, "\x04", 1), 1);  // an end of input, should the program read the terminal
    Redirection io;
    (GetParam().terminalIsInput ? io.inputFd : io.outputFd) = terminal;
    const CliResult r = RunCli(m_folder, GetParam().args, {{"LANG", "C.UTF-8"}}, io);
    ::close(terminal);
    ::close(master);
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.find(GetParam().mentions), std::string::npos) << r.err;
    EXPECT_EQ(MelodyFiles(m_folder), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Streams, CliTerminal,
    testing::Values(TerminalCase{{"convert", "-", "-o", "x.mld"}, true, "standard input is a terminal"},
                    TerminalCase{{"decode", "-", "-o", "x.wav"}, true, "standard input is a terminal"},
                    TerminalCase{{"info", "-"}, true, "info: standard input is a terminal"},
                    TerminalCase{{"convert", "tune.wav", "-o", "-"}, false, "standard output is a terminal"}));

TEST_F(CliRun, AFailedWriteToStandardOutputEndsWith74AfterTheWholeBatch)
{
    WriteFile(m_folder / "second.wav", m_wave);
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    ::close(pipeFds[0]);  // nobody reads: every write fails with EPIPE
    const CliResult closed = RunCli(m_folder, {"convert", "tune.wav", "second.wav"}, {{"LANG", "C.UTF-8"}},
                                    {.input = "/dev/null", .output = "", .outputFd = pipeFds[1]});
    ::close(pipeFds[1]);
    EXPECT_EQ(closed.status, kExitIoError) << closed.err;
    EXPECT_EQ(closed.err, "converted 2 of 2 files, 0 failed\n");
    EXPECT_EQ(MelodyFiles(m_folder), (std::vector<std::string>{"second.mld", "tune.mld"}));

    const CliResult full = RunCli(m_folder, {"convert", "-o", "-", "tune.wav"}, {{"LANG", "C.UTF-8"}},
                                  {.input = "/dev/null", .output = "/dev/full"});
    EXPECT_EQ(full.status, kExitIoError);
    EXPECT_EQ(full.err, "tune.wav: Cannot save \".mld\" file: No space left on device (standard output)\n");
}

TEST(TerminalText, TransliterationReplacesOnlyWhatCp932Lacks)
{
    std::string problem;
    for (const auto& [utf8, cp932] :
         {std::pair{"© 2003 Café", "(C) 2003 Cafe"}, std::pair{"5 €", "5 EUR"}, std::pair{"夜 ™", "\x96\xE9 (TM)"}}) {
        EXPECT_EQ(OptionTextToCp932("title", utf8, 50, true, problem), cp932) << utf8;
    }
    EXPECT_EQ(OptionTextToCp932("title", "a😀", 50, true, problem), std::nullopt);
    EXPECT_EQ(problem, "--title holds the character \"😀\" (U+1F600), which CP932 cannot encode");
    EXPECT_EQ(OptionTextToCp932("title", std::string(49, 'x') + "©", 50, true, problem), std::nullopt);
    EXPECT_EQ(problem, "--title is 52 bytes in CP932; the limit is 50 bytes: the first 50 characters fit "
                       "(--cut-texts cuts there)");
}

TEST(Subcommands, TheTableDrivesParsingAndHelp)
{
    Subcommand echo{"echo",
                    "WORD...",
                    "print words",
                    "Prints its words.",
                    {{"upper", 'u', "", "shout"}},
                    [](const ParsedArguments& a, Streams s) {
                        for (const auto& w : a.operands)
                            s.out << (a.Has("upper") ? "W:" : "w:") << w << ';';
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

// ---- What the messages say ------------------------------------------------------------

struct MessageCase {
    const char* name;
    std::vector<std::string> args;
    int status;
    std::string err;       // all of standard error
    std::string out = "";  // found in standard output
    bool japanese = false;
    const char* input = "/dev/null";  // standard input, in the folder
};

class CliMessage : public CliRun, public testing::WithParamInterface<MessageCase> {
protected:
    void SetUp() override
    {
        CliRun::SetUp();
        const std::string forty = MakeWave(320000);
        WriteFile(m_folder / "forty.wav", forty);
        WriteFile(m_folder / "edge.wav", MakeWave(16160));  // 2.02 s
        WriteFile(m_folder / "kept.wav", m_wave);
        WriteFile(m_folder / "kept.mld", "old");
        // As a writer to a pipe states it: no length.
        WriteFile(m_folder / "piped.wav", forty.substr(0, 40) + Le32(0xFFFFFFFF) + forty.substr(44));
    }
};

TEST_P(CliMessage, SaysWhatHappened)
{
    const MessageCase& c = GetParam();
    const CliResult r = RunCli(m_folder, c.args, {{"LANG", c.japanese ? "ja_JP.UTF-8" : "C.UTF-8"}},
                               {.input = c.input, .output = "", .outputFd = -1});
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err, c.err);
    EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
    EXPECT_EQ(ReadFile(m_folder / "kept.mld"), "old");
}

const std::string kTooShort = ": Inadequate WAVE file playtime: ";
const std::string kKana = "あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめも";

INSTANTIATE_TEST_SUITE_P(
    Notes, CliMessage,
    testing::Values(
        MessageCase{"StartPastTheEnd",
                    {"convert", "--start", "50", "forty.wav"},
                    IDS_PLAYTIME_TOO_SHORT,
                    "forty.wav" + kTooShort
                        + "the start (0:50.000) is at or past the end of the recording (0:40.000)\n"},
        MessageCase{"StartPastTheEndDecoded",
                    {"convert", "--resample", "--start", "50", "forty.wav"},
                    IDS_PLAYTIME_TOO_SHORT,
                    "forty.wav" + kTooShort
                        + "the start (0:50.000) is at or past the end of the recording (0:40.000)\n"},
        MessageCase{"StartPastTheEndOfAStream",
                    {"convert", "--start", "50", "-o", "s.mld", "-"},
                    IDS_PLAYTIME_TOO_SHORT,
                    "-" + kTooShort + "the start (0:50.000) is at or past the end of the recording (0:40.000)\n",
                    "",
                    false,
                    "piped.wav"},
        MessageCase{"StartTwentyMsBeforeTheEnd",
                    {"convert", "--start", "2", "edge.wav"},
                    IDS_PLAYTIME_TOO_SHORT,
                    "edge.wav" + kTooShort + "only 20 ms of the recording (0:02.020) follow the start (0:02.000)\n"},
        MessageCase{"SelectionShortenedByTheEnd",
                    {"convert", "--start", "30", "--length", "20", "forty.wav"},
                    0,
                    "forty.wav: note: the recording ends at 0:40.0, so the selection holds 10.0 s, not the 20.0 s "
                    "asked for\n"},
        MessageCase{"CutAtTheLowestRate",
                    {"convert", "--fit", "forty.wav"},
                    0,
                    "forty.wav: note: kept the first 32.8 s of 40.0 s (a melody file holds 32.8 s at 4000 Hz); use "
                    "--start/--length to choose a shorter part\n"},
        MessageCase{"CutInJapanese",
                    {"convert", "forty.wav"},
                    0,
                    "forty.wav: 注意: 40.0 s のうち先頭 16.4 s を保存しました（メロディファイルに入るのは 8000 Hz で "
                    "16.4 s）。--start/--length、--fit、または低い --rate を使ってください\n",
                    "",
                    true},
        MessageCase{"StreamOfUnknownLength",
                    {"convert", "-o", "s.mld", "-"},
                    0,
                    "-: note: kept the first 16.4 s of a stream that went on (a melody file holds 16.4 s at 8000 Hz); "
                    "use --start/--length, --fit or a lower --rate\n",
                    "",
                    false,
                    "piped.wav"},
        MessageCase{"DryRunInJapanese",
                    {"convert", "--dry-run", "--length", "0.25", "tune.wav"},
                    0,
                    "",
                    "tune.wav: tune.mld に書き込む予定: 8000 Hz、0.250 s のうち 0.250 s、",
                    true},
        MessageCase{"SkippedExisting",
                    {"convert", "--skip-existing", "kept.wav", "tune.wav"},
                    0,
                    "kept.wav: skipped: kept.mld exists\nconverted 1 of 2 files, 1 skipped, 0 failed\n"},
        MessageCase{"TitleCut",
                    {"convert", "--cut-texts", "--title", kKana, "tune.wav"},
                    0,
                    "quorbin-cli: note: --title cut at 50 bytes in CP932 to its first 25 characters: \""
                        + kKana.substr(0, 75) + "\"\n"},
        MessageCase{"DecodeKeepsWhatLiesThere",
                    {"decode", "-o", "tune.wav", "kept.mld"},
                    IDS_CANNOT_SAVE_MLD,
                    "kept.mld: cannot write the WAVE file (tune.wav): exists; use -o or --force\n"},
        MessageCase{"NamesShowControlsAndBytesThatAreNotText",
                    {"convert", "a\u009b[31m\xff.wav"},
                    IDS_CANNOT_OPEN_WAVE,
                    "a\\xC2\\x9B[31m\\xFF.wav: Cannot open WAVE file: No such file or directory\n"},
        MessageCase{"InfoFailureAsJson",
                    {"info", "--json", "none.mld"},
                    2,
                    "",
                    "{\"file\":\"none.mld\",\"error\":{\"message\":\"cannot open the file\",\"reason\":\"No such file "
                    "or directory\"}}\n"}),
    [](const auto& info) { return std::string(info.param.name); });
