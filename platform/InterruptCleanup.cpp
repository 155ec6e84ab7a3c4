#include "platform/InterruptCleanup.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

namespace quorbin {
namespace {

constexpr int kSlots = 512;
constexpr std::size_t kLongestName = 64;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Read by the signal handlers, so nothing here may allocate or lock.
struct Slot {
    std::atomic<bool> taken{false};
    std::atomic<int> folder{-1};  // -1: the name is not valid
    pid_t owner = 0;              // a child made by fork() leaves its parent's files alone
    char name[kLongestName] = {};
};

Slot g_slots[kSlots];
struct sigaction g_previous[std::size(kSignals)];
std::mutex g_installLock;
int g_users = 0;

int SignalIndex(int signal)
{
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        if (kSignals[i] == signal)
            return static_cast<int>(i);
    }
    return 0;
}

void RemoveTemporariesThenPassOn(int signal);

struct sigaction OwnAction()
{
    struct sigaction action {};
    action.sa_handler = RemoveTemporariesThenPassOn;
    sigemptyset(&action.sa_mask);
    for (const int blocked : kSignals)
        sigaddset(&action.sa_mask, blocked);
    action.sa_flags = SA_RESTART;
    return action;
}

void RemoveTemporariesThenPassOn(int signal)
{
    const int savedErrno = errno;
    for (Slot& slot : g_slots) {
        const int folder = slot.folder.load(std::memory_order_acquire);
        if (folder >= 0 && slot.owner == ::getpid())
            ::unlinkat(folder, slot.name, 0);
    }
    // The signal then does what it did before, at once: by default it ends the process.
    const int index = SignalIndex(signal);
    ::sigaction(signal, &g_previous[index], nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    ::raise(signal);
    ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
    // Still here: the earlier action ignored or handled it.
    const struct sigaction own = OwnAction();
    ::sigaction(signal, &own, nullptr);
    errno = savedErrno;
}

}  // namespace

InterruptCleanup::InterruptCleanup()
{
    const std::lock_guard hold(g_installLock);
    if (g_users++ > 0)
        return;
    const struct sigaction own = OwnAction();
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &own, &g_previous[i]);
}

InterruptCleanup::~InterruptCleanup()
{
    const std::lock_guard hold(g_installLock);
    if (--g_users > 0)
        return;
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
}

InterruptsDeferred::InterruptsDeferred()
{
    sigset_t held;
    sigemptyset(&held);
    for (const int signal : kSignals)
        sigaddset(&held, signal);
    ::pthread_sigmask(SIG_BLOCK, &held, &m_before);
}

InterruptsDeferred::~InterruptsDeferred()
{
    ::pthread_sigmask(SIG_SETMASK, &m_before, nullptr);
}

void TemporaryRegistration::Set(int folder, const char* name)
{
    Clear();
    if (std::strlen(name) >= kLongestName)
        return;
    for (int i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (g_slots[i].taken.compare_exchange_strong(expected, true)) {
            std::strcpy(g_slots[i].name, name);
            g_slots[i].owner = ::getpid();
            g_slots[i].folder.store(folder, std::memory_order_release);
            m_slot = i;
            return;
        }
    }
}

void TemporaryRegistration::Clear()
{
    if (m_slot < 0)
        return;
    g_slots[m_slot].folder.store(-1, std::memory_order_release);
    g_slots[m_slot].taken.store(false, std::memory_order_release);
    m_slot = -1;
}

}  // namespace quorbin
