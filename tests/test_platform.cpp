// CP932 texts, the message language, free space, whole-file reads and the atomic
// save: one resolution of the target, batches, leftovers and interrupted saves.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "ConversionTestSupport.h"
#include "platform/Cp932.h"
#include "platform/FileSave.h"
#include "platform/FileSystem.h"
#include "platform/InterruptCleanup.h"
#include "platform/MessageCatalogue.h"
#include "conversion/StringTable.h"

namespace fs = std::filesystem;
using namespace quorbin;
using namespace quorbin::testing_support;

namespace {

std::string Hex(const std::string& bytes)
{
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

}  // namespace

// ---- CP932 ----------------------------------------------------------------

struct Cp932Case {
    const char* utf8;
    std::optional<std::string> strictHex;  // nullopt: refused
    const char* lossy;
};

class Cp932Conversion : public testing::TestWithParam<Cp932Case> {};

TEST_P(Cp932Conversion, StrictAndLossy)
{
    const Cp932Case& c = GetParam();
    const auto strict = Utf8ToCp932(c.utf8);
    ASSERT_EQ(strict.has_value(), c.strictHex.has_value());
    if (strict) {
        EXPECT_EQ(Hex(*strict), *c.strictHex);
    }
    EXPECT_EQ(Utf8ToCp932Lossy(c.utf8), c.lossy);
    // What converts strictly decodes back to the same text.
    if (strict) {
        EXPECT_EQ(Cp932ToUtf8(*strict), c.utf8);
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, Cp932Conversion,
                         testing::Values(Cp932Case{"Song 1", "536F6E672031", "Song 1"}, Cp932Case{"", "", ""},
                                         Cp932Case{"ｱｲ", "B1B2", "\xB1\xB2"},  // half-width kana: one byte each
                                         Cp932Case{"あ漢字", "82A08ABF8E9A", "\x82\xA0\x8A\xBF\x8E\x9A"},
                                         Cp932Case{"①髙", "8740FBFC", "\x87\x40\xFB\xFC"},  // Windows extensions
                                         Cp932Case{"a€b", std::nullopt, "a?b"},
                                         Cp932Case{"😀あ", std::nullopt, "?\x82\xA0"},
                                         Cp932Case{"x\xFFy", std::nullopt, "x?y"},     // not UTF-8
                                         Cp932Case{"\xE3\x81", std::nullopt, "??"}));  // cut UTF-8 sequence

TEST(Cp932, DecodingReplacesBrokenBytes)
{
    EXPECT_EQ(Cp932ToUtf8("\x82\xA0"
                          "A"),
              "あA");
    EXPECT_EQ(Cp932ToUtf8("A\x82"), "A\xEF\xBF\xBD");  // lead byte without its partner
    EXPECT_EQ(Cp932ToUtf8("\xA0"
                          "B"),
              "\xEF\xBF\xBD"
              "B");  // 0xA0 is unassigned
}

TEST(Cp932, FirstUnencodableCharacter)
{
    EXPECT_EQ(FirstNonCp932Character("abc漢"), std::nullopt);
    EXPECT_EQ(FirstNonCp932Character("ab€c"), 2u);
    EXPECT_EQ(FirstNonCp932Character("あ😀"), 3u);
}

struct PrefixCase {
    std::string cp932;
    std::size_t limit;
    std::size_t expected;
};

class Cp932Prefix : public testing::TestWithParam<PrefixCase> {};

TEST_P(Cp932Prefix, NeverSplitsADoubleByteCharacter)
{
    EXPECT_EQ(Cp932PrefixLength(GetParam().cp932, GetParam().limit), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cuts, Cp932Prefix,
                         testing::Values(PrefixCase{"abcdef", 4, 4}, PrefixCase{"abc", 50, 3}, PrefixCase{"", 5, 0},
                                         PrefixCase{"ab\x82\xA0", 3, 2},  // the kana would be cut: left out
                                         PrefixCase{"ab\x82\xA0", 4, 4},
                                         PrefixCase{"\xB1\xB2\xB3", 2, 2},      // half-width kana are single bytes
                                         PrefixCase{"\x82\x41\x82\x42", 3, 2},  // trail byte in the ASCII range
                                         PrefixCase{"\xE0\x40z", 1, 0},
                                         PrefixCase{"a\x82", 2, 2}));  // a lone lead byte at the end counts as one

TEST(Cp932, RandomTitlesAreCutOnCharacterBoundaries)
{
    const std::vector<std::string> pieces = {"a", "Z", "ｱ", "あ", "漢", "①", "ー", "7"};
    std::mt19937 random(1234);
    for (int round = 0; round < 500; ++round) {
        std::string utf8;
        const int count = static_cast<int>(random() % 40);
        for (int i = 0; i < count; ++i)
            utf8 += pieces[random() % pieces.size()];
        const std::string cp932 = *Utf8ToCp932(utf8);
        const std::size_t limit = random() % 60;
        const std::size_t cut = Cp932PrefixLength(cp932, limit);
        ASSERT_LE(cut, limit);
        ASSERT_GE(cut + 1, std::min(limit, cp932.size()));  // at most one byte short of the limit
        const std::string decoded = Cp932ToUtf8(cp932.substr(0, cut));
        ASSERT_EQ(decoded.find("\xEF\xBF\xBD"), std::string::npos) << utf8 << " cut at " << limit;
        ASSERT_EQ(utf8.compare(0, decoded.size(), decoded), 0);
    }
}

// ---- String table and language ----------------------------------------------

TEST(StringTable, EveryIdHasBothLanguagesAndUnknownIdsAreEmpty)
{
    for (int id = IDS_OUTPUT_SIZE; id <= IDS_DISK_SPACE; ++id) {
        const std::string english = LoadString(id, Language::English());
        const std::string japanese = LoadString(id, Language::Japanese());
        EXPECT_FALSE(english.empty()) << id;
        EXPECT_NE(english, japanese) << id;
        EXPECT_TRUE(Utf8ToCp932(japanese).has_value()) << id;  // shown on Japanese systems
    }
    EXPECT_STREQ(LoadString(0, Language::English()), "");
    EXPECT_STREQ(LoadString(10, Language::Japanese()), "");
    EXPECT_STREQ(LoadString(IDS_NOT_WAV_EXTENSION, Language::English()), "Extension is not \".wav\"");
    EXPECT_STREQ(LoadString(IDS_CANNOT_SAVE_MLD, Language::Japanese()), "\".mld\"ファイルを保存できません");
    EXPECT_STREQ(LoadString(IDS_OUTPUT_SIZE, Language::Japanese()), "出力ファイルサイズ : ");
}

struct LocaleCase {
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    const char* language;
    Language expected;
};

class LanguageChoice : public testing::TestWithParam<LocaleCase> {
protected:
    void SetUp() override
    {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            m_saved.emplace_back(value ? std::optional<std::string>(value) : std::nullopt);
        }
    }
    void TearDown() override
    {
        for (std::size_t i = 0; i < std::size(kNames); ++i)
            Set(kNames[i], m_saved[i] ? m_saved[i]->c_str() : nullptr);
    }
    static void Set(const char* name, const char* value)
    {
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    static constexpr const char* kNames[] = {"LC_ALL", "LC_MESSAGES", "LANG", "LANGUAGE"};
    std::vector<std::optional<std::string>> m_saved;
};

TEST_P(LanguageChoice, FollowsTheCLibraryPriority)
{
    const LocaleCase& c = GetParam();
    Set("LC_ALL", c.lcAll);
    Set("LC_MESSAGES", c.lcMessages);
    Set("LANG", c.lang);
    Set("LANGUAGE", c.language);
    EXPECT_EQ(UserLanguage(), c.expected);
}

const Language En = Language::English();
const Language Ja = Language::Japanese();

INSTANTIATE_TEST_SUITE_P(
    Environments, LanguageChoice,
    testing::Values(LocaleCase{nullptr, nullptr, nullptr, nullptr, En},
                    LocaleCase{nullptr, nullptr, "ja_JP.UTF-8", nullptr, Ja},
                    LocaleCase{nullptr, nullptr, "ja_JP", nullptr, Ja}, LocaleCase{nullptr, nullptr, "ja", nullptr, Ja},
                    LocaleCase{nullptr, nullptr, "jam_JM.UTF-8", nullptr, En},
                    LocaleCase{nullptr, nullptr, "en_US.UTF-8", nullptr, En},
                    LocaleCase{"en_US.UTF-8", nullptr, "ja_JP.UTF-8", nullptr, En},  // LC_ALL wins
                    LocaleCase{"", "ja_JP.eucJP", "en_GB.UTF-8", nullptr, Ja},       // empty means unset
                    LocaleCase{nullptr, "C", "ja_JP.UTF-8", nullptr, En},
                    LocaleCase{nullptr, nullptr, "en_US.UTF-8", "ja:en", Ja},  // LANGUAGE's first entry
                    LocaleCase{nullptr, nullptr, "ja_JP.UTF-8", "en_US:ja", En},
                    LocaleCase{nullptr, nullptr, "C", "ja", En},  // ignored for C
                    LocaleCase{nullptr, nullptr, "POSIX", "ja", En},
                    LocaleCase{nullptr, nullptr, "ja_JP.UTF-8", "", Ja},
                    LocaleCase{nullptr, nullptr, "en_US.UTF-8", "de:ja", Ja},  // no German catalogue
                    LocaleCase{nullptr, nullptr, "pt_BR.UTF-8", nullptr, En}));

// ---- Catalogues -------------------------------------------------------------

// The made-up language of tests/qaa.po, compiled in `order` ("little", "big").
std::string TestCataloguePath(const std::string& order)
{
    return std::string(QUORBIN_TEST_LOCALEDIR) + "-" + order + "/qaa/LC_MESSAGES/quorbin.mo";
}

// Polish-like rule of qaa.po: one, few (2-4 but not 12-14), many.
constexpr const char* kThreeForms = "(n==1 ? 0 : n%10>=2 && n%10<=4 && (n%100<10 || n%100>=20) ? 1 : 2)";

struct PluralCase {
    const char* formula;
    unsigned long n;
    std::optional<unsigned long> form;
};

class PluralFormula : public testing::TestWithParam<PluralCase> {};

TEST_P(PluralFormula, EvaluatesAsCWould)
{
    EXPECT_EQ(EvaluatePluralFormula(GetParam().formula, GetParam().n), GetParam().form);
}

INSTANTIATE_TEST_SUITE_P(Formulas, PluralFormula,
                         testing::Values(PluralCase{"n != 1", 1, 0}, PluralCase{"n != 1", 0, 1}, PluralCase{"0", 7, 0},
                                         PluralCase{kThreeForms, 1, 0}, PluralCase{kThreeForms, 22, 1},
                                         PluralCase{kThreeForms, 12, 2}, PluralCase{kThreeForms, 104, 1},
                                         PluralCase{kThreeForms, 25, 2}, PluralCase{"n-1*2+3", 5, 6},
                                         PluralCase{"!n || n>=10", 0, 1}, PluralCase{"n%0", 5, 0},
                                         PluralCase{"n %", 1, std::nullopt}, PluralCase{"(n", 1, std::nullopt},
                                         PluralCase{"n ? 1", 1, std::nullopt}, PluralCase{"x", 1, std::nullopt},
                                         PluralCase{"", 1, std::nullopt}));

TEST(MessageCatalogue, ReadsEitherByteOrderAndRefusesEveryCutCopy)
{
    for (const std::string order : {"little", "big"}) {
        const auto catalogue = MessageCatalogue::Load(TestCataloguePath(order));
        ASSERT_TRUE(catalogue) << order;
        EXPECT_STREQ(catalogue->Find("no command given"), "nula komando");
        EXPECT_EQ(catalogue->Find("Invalid WAVE file"), nullptr);
        EXPECT_STREQ(catalogue->FindPlural("%1 channel", 1), "%1 kanal");
        EXPECT_STREQ(catalogue->FindPlural("%1 channel", 3), "%1 kanaly");
        EXPECT_STREQ(catalogue->FindPlural("%1 channel", 5), "%1 kanalow");
    }
    const std::string bytes = ReadFile(TestCataloguePath("little"));
    for (std::size_t size = 0; size < bytes.size(); ++size)
        ASSERT_FALSE(MessageCatalogue::FromBytes({bytes.begin(), bytes.begin() + size})) << size;
}

// A translator's new language needs its catalogue in a catalogue folder, no code.
TEST_F(LanguageChoice, ANewLanguageIsUsedOnceItsCatalogueIsThere)
{
    const char* chosen = std::getenv("QUORBIN_LOCALEDIR");
    const std::optional<std::string> saved = chosen ? std::optional<std::string>(chosen) : std::nullopt;
    ::setenv("QUORBIN_LOCALEDIR", (std::string(QUORBIN_TEST_LOCALEDIR) + "-little").c_str(), 1);
    Set("LC_ALL", "qaa_ZZ.UTF-8");
    const Language language = UserLanguage();
    Set("QUORBIN_LOCALEDIR", saved ? saved->c_str() : nullptr);

    EXPECT_EQ(language.Code(), "qaa");
    EXPECT_FALSE(language.IsJapanese());
    EXPECT_STREQ(Tr("no command given", language), "nula komando");
    EXPECT_STREQ(TrN("%1 channel", "%1 channels", 23, language), "%1 kanaly");
    EXPECT_STREQ(LoadString(IDS_INVALID_WAVE, language), "Invalid WAVE file");  // not translated yet
}

// ---- Free space and reading ---------------------------------------------------

TEST(FreeSpace, AvailableBytesOfTheFolderOrWhyNot)
{
    TempFolder folder;
    const Result<double> free = GetFreeDiskBytes(folder.Path());
    ASSERT_TRUE(free);
    const double bytes = *free;
    EXPECT_GT(bytes, 0.0);
    const auto info = fs::space(folder.Path());
    EXPECT_LE(bytes, static_cast<double>(info.free));
    EXPECT_NEAR(bytes, static_cast<double>(info.available), 64.0 * 1024 * 1024);  // other writers may be busy
    const FailureReason missing = GetFreeDiskBytes(folder / "missing/deeper").Reason();
    EXPECT_EQ(missing.kind, ReasonKind::SystemError);
    EXPECT_EQ(missing.error, ENOENT);
}

TEST(ReadWholeFile, ReadsRegularFilesAndRefusesEverythingElse)
{
    TempFolder folder;
    const std::string content("RIFF\0\x01\x02\xFF", 8);
    WriteFile(folder / "a.wav", content);
    const Result<ByteBuffer> bytes = ReadWholeFile(folder / "a.wav", 100);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(FromBuffer(*bytes), content);

    WriteFile(folder / "empty.wav", "");
    const Result<ByteBuffer> empty = ReadWholeFile(folder / "empty.wav", 100);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->Size(), 0u);

    fs::create_directory(folder / "dir.wav");
    ASSERT_EQ(::mkfifo((folder / "pipe.wav").c_str(), 0644), 0);
    const std::pair<const char*, FailureReason> refused[] = {
        {"missing.wav", FailureReason::System(ENOENT)},
        {"dir.wav", FailureReason::System(EISDIR)},
        {"pipe.wav", FailureReason::Of(ReasonKind::NotRegularFile)}};
    for (const auto& [name, reason] : refused) {
        const FailureReason why = ReadWholeFile(folder / name, 100).Reason();
        EXPECT_EQ(why.kind, reason.kind) << name;
        EXPECT_EQ(why.error, reason.error) << name;
    }
}

TEST(ReadWholeFile, RefusesATooLargeFileBeforeReadingIt)
{
    TempFolder folder;
    WriteFile(folder / "big.wav", std::string(101, 'x'));
    EXPECT_EQ(ReadWholeFile(folder / "big.wav", 100).Reason().kind, ReasonKind::TooLarge);
    EXPECT_TRUE(ReadWholeFile(folder / "big.wav", 101));
}

TEST(ReadWholeFile, UnreadableFileCannotBeOpened)
{
    TempFolder folder;
    WriteFile(folder / "secret.wav", "RIFF");
    fs::permissions(folder / "secret.wav", fs::perms::none);
    const int error = InChild([&] { return ReadWholeFile(folder / "secret.wav", 100).Reason().error; }, true);
    EXPECT_EQ(error, EACCES);
}

// ---- Atomic save --------------------------------------------------------------

TEST(SaveFileAtomically, NewFileGetsTheUsualPermissions)
{
    for (mode_t mask : {mode_t(022), mode_t(027), mode_t(077)}) {
        TempFolder folder;
        const mode_t old = ::umask(mask);
        const bool saved = !!SaveFileAtomically(folder / "out.mld", ToBuffer("melo"));
        ::umask(old);
        ASSERT_TRUE(saved);
        EXPECT_EQ(ReadFile(folder / "out.mld"), "melo");
        EXPECT_EQ(static_cast<mode_t>(fs::status(folder / "out.mld").permissions()), 0666 & ~mask);
        EXPECT_EQ(folder.Entries(), std::vector<std::string>{"out.mld"});
    }
}

TEST(SaveFileAtomically, ReplacesAnExistingFileKeepingItsPermissions)
{
    TempFolder folder;
    WriteFile(folder / "out.mld", std::string(5000, 'o'));
    fs::permissions(folder / "out.mld", fs::perms(0640));
    ASSERT_TRUE(SaveFileAtomically(folder / "out.mld", ToBuffer("new")));
    EXPECT_EQ(ReadFile(folder / "out.mld"), "new");
    EXPECT_EQ(static_cast<int>(fs::status(folder / "out.mld").permissions()), 0640);
    if (::geteuid() == 0) {  // the superuser replacing another user's file gives it back
        ASSERT_EQ(::chown((folder / "out.mld").c_str(), 65534, 65534), 0);
        ASSERT_TRUE(SaveFileAtomically(folder / "out.mld", ToBuffer("again")));
        struct stat st {};
        ASSERT_EQ(::stat((folder / "out.mld").c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 65534u);
    }
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"out.mld"});
}

TEST(SaveFileAtomically, ASymbolicLinkKeepsPointingAtTheNewContent)
{
    TempFolder folder;
    WriteFile(folder / "real.mld", "old");
    fs::create_symlink("real.mld", folder / "link.mld");
    ASSERT_TRUE(SaveFileAtomically(folder / "link.mld", ToBuffer("new")));
    EXPECT_TRUE(fs::is_symlink(folder / "link.mld"));
    EXPECT_EQ(ReadFile(folder / "real.mld"), "new");
}

TEST(SaveFileAtomically, LeavesReadOnlyFilesAndFoldersAlone)
{
    TempFolder folder;
    WriteFile(folder / "locked.mld", "keep me");
    fs::permissions(folder / "locked.mld", fs::perms(0444));
    EXPECT_FALSE(SaveFileAtomically(folder / "locked.mld", ToBuffer("new")));
    EXPECT_EQ(ReadFile(folder / "locked.mld"), "keep me");

    fs::create_directory(folder / "dir.mld");
    EXPECT_FALSE(SaveFileAtomically(folder / "dir.mld", ToBuffer("new")));
    EXPECT_TRUE(fs::is_directory(folder / "dir.mld"));

    EXPECT_FALSE(SaveFileAtomically(folder / "missing" / "x.mld", ToBuffer("new")));
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"dir.mld", "locked.mld"}));
}

TEST(SaveFileAtomically, FailsInAFolderWithoutWriteRights)
{
    TempFolder folder;
    fs::create_directory(folder / "shut");
    fs::permissions(folder / "shut", fs::perms(0555));
    const int status =
        InChild([&] { return SaveFileAtomically(folder / "shut" / "x.mld", ToBuffer("m")) ? 1 : 0; }, true);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(fs::is_empty(folder / "shut"));
}

TEST(SaveFileAtomically, AWriteFailingPartWayLeavesTheOldFileAndNoTemporary)
{
    TempFolder folder;
    WriteFile(folder / "out.mld", "old content");
    const std::string big(64 * 1024, 'n');
    const int status = InChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16 * 1024, 16 * 1024};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 98;
        return SaveFileAtomically(folder / "out.mld", ToBuffer(big)) ? 1 : 0;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFile(folder / "out.mld"), "old content");
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"out.mld"});
}

// The temporary name does not grow with the target's, so every name the file
// system allows saves; a new or replaced target alike.
class SaveNameLength : public testing::TestWithParam<std::size_t> {};

TEST_P(SaveNameLength, SavesAndLeavesOnlyTheTarget)
{
    TempFolder folder;
    const std::string name = std::string(GetParam() - 4, 'n') + ".mld";
    for (const char* content : {"first", "second"}) {
        ASSERT_TRUE(SaveFileAtomically(folder / name, ToBuffer(content))) << content;
        EXPECT_EQ(ReadFile(folder / name), content);
        EXPECT_EQ(folder.Entries(), std::vector<std::string>{name});
    }
}

INSTANTIATE_TEST_SUITE_P(Bytes, SaveNameLength, testing::Values(5, 246, 255));

// The file size limit kills the process at its first write past the limit: the
// unfinished file has no name yet, so nothing of it remains.
TEST(SaveFileAtomically, AProcessKilledWhileWritingLeavesNothingBehind)
{
    TempFolder folder;
    WriteFile(folder / "out.mld", "old content");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit noCore{0, 0}, small{4096, 4096};
        ::setrlimit(RLIMIT_CORE, &noCore);
        ::setrlimit(RLIMIT_FSIZE, &small);
        (void)SaveFileAtomically(folder / "out.mld", ToBuffer(std::string(64 * 1024, 'n')));
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << "the child was not killed while writing";
    EXPECT_EQ(ReadFile(folder / "out.mld"), "old content");
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"out.mld"});
}

// A save that is to keep an existing file fails whatever stands at the name,
// and writes nothing; a free name is saved.
struct KeepCase {
    const char* name;
    const char* existing;  // nullptr: nothing; "->x": a link to x; else a file with this content
    ReasonKind failure;
};

class KeepExisting : public testing::TestWithParam<KeepCase> {};

TEST_P(KeepExisting, OnlyAFreeNameIsWritten)
{
    const KeepCase& c = GetParam();
    TempFolder folder;
    WriteFile(folder / "other.mld", "other");
    const std::string existing = c.existing ? c.existing : "";
    if (existing.starts_with("->"))
        fs::create_symlink(existing.substr(2), folder / c.name);
    else if (c.existing)
        WriteFile(folder / c.name, existing);
    const auto before = folder.Entries();

    EXPECT_EQ(SaveFileAtomically(folder / c.name, ToBuffer("new"), Existing::Keep).Reason().kind, c.failure);
    if (c.failure == ReasonKind::None) {
        EXPECT_EQ(ReadFile(folder / c.name), "new");
    } else {
        EXPECT_EQ(folder.Entries(), before);
        EXPECT_EQ(ReadFile(folder / "other.mld"), "other");
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, KeepExisting,
                         testing::Values(KeepCase{"new.mld", nullptr, ReasonKind::None},
                                         KeepCase{"old.mld", "old", ReasonKind::Exists},
                                         KeepCase{"empty.mld", "", ReasonKind::Exists},
                                         KeepCase{"link.mld", "->other.mld", ReasonKind::Exists},
                                         KeepCase{"dangling.mld", "->gone.mld", ReasonKind::DanglingLink}),
                         [](const auto& info) { return fs::path(info.param.name).stem().string(); });

// Once the target is resolved, a link put where the file was is replaced
// itself: the file it points to is never written.
TEST(SaveTarget, ALinkPutInPlaceAfterResolvingIsReplacedNotFollowed)
{
    TempFolder folder;
    WriteFile(folder / "real.mld", "real");
    WriteFile(folder / "victim.wav", "victim");
    fs::create_symlink("real.mld", folder / "asked.mld");
    SaveTarget target;
    ASSERT_TRUE(SaveTarget::Resolve(folder / "asked.mld", target));
    EXPECT_EQ(target.Name(), "real.mld");
    EXPECT_EQ(target.FolderPath(), fs::canonical(folder.Path()));

    fs::remove(folder / "real.mld");
    fs::create_symlink("victim.wav", folder / "real.mld");
    EXPECT_NE(target.Identity(), IdentifyFile(folder / "victim.wav"));
    ASSERT_TRUE(SaveAtomically(std::move(target), ToBuffer("new")));
    EXPECT_FALSE(fs::is_symlink(folder / "real.mld"));
    EXPECT_EQ(ReadFile(folder / "real.mld"), "new");
    EXPECT_EQ(ReadFile(folder / "victim.wav"), "victim");
}

// Saves staged in one batch stay out of sight until the commit, which puts
// them all in place and reports each on its own; a batch that ends without
// a commit leaves nothing.
TEST(SaveBatch, PutsItsFilesInPlaceTogetherAndEachFailsAlone)
{
    TempFolder folder;
    WriteFile(folder / "b.mld", "old b");
    {
        SaveBatch abandoned;
        SaveTarget target;
        ASSERT_TRUE(SaveTarget::Resolve(folder / "a.mld", target));
        ASSERT_TRUE(abandoned.Stage(std::move(target), ToBuffer("never")));
    }
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"b.mld"});

    SaveBatch batch;
    for (const char* name : {"a.mld", "b.mld", "c.mld"}) {
        SaveTarget target;
        ASSERT_TRUE(SaveTarget::Resolve(folder / name, target));
        ASSERT_TRUE(batch.Stage(std::move(target), ToBuffer(std::string("new ") + name)));
    }
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"b.mld"});
    EXPECT_EQ(ReadFile(folder / "b.mld"), "old b");
    fs::create_directory(folder / "c.mld");  // in the way by the time of the commit

    const std::vector<Result<>> results = batch.Commit();
    ASSERT_EQ(results.size(), 3u);
    EXPECT_TRUE(results[0] && results[1]);
    EXPECT_EQ(results[2].Reason().kind, ReasonKind::SystemError);
    EXPECT_EQ(ReadFile(folder / "a.mld"), "new a.mld");
    EXPECT_EQ(ReadFile(folder / "b.mld"), "new b.mld");
    EXPECT_TRUE(fs::is_empty(folder / "c.mld"));
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"a.mld", "b.mld", "c.mld"}));
    EXPECT_EQ(batch.Size(), 0u);
}

// A save removes the temporary files that writers now gone left in its folder,
// and nothing else: not those of running writers, nor locked ones, nor other
// names, nor what is not a regular file.
struct LeftoverCase {
    const char* what;
    std::string name;  // "DEAD" and "LIVE" stand for a gone and a running process's id
    bool locked;
    bool folder;
    bool removed;
};

class StaleTemporaries : public testing::TestWithParam<LeftoverCase> {};

TEST_P(StaleTemporaries, OnlyThoseOfGoneWritersAreRemoved)
{
    const LeftoverCase& c = GetParam();
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
    std::string name = c.name;
    for (const auto& [word, pid] : {std::pair{"DEAD", gone}, std::pair{"LIVE", ::getppid()}}) {
        if (const auto at = name.find(word); at != std::string::npos)
            name.replace(at, 4, std::to_string(pid));
    }
    TempFolder folder;
    if (c.folder)
        fs::create_directory(folder / name);
    else
        WriteFile(folder / name, "left over");
    FileDescriptor lock(c.locked ? ::open((folder / name).c_str(), O_RDONLY | O_CLOEXEC) : -1);
    if (c.locked) {
        ASSERT_EQ(::flock(lock.Get(), LOCK_EX), 0);
    }

    ASSERT_TRUE(SaveFileAtomically(folder / "out.mld", ToBuffer("new")));
    EXPECT_EQ(fs::exists(fs::symlink_status(folder / name)), !c.removed) << name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, StaleTemporaries,
    testing::Values(LeftoverCase{"GoneWriter", ".quorbin-DEAD-abcdEFG1.tmp", false, false, true},
                    LeftoverCase{"Locked", ".quorbin-DEAD-abcdEFG1.tmp", true, false, false},
                    LeftoverCase{"RunningWriter", ".quorbin-LIVE-abcdEFG1.tmp", false, false, false},
                    LeftoverCase{"Folder", ".quorbin-DEAD-abcdEFG1.tmp", false, true, false},
                    LeftoverCase{"NoProcessId", ".quorbin-abcdEFG1.tmp", false, false, false},
                    LeftoverCase{"OtherEnding", ".quorbin-DEAD-abcdEFG1.tmp.mld", false, false, false},
                    LeftoverCase{"OtherName", "notes-DEAD.tmp", false, false, false}),
    [](const auto& info) { return std::string(info.param.what); });

// SIGINT, SIGTERM and SIGHUP during a save remove the registered temporary
// file, then end the process as the signal does.
class InterruptedSave : public testing::TestWithParam<int> {};

TEST_P(InterruptedSave, RemovesTheTemporaryFileThenEnds)
{
    TempFolder folder;
    const fs::path temporary = folder / ".quorbin-1-abcdefgh.tmp";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const InterruptCleanup cleanup;
        const FileDescriptor parent(::open(folder.Path().c_str(), O_RDONLY | O_DIRECTORY));
        WriteFile(temporary, "half");
        TemporaryRegistration registration;
        registration.Set(parent.Get(), temporary.filename().c_str());
        ::raise(GetParam());
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == GetParam()) << status;
    EXPECT_TRUE(folder.Entries().empty());
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedSave, testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });
