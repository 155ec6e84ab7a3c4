#include "decode/Confinement.h"

#include <linux/futex.h>
#include <seccomp.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string_view>

#include "decode/DecoderChannel.h"

namespace quorbin::decode {
namespace {

int g_output = -1;  // where the handler of a stopped call reports it

// libsndfile, handed a file it does not recognise, looks for a Mac resource
// fork beside it ("/..namedfork/rsrc", "._NAME", ".AppleDouble/NAME"; with no
// name of its own, these very names). Those opens are answered "no such file"
// instead of ending the decoder.
bool IsResourceForkProbe(const char* path)
{
    if (!path)
        return false;
    const std::string_view name(path);
    return name == "/..namedfork/rsrc" || name == "._" || name == ".AppleDouble/";
}

// The refused call's number, its second argument (a path for openat), and where its result goes.
struct RefusedCall {
    long number;
    const char* path;  // openat's second argument
    greg_t* result;
};

std::optional<RefusedCall> CallOf(const siginfo_t& info, ucontext_t& context)
{
#if defined(__x86_64__)
    greg_t* registers = context.uc_mcontext.gregs;
    return RefusedCall{info.si_syscall, reinterpret_cast<const char*>(registers[REG_RSI]), &registers[REG_RAX]};
#else
    return std::nullopt;
#endif
}

// Runs instead of the refused call: answers a resource-fork probe, or says
// which call it was and ends the process.
void OnForbiddenCall(int, siginfo_t* info, void* context)
{
    const auto call = CallOf(*info, *static_cast<ucontext_t*>(context));
    if (call && call->number == SYS_openat && IsResourceForkProbe(call->path)) {
        *call->result = -ENOENT;
        return;
    }
    const StoppedRecord stopped{info->si_syscall};
    WriteRecord(g_output, RecordType::Stopped, &stopped, sizeof stopped);
    ::_exit(1);
}

void Lower(int resource, rlim_t soft, rlim_t hard)
{
    rlimit limit{};
    ::getrlimit(resource, &limit);
    limit.rlim_cur = std::min(limit.rlim_cur, soft);
    limit.rlim_max = std::min(limit.rlim_max, hard);
    limit.rlim_cur = std::min(limit.rlim_cur, limit.rlim_max);
    ::setrlimit(resource, &limit);
}

// The sanitizers of a test build check whether memory can be read by
// writing it into a pipe of their own.
template <typename Allow>
bool AddSanitizerRules([[maybe_unused]] const Allow& allow)
{
#if defined(__SANITIZE_ADDRESS__)
    return allow(SCMP_SYS(pipe2)) && allow(SCMP_SYS(write)) && allow(SCMP_SYS(close));
#else
    return true;
#endif
}

// The calls decoding needs. Reading is allowed on the recording only, writing
// on the records and the messages only; memory may never become executable.
bool AddRules(scmp_filter_ctx filter, int recording, int output)
{
    const auto allow = [filter](int call, auto... conditions) {
        return seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, sizeof...(conditions), conditions...) == 0;
    };
    const auto notExecutable = SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0);
    const auto self = static_cast<scmp_datum_t>(::getpid());
    return allow(SCMP_SYS(read), SCMP_A0(SCMP_CMP_EQ, static_cast<scmp_datum_t>(recording)))
           && allow(SCMP_SYS(pread64), SCMP_A0(SCMP_CMP_EQ, static_cast<scmp_datum_t>(recording)))
           && allow(SCMP_SYS(write), SCMP_A0(SCMP_CMP_EQ, static_cast<scmp_datum_t>(output)))
           && allow(SCMP_SYS(write), SCMP_A0(SCMP_CMP_EQ, STDERR_FILENO))
           // FFmpeg's messages ask whether standard error is a terminal, for colours.
           && allow(SCMP_SYS(ioctl), SCMP_A0(SCMP_CMP_EQ, STDERR_FILENO), SCMP_A1(SCMP_CMP_EQ, TCGETS))
           && allow(SCMP_SYS(brk)) && allow(SCMP_SYS(mmap), notExecutable) && allow(SCMP_SYS(mprotect), notExecutable)
           && allow(SCMP_SYS(munmap)) && allow(SCMP_SYS(mremap)) && allow(SCMP_SYS(madvise))
           && allow(SCMP_SYS(clock_gettime))
           && allow(SCMP_SYS(gettimeofday))
           // pthread_once wakes its waiters, of which there are none; waiting is refused.
           && allow(SCMP_SYS(futex), SCMP_A1(SCMP_CMP_EQ, FUTEX_WAKE | FUTEX_PRIVATE_FLAG))
           // abort() raises SIGABRT on itself: a crash is told as a crash.
           && allow(SCMP_SYS(rt_sigprocmask)) && allow(SCMP_SYS(getpid)) && allow(SCMP_SYS(gettid))
           && allow(SCMP_SYS(tgkill), SCMP_A0(SCMP_CMP_EQ, self)) && allow(SCMP_SYS(rt_sigreturn))
           && allow(SCMP_SYS(exit)) && allow(SCMP_SYS(exit_group)) && AddSanitizerRules(allow);
}

}  // namespace

void LimitResources(unsigned processorSeconds)
{
#if !defined(__SANITIZE_ADDRESS__)  // AddressSanitizer reserves terabytes of address space
    Lower(RLIMIT_AS, kMemoryLimitBytes, kMemoryLimitBytes);
#endif
    Lower(RLIMIT_CPU, processorSeconds, processorSeconds + 1);
    Lower(RLIMIT_CORE, 0, 0);
}

void CloseDoors()
{
#if !defined(__SANITIZE_ADDRESS__)  // the sanitizers' pipe needs descriptors of its own
    Lower(RLIMIT_NOFILE, 3, 3);
#endif
    Lower(RLIMIT_NPROC, 0, 0);
}

bool InstallSystemCallFilter(int recording, int output)
{
    g_output = output;
    struct sigaction action {};
    action.sa_sigaction = OnForbiddenCall;
    action.sa_flags = SA_SIGINFO;
    if (::sigaction(SIGSYS, &action, nullptr) != 0)
        return false;
    const scmp_filter_ctx filter = seccomp_init(SCMP_ACT_TRAP);
    if (!filter)
        return false;
    const bool loaded = AddRules(filter, recording, output) && seccomp_load(filter) == 0;
    seccomp_release(filter);
    return loaded;
}

}  // namespace quorbin::decode
