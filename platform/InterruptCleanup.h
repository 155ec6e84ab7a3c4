#pragma once
// Named temporary files that a save has made and not yet put in place, and
// their removal when SIGINT, SIGTERM or SIGHUP ends the process during a save.
#include <signal.h>

namespace quorbin {

// While at least one object of this class lives, SIGINT, SIGTERM and SIGHUP
// first remove every registered temporary file, then act as they did before
// (by default: end the process, which the shell reports as 128 + N).
class InterruptCleanup {
public:
    InterruptCleanup();
    ~InterruptCleanup();
    InterruptCleanup(const InterruptCleanup&) = delete;
    InterruptCleanup& operator=(const InterruptCleanup&) = delete;
};

// Holds SIGINT, SIGTERM and SIGHUP back from the calling thread while it lives.
class InterruptsDeferred {
public:
    InterruptsDeferred();
    ~InterruptsDeferred();
    InterruptsDeferred(const InterruptsDeferred&) = delete;
    InterruptsDeferred& operator=(const InterruptsDeferred&) = delete;

private:
    sigset_t m_before;
};

// One named temporary file, known to the signal handlers while registered.
class TemporaryRegistration {
public:
    TemporaryRegistration() = default;
    ~TemporaryRegistration() { Clear(); }
    TemporaryRegistration(const TemporaryRegistration&) = delete;
    TemporaryRegistration& operator=(const TemporaryRegistration&) = delete;

    // Registers `name` in the folder open as `folder`, replacing what this
    // object held. Without a free place (more files than any save keeps at
    // once), the file is only left for the next save's clean-up.
    void Set(int folder, const char* name);
    void Clear();

private:
    int m_slot = -1;
};

}  // namespace quorbin
