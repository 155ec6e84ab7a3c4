#include "decode/DecoderProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "decode/Confinement.h"
#include "decode/DecodeRequest.h"
#include "decode/DecoderChannel.h"
#include "decode/DecoderModule.h"
#include "platform/FileSource.h"

extern char** environ;

namespace quorbin::decode {
namespace {

// The decoder child and its module lie at a fixed place relative to the
// program: in the build tree as after installing, every program sits one
// folder below the top.
std::filesystem::path DecoderFolder()
{
    std::error_code ec;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (program.parent_path() / QUORBIN_DECODER_RELATIVE_DIR).lexically_normal();
}

// A descriptor of the pipe numbered 3 or above, so that the child's standard
// descriptors can be set up without covering it.
int AboveStandard(int fd)
{
    if (fd > STDERR_FILENO)
        return fd;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    ::close(fd);
    return moved;
}

bool ReadFully(int fd, void* data, std::size_t size)
{
    auto* bytes = static_cast<std::byte*>(data);
    while (size > 0) {
        const ssize_t got = ::read(fd, bytes, size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

bool OneOf(int call, std::initializer_list<long> calls)
{
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

// What the filter stopped the child doing, by the system call it tried.
FailureReason StoppedCallReason(int call)
{
    if (OneOf(call, {
                        SYS_openat,
                        SYS_openat2,
                        SYS_open_by_handle_at,
                        SYS_memfd_create,
#ifdef SYS_open
                        SYS_open,
                        SYS_creat,
#endif
                    }))
        return FailureReason::Of(ReasonKind::DecoderOpenedFile);
    if (OneOf(call, {SYS_socket, SYS_socketpair, SYS_connect, SYS_bind, SYS_listen, SYS_accept4, SYS_sendto,
                     SYS_sendmsg, SYS_recvfrom, SYS_recvmsg}))
        return FailureReason::Of(ReasonKind::DecoderUsedNetwork);
    if (OneOf(call, {
                        SYS_clone,
                        SYS_clone3,
                        SYS_execve,
                        SYS_execveat,
#ifdef SYS_fork
                        SYS_fork,
                        SYS_vfork,
#endif
                    }))
        return FailureReason::Of(ReasonKind::DecoderStartedProcess);
    FailureReason reason = FailureReason::Of(ReasonKind::DecoderForbiddenCall);
    reason.error = call;
    return reason;
}

FailureReason ProblemReason(DecodeProblem problem, std::string text)
{
    switch (problem) {
    case DecodeProblem::Refused: return FailureReason::Of(ReasonKind::NotAudioFile);
    case DecodeProblem::Unreadable: return FailureReason::Of(ReasonKind::Undecodable);
    case DecodeProblem::StreamTooLong: return FailureReason::Of(ReasonKind::StreamTooLongForFit);
    case DecodeProblem::OutOfMemory: return FailureReason::Of(ReasonKind::OutOfMemory);
    case DecodeProblem::ModuleMissing: {
        FailureReason reason = FailureReason::Of(ReasonKind::DecoderMissing);
        reason.file = std::move(text);
        return reason;
    }
    case DecodeProblem::BadRequest: break;  // a decoder of another version
    }
    return FailureReason::Of(ReasonKind::DecoderCrashed);
}

// Starts the program `arguments` names with `recording` as its standard input,
// `output` as its standard output, standard error only when `verbose` (else
// /dev/null), and no other descriptor. Returns 0 or the errno.
int Spawn(std::vector<std::string> arguments, int recording, int output, bool verbose, pid_t& pid)
{
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, recording, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    if (!verbose)
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    // The child starts with no blocked and no ignored signals, whatever the parent has.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigfillset(&signals);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const int error = ::posix_spawn(&pid, argv.front(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return error;
}

FailureReason SpawnFailure(int error, const std::string& helper)
{
    if (error == ENOMEM)
        return FailureReason::Of(ReasonKind::OutOfMemory);
    if (error != ENOENT)
        return FailureReason::System(error);
    FailureReason reason = FailureReason::Of(ReasonKind::DecoderMissing);
    reason.file = helper;
    return reason;
}

double ProcessorSeconds(const rusage& usage)
{
    const auto seconds = [](const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

bool DecodersInstalled()
{
    const std::filesystem::path folder = DecoderFolder();
    std::error_code ec;
    return std::filesystem::is_regular_file(folder / kHelperFileName, ec)
           && std::filesystem::is_regular_file(folder / kModuleFileName, ec);
}

DecoderProcess::DecoderProcess(int fd, const std::string& name, DecodeWork work, const PreparationOptions& options,
                               const DecodeSettings& settings)
    : m_limit(work == DecodeWork::Whole ? std::numeric_limits<std::size_t>::max() : options.edit.limit),
      m_processorSeconds(ProcessorSecondsFor(RegularFileSize(fd)))
{
    const std::filesystem::path folder = DecoderFolder();
    const std::string helper = folder / kHelperFileName;
    std::vector<std::string> arguments =
        DecodeRequestArguments({folder / kModuleFileName, name, options, settings.verbose, work});
    arguments.insert(arguments.begin(), helper);
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        Finish(FailureReason::System(errno));
        return;
    }
    m_pipe = AboveStandard(ends[0]);
    const int childEnd = AboveStandard(ends[1]);
    const int error = Spawn(arguments, fd, childEnd, settings.verbose, m_pid);
    ::close(childEnd);
    if (error != 0) {
        m_pid = -1;
        Finish(SpawnFailure(error, helper));
        return;
    }
    m_pidFd = static_cast<int>(::syscall(SYS_pidfd_open, m_pid, 0));
}

DecoderProcess::~DecoderProcess()
{
    if (!m_finished) {
        Cancel();
        int status = 0;
        double seconds = 0;
        Reap(status, seconds);
    }
    if (m_pidFd >= 0)
        ::close(m_pidFd);
    if (m_pipe >= 0)
        ::close(m_pipe);
}

void DecoderProcess::Cancel()
{
    m_cancelled = true;
    if (m_pidFd >= 0)
        ::syscall(SYS_pidfd_send_signal, m_pidFd, SIGKILL, nullptr, 0);
    else if (m_pid > 0)
        ::kill(m_pid, SIGKILL);
}

DecoderEvent DecoderProcess::Next()
{
    while (!m_finished) {
        RecordHeader header{};
        if (!ReadFully(m_pipe, &header, sizeof header))
            return Ended();
        if (header.length > kMaxRecordLength)
            return Finish(FailureReason::Of(ReasonKind::DecoderMisbehaved));
        std::vector<std::byte> payload(header.length);
        if (!ReadFully(m_pipe, payload.data(), payload.size()))
            return Ended();
        if (header.type == RecordType::Unconfined) {
            m_confined = false;
            continue;
        }
        if (header.type == RecordType::Stopped && payload.size() == sizeof(StoppedRecord)) {
            m_stoppedCall = reinterpret_cast<const StoppedRecord*>(payload.data())->call;
            continue;
        }
        return Read(payload, static_cast<std::uint32_t>(header.type));
    }
    return Finish(m_failure);
}

// One record that carries news; anything malformed ends the child.
DecoderEvent DecoderProcess::Read(const std::vector<std::byte>& payload, std::uint32_t type)
{
    const auto fixed = [&payload](auto& record) {
        if (payload.size() < sizeof record)
            return false;
        std::memcpy(&record, payload.data(), sizeof record);
        return true;
    };
    DecoderEvent event;
    switch (static_cast<RecordType>(type)) {
    case RecordType::Source: {
        SourceRecord source{};
        if (!fixed(source) || payload.size() != sizeof source)
            break;
        event.kind = DecoderEvent::Kind::Source;
        event.rate = source.rate;
        event.channels = source.channels;
        return event;
    }
    case RecordType::Samples: {
        SamplesRecord block{};
        if (!fixed(block))
            break;
        const std::size_t bytes = payload.size() - sizeof block;
        if (bytes % 2 != 0 || m_received + bytes / 2 > m_limit)
            break;
        m_received += bytes / 2;
        event.kind = DecoderEvent::Kind::Samples;
        event.rate = block.rate;
        event.samples.resize(bytes / 2);
        std::memcpy(event.samples.data(), payload.data() + sizeof block, bytes);
        return event;
    }
    case RecordType::Done: {
        DoneRecord done{};
        if (!fixed(done))
            break;
        event.kind = DecoderEvent::Kind::Done;
        event.rate = done.rate;
        event.selectedSamples = done.selectedSamples;
        event.selectionKnown = done.selectionKnown != 0;
        if (done.recordingSamples != kUnknownLength)
            event.recordingSamples = done.recordingSamples;
        Finish({});  // nothing more is read: the child is stopped if it lingers
        return event;
    }
    case RecordType::Failed: {
        FailedRecord failed{};
        if (!fixed(failed))
            break;
        const auto* text = reinterpret_cast<const char*>(payload.data() + sizeof failed);
        return Finish(ProblemReason(failed.problem, std::string(text, payload.size() - sizeof failed)));
    }
    default: break;
    }
    return Finish(FailureReason::Of(ReasonKind::DecoderMisbehaved));
}

DecoderEvent DecoderProcess::Ended()
{
    int status = 0;
    double seconds = 0;
    Reap(status, seconds);
    m_finished = true;
    if (m_stoppedCall >= 0)
        return Finish(StoppedCallReason(m_stoppedCall));
    const bool timeLimit =
        WIFSIGNALED(status) && (WTERMSIG(status) == SIGXCPU || seconds >= static_cast<double>(m_processorSeconds));
    if (timeLimit && !m_cancelled)
        return Finish(FailureReason::Of(ReasonKind::DecoderTimeLimit));
    return Finish(FailureReason::Of(ReasonKind::DecoderCrashed));
}

// Ends the reading: the child is stopped and waited for.
DecoderEvent DecoderProcess::Finish(FailureReason reason)
{
    if (!m_finished && m_pid > 0) {
        Cancel();
        int status = 0;
        double seconds = 0;
        Reap(status, seconds);
    }
    m_finished = true;
    m_failure = reason;
    DecoderEvent event;
    event.reason = std::move(reason);
    return event;
}

// Waits for the child. One that closed its pipe but lingers is given a
// moment to end, then stopped.
void DecoderProcess::Reap(int& status, double& processorSeconds)
{
    if (m_pid <= 0)
        return;
    pollfd ended{m_pidFd, POLLIN, 0};
    if (m_pidFd >= 0 && ::poll(&ended, 1, 2000) == 0)
        Cancel();
    rusage usage{};
    while (::wait4(m_pid, &status, 0, &usage) < 0 && errno == EINTR) {}
    processorSeconds = ProcessorSeconds(usage);
    m_pid = -1;
}

Result<PreparedRecording> DecodeRecording(int fd, const std::string& name, const PreparationOptions& options,
                                          const DecodeSettings& settings, bool& confined)
{
    DecoderProcess child(fd, name, DecodeWork::Prepare, options, settings);
    PreparedRecording out;
    for (;;) {
        DecoderEvent event = child.Next();
        confined = child.Confined();
        switch (event.kind) {
        case DecoderEvent::Kind::Source:
            out.sourceRate = event.rate;
            out.sourceChannels = event.channels;
            break;
        case DecoderEvent::Kind::Samples:
            out.samples.insert(out.samples.end(), event.samples.begin(), event.samples.end());
            break;
        case DecoderEvent::Kind::Done:
            out.sampleRate = event.rate;
            out.selectedSamples = event.selectedSamples;
            out.selectionKnown = event.selectionKnown;
            out.recordingSamples = event.recordingSamples;
            return out;
        case DecoderEvent::Kind::Failed: return event.reason;
        }
    }
}

Result<> DecodeWholeRecording(int fd, const std::string& name, int rate, const DecodeSettings& settings,
                              const SampleBlockSink& sink, bool& confined)
{
    PreparationOptions options;
    options.targetRate = rate;
    DecoderProcess child(fd, name, DecodeWork::Whole, options, settings);
    for (;;) {
        const DecoderEvent event = child.Next();
        confined = child.Confined();
        switch (event.kind) {
        case DecoderEvent::Kind::Source: break;
        case DecoderEvent::Kind::Samples:
            if (!sink(event.samples))
                return {};  // the child is stopped as it goes
            break;
        case DecoderEvent::Kind::Done: return {};
        case DecoderEvent::Kind::Failed: return event.reason;
        }
    }
}

}  // namespace quorbin::decode
