#include "cli/StandardStreams.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ostream>
#include <vector>

namespace quorbin::cli {

std::string StandardInputProblem(const std::vector<std::string>& files, const Streams& streams)
{
    const auto readers = std::count_if(files.begin(), files.end(), IsStandardStream);
    if (readers > 1)
        return Tr("standard input (-) can be read only once");
    if (readers == 1 && streams.inIsTerminal)
        return Tr("standard input is a terminal; redirect it from a file or a pipe for -");
    return {};
}

std::string StandardStreamProblem(const std::vector<std::string>& files, const std::optional<std::string>& output,
                                  const Streams& streams, std::string_view outputName)
{
    if (std::string problem = StandardInputProblem(files, streams); !problem.empty())
        return problem;
    if (!output && std::find_if(files.begin(), files.end(), IsStandardStream) != files.end()) {
        return Substitute(Tr("reading standard input (-) needs -o %1"), {outputName});
    }
    if (output && IsStandardStream(*output) && streams.outIsTerminal) {
        return Tr("standard output is a terminal; redirect it to a file or a pipe for -o -");
    }
    return {};
}

Result<ByteBuffer> ReadStandardInput(std::uint64_t maxBytes)
{
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return FailureReason::System(errno);
        if (n == 0)
            break;
        if (bytes.size() + static_cast<std::size_t>(n) > maxBytes)
            return ReasonKind::TooLarge;
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    return ByteBuffer(std::move(bytes));
}

// The stream gives no reason of its own: the errno its failed write left is read at once.
Result<> WriteAndFlush(std::ostream& out, const ByteBuffer& bytes)
{
    errno = 0;
    out.write(reinterpret_cast<const char*>(bytes.Data()), static_cast<std::streamsize>(bytes.Size()));
    out.flush();
    const int error = errno;
    if (out)
        return {};
    out.clear();
    return FailureReason::System(error != 0 ? error : EIO);
}

}  // namespace quorbin::cli
