#include "cli/StandardStreams.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ostream>
#include <vector>

namespace quorbin::cli {

std::string StandardStreamProblem(const std::vector<std::string>& files, const std::optional<std::string>& output,
                                  const Streams& streams, std::string_view outputName)
{
    const auto readers = std::count_if(files.begin(), files.end(), IsStandardStream);
    if (readers > 1)
        return Tr("standard input (-) can be read only once");
    if (readers == 1 && !output) {
        return Substitute(Tr("reading standard input (-) needs -o %1"), {outputName});
    }
    if (output && IsStandardStream(*output) && streams.outIsTerminal) {
        return Tr("standard output is a terminal; redirect it to a file or a pipe for -o -");
    }
    return {};
}

ReadStatus ReadStandardInput(std::uint64_t maxBytes, ByteBuffer& out, int& error)
{
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    error = 0;
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = errno;
            return ReadStatus::ReadError;
        }
        if (n == 0)
            break;
        if (bytes.size() + static_cast<std::size_t>(n) > maxBytes)
            return ReadStatus::TooLarge;
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    out = ByteBuffer(std::move(bytes));
    return ReadStatus::Ok;
}

bool WriteAndFlush(std::ostream& out, const ByteBuffer& bytes, int& error)
{
    errno = 0;
    out.write(reinterpret_cast<const char*>(bytes.Data()), static_cast<std::streamsize>(bytes.Size()));
    out.flush();
    error = errno;
    if (out)
        return true;
    out.clear();
    return false;
}

}  // namespace quorbin::cli
