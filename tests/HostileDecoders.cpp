// A decoder module for the tests that misbehaves on purpose, as a decoder
// taken over by a hostile recording would. The recording's first word says
// what it tries; the filter should stop it before it gets anywhere.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <string_view>
#include <vector>

#include "decode/DecoderChannel.h"
#include "decode/DecoderModule.h"

using namespace quorbin::decode;

// Before the filter: a second of processor time, so that "spin" ends soon.
extern "C" __attribute__((visibility("default"))) void quorbin_decoder_initialise(bool)
{
    const rlimit limit{1, 2};
    ::setrlimit(RLIMIT_CPU, &limit);
}

extern "C" __attribute__((visibility("default"))) void quorbin_decoder_run(const DecodeJob& job)
{
    char word[16] = {};
    if (::read(job.input.fd, word, sizeof word - 1) < 0)
        return;
    const std::string_view act(word, std::strcspn(word, "\n"));
    if (act == "open") {
        ::open("/etc/hostname", O_RDONLY);
    } else if (act == "socket") {
        ::socket(AF_INET, SOCK_STREAM, 0);
    } else if (act == "fork") {
        ::fork();
    } else if (act == "exec") {
        ::execl("/bin/true", "true", nullptr);
    } else if (act == "crash") {
        std::raise(SIGSEGV);
    } else if (act == "spin") {
        for (;;)
            asm volatile("");
    } else if (act == "flood") {
        const std::vector<std::int16_t> samples(job.request->options.edit.limit + 1);
        const SamplesRecord block{8000};
        WriteRecord(job.output, RecordType::Samples, &block, sizeof block, samples.data(),
                    samples.size() * sizeof samples[0]);
    }
    // Reached only when nothing stopped the act.
    SendFailure(job.output, DecodeProblem::Unreadable);
}

static_assert(std::is_same_v<decltype(&quorbin_decoder_run), RunFunction>);
