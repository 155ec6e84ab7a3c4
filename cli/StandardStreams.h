#pragma once
// "-" in place of a file name: standard input as the source, standard output
// as the destination.
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ByteBuffer.h"
#include "cli/CommandLine.h"
#include "platform/FileSystem.h"

namespace quorbin::cli {

constexpr std::string_view kStandardStream = "-";

inline bool IsStandardStream(std::string_view name)
{
    return name == kStandardStream;
}

// What is wrong with "-" among `files`: standard input named twice, or a
// terminal, from which no file is read. Empty when nothing is.
std::string StandardInputProblem(const std::vector<std::string>& files, const Streams& streams);

// The same, and what is wrong with `output` (-o): standard input read without an
// output name (`outputName` in the text), or a file written to a terminal.
std::string StandardStreamProblem(const std::vector<std::string>& files, const std::optional<std::string>& output,
                                  const Streams& streams, std::string_view outputName);

// Reads standard input to its end; more than `maxBytes` is refused (TooLarge).
Result<ByteBuffer> ReadStandardInput(std::uint64_t maxBytes);

// Writes `bytes` to `out` and flushes it; a failure has the errno of the
// failed write (EIO when the stream gives none).
Result<> WriteAndFlush(std::ostream& out, const ByteBuffer& bytes);

}  // namespace quorbin::cli
