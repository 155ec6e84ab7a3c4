// Recordings are decoded in a confined child: a recording that names other
// files, devices or addresses is refused and nothing else is opened; a
// decoder that misbehaves is stopped with its reason while quorbin-cli goes
// on; the decoding libraries speak only when asked.
#include <gtest/gtest.h>
#include <seccomp.h>
#include <sndfile.h>
#include <sys/prctl.h>
#include <sys/stat.h>

#include <atomic>
#include <csignal>
#include <fstream>
#include <thread>
#include <sstream>

#include "CliRunner.h"
#include "ConversionTestSupport.h"

namespace {

using namespace quorbin::testing_support;
namespace fs = std::filesystem;

const std::map<std::string, std::string> kEnglish = {{"LANG", "C.UTF-8"}};
const char* const kStrace = "/usr/bin/strace";

// strace needs to be installed and allowed to trace.
bool StraceWorks()
{
    static const bool works = [] {
        TempFolder folder;
        return fs::exists(kStrace)
               && RunCli(folder, {"-f", "-o", "/dev/null", "/bin/true"}, {}, {}, kStrace).status == 0;
    }();
    return works;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// ---- Hostile recordings ------------------------------------------------------------

struct HostileCase {
    const char* name;
    const char* file;
    std::string content;
};

void PrintTo(const HostileCase& c, std::ostream* out)
{
    *out << c.name;
}

// Beside each recording lie what it points to: a readable recording, a FIFO,
// a symbolic link and the first picture of a numbered sequence.
class HostileRecording : public testing::TestWithParam<HostileCase> {
protected:
    void SetUp() override
    {
        WriteFile(m_folder / "secret.wav", MakeWave(8000));
        WriteFile(m_folder / "frame001.png", MakeWave(8000));
        ASSERT_EQ(::mkfifo((m_folder / "fifo.wav").c_str(), 0600), 0);
        fs::create_symlink(m_folder / "secret.wav", m_folder / "link.wav");
    }
    TempFolder m_folder;
};

// Each is refused at once with message 4; traced, no process of the run opens
// any file of the folder but the recording, nor makes a socket.
TEST_P(HostileRecording, IsRefusedAndNothingElseIsOpened)
{
    const HostileCase& c = GetParam();
    WriteFile(m_folder / c.file, c.content);
    const std::string log = (m_folder.Path().parent_path() / (m_folder.Path().filename().string() + ".trace"));
    std::vector<std::string> args = {"convert", "--resample", c.file};
    const bool traced = StraceWorks();
    if (traced)
        args.insert(args.begin(), {"-f", "-e", "trace=%file,%network", "-o", log, QUORBIN_CLI_PATH});
    // LeakSanitizer (of a test build) cannot run in a traced process.
    std::map<std::string, std::string> env = kEnglish;
    env["ASAN_OPTIONS"] = "detect_leaks=0";
    const CliResult r = RunCli(m_folder, args, env, {}, traced ? kStrace : QUORBIN_CLI_PATH);
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.err, std::string(c.file) + ": Invalid WAVE file: not an audio file Quorbin reads\n");
    EXPECT_TRUE(MelodyFiles(m_folder).empty());
    if (!traced)
        return;
    const std::string recording = (m_folder / c.file).string();
    for (const std::string& line : Lines(ReadFile(log))) {
        for (const char* call : {"socket(", "connect(", "bind(", "sendto("})
            EXPECT_EQ(line.find(call), std::string::npos) << line;
        const std::size_t named = line.find(m_folder.Path().string());
        if (named != std::string::npos && line.find("getcwd(") == std::string::npos) {
            EXPECT_EQ(line.substr(named, recording.size() + 1), recording + "\"") << line;
        }
    }
    fs::remove(log);
}

const std::string kConcat = "ffconcat version 1.0\nfile '";

INSTANTIATE_TEST_SUITE_P(
    Files, HostileRecording,
    testing::Values(HostileCase{"Sdp", "ring.m4a",
                                "v=0\r\no=- 0 0 IN IP4 127.0.0.1\r\ns=ring\r\nc=IN IP4 0.0.0.0\r\nt=0 0\r\n"
                                "m=audio 5004 RTP/AVP 0\r\n"},
                    HostileCase{"ConcatReadableFile", "song.m4a", kConcat + "secret.wav'\n"},
                    HostileCase{"ConcatFifo", "song.m4a", kConcat + "fifo.wav'\n"},
                    HostileCase{"ConcatSymbolicLink", "song.m4a", kConcat + "link.wav'\n"},
                    HostileCase{"HlsFileAndHttp", "list.m4a",
                                "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\nfile:secret.wav\n#EXTINF:1,\n"
                                "http://127.0.0.1:9/ring.wav\n#EXT-X-ENDLIST\n"},
                    HostileCase{"ImageSequence", "frame%03d.png", "\x89PNG\r\n\x1a\n"},
                    HostileCase{"Subfile", "song.m4a", kConcat + "subfile,,start,0,end,0,,:secret.wav'\n"},
                    HostileCase{"DataUrl", "song.m4a", kConcat + "data:audio/wav;base64,UklGRg=='\n"}),
    [](const auto& info) { return info.param.name; });

// ---- Decoders that misbehave ---------------------------------------------------------

struct MisbehaviourCase {
    const char* act;  // what the test module tries
    const char* reason;
};

class MisbehavingDecoder : public testing::TestWithParam<MisbehaviourCase> {};

// A copy of quorbin-cli runs with the test module in place of the decoders: the
// child is stopped, the run ends with message 4 and its reason, nothing is written.
TEST_P(MisbehavingDecoder, IsStoppedWithItsReason)
{
    TempFolder folder;
    const std::string cli =
        InstallCopy(folder / "tree", QUORBIN_DECODER_FOLDER, QUORBIN_DECODER_PATH, QUORBIN_TEST_DECODERS_PATH);
    WriteFile(folder / "ring.m4a", GetParam().act);
    // AddressSanitizer (of a test build) would catch the crash itself.
    const std::map<std::string, std::string> env = {{"LANG", "C.UTF-8"}, {"ASAN_OPTIONS", "handle_segv=0"}};
    const CliResult r = RunCli(folder, {"convert", "--resample", "ring.m4a"}, env, {}, cli);
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.err, std::string("ring.m4a: Invalid WAVE file: the decoder stopped: ") + GetParam().reason + "\n");
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(MelodyFiles(folder).empty());
}

INSTANTIATE_TEST_SUITE_P(Acts, MisbehavingDecoder,
                         testing::Values(MisbehaviourCase{"open", "it tried to open a file"},
                                         MisbehaviourCase{"socket", "it tried to use the network"},
                                         MisbehaviourCase{"fork", "it tried to start a process"},
                                         MisbehaviourCase{"exec", "it tried to start a process"},
                                         MisbehaviourCase{"crash", "it crashed"},
                                         MisbehaviourCase{"spin", "it used more processor time than allowed"},
                                         MisbehaviourCase{"flood", "it sent more than was asked for"}),
                         [](const auto& info) { return std::string(info.param.act); });

// ---- What the libraries say ------------------------------------------------------------

// An MP3 whose frames are damaged all through: it still converts, silently
// unless --verbose asks for the MP3 library's complaints.
TEST(DecoderMessages, AreDroppedUnlessVerbose)
{
    TempFolder folder;
    const fs::path mp3 = folder / "damaged.mp3";
    SF_INFO info{0, 8000, 1, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 0, 0};
    SNDFILE* file = sf_open(mp3.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    std::vector<short> tone(3 * 8000);
    for (std::size_t i = 0; i < tone.size(); ++i)
        tone[i] = static_cast<short>(8000 * std::sin(i * 0.3));
    sf_writef_short(file, tone.data(), static_cast<sf_count_t>(tone.size()));
    sf_close(file);
    std::string bytes = ReadFile(mp3);
    for (std::size_t i = 1000; i < bytes.size(); i += 97)
        bytes[i] = static_cast<char>(bytes[i] * 7 + 13);
    WriteFile(mp3, bytes);

    const CliResult quiet = RunCli(folder, {"convert", "-q", "--resample", "damaged.mp3"}, kEnglish);
    EXPECT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(quiet.err, "");
    EXPECT_EQ(quiet.out, "");
    const CliResult verbose = RunCli(folder, {"convert", "-q", "--verbose", "--resample", "damaged.mp3"}, kEnglish);
    EXPECT_EQ(verbose.status, 0) << verbose.err;
    EXPECT_NE(verbose.err, "");
}

// ---- A kernel that refuses the filter -----------------------------------------------------

// Run under a filter of the test's own that makes every further filter fail:
// the recordings are still decoded, in the child with its limits, and one
// warning says so for the whole run.
TEST(RefusedFilter, DecodingGoesOnWithOneWarning)
{
    TempFolder folder;
    WriteFile(folder / "a.wav", MakeWave(8000, {.rate = 22050}));
    WriteFile(folder / "b.wav", MakeWave(8000, {.rate = 22050}));
    const int status = InChild([&] {
        const scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ALLOW);
        if (!filter || seccomp_rule_add(filter, SCMP_ACT_ERRNO(EINVAL), SCMP_SYS(seccomp), 0) != 0
            || seccomp_rule_add(filter, SCMP_ACT_ERRNO(EINVAL), SCMP_SYS(prctl), 1,
                                SCMP_A0(SCMP_CMP_EQ, PR_SET_SECCOMP))
                   != 0
            || seccomp_load(filter) != 0)
            return 100;
        const CliResult r = RunCli(folder, {"convert", "-q", "--resample", "a.wav", "b.wav"}, kEnglish);
        std::ofstream(folder / "err.txt") << r.err;
        return r.status;
    });
    ASSERT_EQ(status, 0) << ReadFile(folder / "err.txt");
    EXPECT_EQ(ReadFile(folder / "err.txt"),
              "quorbin-cli: warning: the kernel refused the decoder's system call filter; recordings are decoded in a "
              "child process with limits, without the filter\n");
    EXPECT_EQ(MelodyFiles(folder), (std::vector<std::string>{"a.mld", "b.mld"}));
}

// ---- Standard input ------------------------------------------------------------------------

constexpr std::uint64_t kStreamBytes = 300u << 20;
constexpr long kMemoryBoundKiB = 64 << 10;
// What can reach a melody file, and the pipe's own buffer.
constexpr std::uint64_t kSmall = 4u << 20;

// A WAVE recording of 8000 Hz mono stating 300 MB of samples (a tone, or
// silence), written into a pipe until the reader stops taking it.
class WaveStream {
public:
    explicit WaveStream(bool silent)
    {
        int ends[2];
        EXPECT_EQ(::pipe2(ends, O_CLOEXEC), 0);  // else the program would hold the writing end too
        m_read = ends[0];
        m_writer = std::thread([this, silent, write = ends[1]] {
            std::string next = Header(kStreamBytes);
            const std::string block = Block(silent);
            while (m_written < kStreamBytes && Write(write, next))
                next = block.substr(0, std::min<std::uint64_t>(block.size(), kStreamBytes - m_written));
            ::close(write);
        });
    }
    // The header of a recording of `bytes` in all, and one second of its samples.
    static std::string Header(std::uint64_t bytes) { return MakeWave(0).substr(0, 40) + Le32(bytes - 44); }
    static std::string Block(bool silent) { return silent ? std::string(16000, '\0') : MakeWave(8000).substr(44); }
    ~WaveStream()
    {
        ::close(m_read);
        m_writer.join();
    }
    int ReadEnd() const { return m_read; }
    // Closes the reading end here, so that the writer stops once the program has, and waits for it.
    std::uint64_t Written()
    {
        ::close(m_read);
        m_read = -1;
        m_writer.join();
        m_writer = std::thread([] {});
        return m_written;
    }

private:
    bool Write(int fd, const std::string& bytes)
    {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        m_written += written > 0 ? static_cast<std::uint64_t>(written) : 0;
        return written == static_cast<ssize_t>(bytes.size());
    }

    int m_read = -1;
    std::atomic<std::uint64_t> m_written = 0;
    std::thread m_writer;
};

struct StreamCase {
    const char* name;
    std::vector<std::string> args;
    bool silent;
    int status;
    std::uint64_t readAtMost;  // of the stream, in bytes
};

class StandardInput : public testing::TestWithParam<StreamCase> {};

// A 300 MB stream on standard input costs less than 64 MiB however far it is
// read; a conversion reads no more of it than can reach the melody file, and
// makes the melody file the same recording as a file makes.
TEST_P(StandardInput, StaysWithinBoundedMemory)
{
    std::signal(SIGPIPE, SIG_IGN);
    const StreamCase& c = GetParam();
    TempFolder folder;
    WaveStream stream(c.silent);
    Redirection io;
    io.inputFd = stream.ReadEnd();
    const CliResult r = RunCli(folder, c.args, kEnglish, io);
    EXPECT_EQ(r.status, c.status) << r.err;
#if !defined(__SANITIZE_ADDRESS__)  // its shadow memory counts as resident
    EXPECT_LT(r.peakKiB, kMemoryBoundKiB);
#endif
    const std::uint64_t written = stream.Written();
    EXPECT_LE(written, c.readAtMost);
    if (c.args.front() != "convert" || c.status != 0)
        return;
    // Longer than any of the conversions can use.
    std::string minute = WaveStream::Header(44 + 60 * 16000);
    for (int second = 0; second < 60; ++second)
        minute += WaveStream::Block(c.silent);
    WriteFile(folder / "minute.wav", minute);
    std::vector<std::string> fromFile = c.args;
    std::replace(fromFile.begin(), fromFile.end(), std::string("-"), std::string("minute.wav"));
    std::replace(fromFile.begin(), fromFile.end(), std::string("piped.mld"), std::string("file.mld"));
    ASSERT_EQ(RunCli(folder, fromFile, kEnglish).status, 0);
    EXPECT_TRUE(ReadFile(folder / "piped.mld") == ReadFile(folder / "file.mld"));
}

const std::vector<std::string> kConvert = {"convert", "-q", "--title", "t", "--date", "20240101", "-o", "piped.mld"};

std::vector<std::string> Convert(std::vector<std::string> options)
{
    std::vector<std::string> args = kConvert;
    args.insert(args.end(), options.begin(), options.end());
    args.push_back("-");
    return args;
}

INSTANTIATE_TEST_SUITE_P(Streams, StandardInput,
                         testing::Values(StreamCase{"Wave", Convert({}), false, 0, kSmall},
                                         StreamCase{"Resampled", Convert({"--rate", "4000"}), false, 0, kSmall},
                                         StreamCase{"Fit", Convert({"--start", "5", "--fit"}), false, 0, kSmall},
                                         // All of it is silence, which a trim has to look through to the end.
                                         StreamCase{"TrimmedSilence", Convert({"--resample", "--trim-silence"}), true,
                                                    8, kStreamBytes},
                                         // Far more than a melody file, and no more.
                                         StreamCase{"MelodyFile", {"info", "-"}, true, 65, 20u << 20}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- WAVE written to a pipe -------------------------------------------------------------

// Three seconds of a tone as a WAVE file, written to standard output ("-") or a file.
const std::string kFfmpeg = "ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=f=440:d=3 -ac 1 -ar 8000 -f wav ";
const std::string kSox = "sox -V1 -R -n -r 8000 -c 1 -b 16 ";
const std::string kSoxTone = " synth 3 sine 440";
// A header that says 0 for every size, then the samples.
const std::string kZeroSizes =
    R"(printf 'RIFF\000\000\000\000WAVEfmt \020\000\000\000\001\000\001\000\100\037\000\000\200\076\000\000)"
    R"(\002\000\020\000data\000\000\000\000'; )"
    + kSox + "-e signed -t raw -" + kSoxTone;

struct PipeCase {
    const char* name;
    std::string writer;  // a shell command writing the recording to standard output
    std::string file;    // one writing it to the file OUT, with its sizes
    std::vector<std::string> options;
};

class PipedWave : public testing::TestWithParam<PipeCase> {};

// A writer that cannot go back states placeholder sizes; the recording then
// runs to the end of the stream, and converts as the same audio in a file.
TEST_P(PipedWave, ConvertsAsTheSameRecordingInAFile)
{
    const PipeCase& c = GetParam();
    TempFolder folder;
    std::string file = c.file;
    file.replace(file.find("OUT"), 3, "'" + (folder / "file.wav").string() + "'");
    ASSERT_EQ(std::system(file.c_str()), 0) << file;
    FILE* writer = ::popen(c.writer.c_str(), "r");
    ASSERT_NE(writer, nullptr);
    Redirection io;
    io.inputFd = ::fileno(writer);
    const CliResult piped = RunCli(folder, Convert(c.options), kEnglish, io);
    ::pclose(writer);
    ASSERT_EQ(piped.status, 0) << piped.err;
    std::vector<std::string> fromFile = Convert(c.options);
    fromFile.back() = "file.wav";
    std::replace(fromFile.begin(), fromFile.end(), std::string("piped.mld"), std::string("file.mld"));
    ASSERT_EQ(RunCli(folder, fromFile, kEnglish).status, 0);
    EXPECT_TRUE(ReadFile(folder / "piped.mld") == ReadFile(folder / "file.mld"));
}

INSTANTIATE_TEST_SUITE_P(Writers, PipedWave,
                         testing::Values(PipeCase{"Ffmpeg", kFfmpeg + "-", kFfmpeg + "OUT", {}},
                                         PipeCase{"Sox", kSox + "-t wav -" + kSoxTone, kSox + "OUT" + kSoxTone, {}},
                                         PipeCase{"ZeroSizes", kZeroSizes, kSox + "OUT" + kSoxTone, {}},
                                         PipeCase{"SoxSelection",
                                                  kSox + "-t wav -" + kSoxTone,
                                                  kSox + "OUT" + kSoxTone,
                                                  {"--start", "1", "--length", "1.5"}},
                                         PipeCase{
                                             "FfmpegResampled", kFfmpeg + "-", kFfmpeg + "OUT", {"--rate", "4000"}}),
                         [](const auto& info) { return std::string(info.param.name); });

// A regular file is read as it states, placeholder or not: a "data" chunk
// running past the end of the file is broken.
TEST(PlaceholderSizes, InARegularFileStillMakeItInvalid)
{
    TempFolder folder;
    std::string wave = MakeWave(8000);
    wave.replace(40, 4, Le32(0xFFFFFFFF));
    WriteFile(folder / "file.wav", wave);
    const CliResult r = RunCli(folder, {"convert", "file.wav"}, kEnglish);
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.err, "file.wav: Invalid WAVE file\n");
}

}  // namespace
