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

// What is wrong with the use of "-" among `files` and as `output` (-o): standard
// input named twice or without an output name (`outputName` in the text), or a
// file for a terminal. Empty when nothing is.
std::string StandardStreamProblem(const std::vector<std::string>& files, const std::optional<std::string>& output,
                                  const Streams& streams, std::string_view outputName);

// Reads standard input to its end into `out`; more than `maxBytes` is refused.
// On failure `error` holds the errno (0 for TooLarge).
ReadStatus ReadStandardInput(std::uint64_t maxBytes, ByteBuffer& out, int& error);

// Writes `bytes` to `out` and flushes it; on failure `error` holds the errno
// of the failed write (0 when unknown).
bool WriteAndFlush(std::ostream& out, const ByteBuffer& bytes, int& error);

}  // namespace quorbin::cli
