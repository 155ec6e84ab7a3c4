#pragma once
// The bytes of a stream (a pipe, a terminal) read by position as far as a
// stream allows: forward, each byte read once and forgotten, except the first
// kKeptBytes, which stay to be read again. So a reader that walks a file's
// chunks from the front needs no more memory for a stream of any length.
#include <cstdint>
#include <vector>

#include "core/ByteSource.h"

namespace quorbin {

class StreamSource final : public ByteSource {
public:
    static constexpr std::size_t kKeptBytes = 1u << 20;

    // Reads the open descriptor `fd`, which the caller keeps open.
    explicit StreamSource(int fd) : m_fd(fd) {}

    // kUnknownSize until the end of the stream was read.
    std::uint64_t Size() const override { return m_size; }
    bool Streamed() const override { return true; }
    // Bytes before the last one read are there only within the first kKeptBytes;
    // asking for others fails with ESPIPE. A stream that ends within the bytes
    // asked for leaves those it had in `dest` and fails with BytesMissing;
    // Size() then is its length.
    Result<> ReadAt(std::uint64_t offset, std::uint8_t* dest, std::size_t length) override;

private:
    // Reads up to `length` bytes of the stream's next ones into `dest` (null:
    // passes over them), keeping what falls in the first kKeptBytes.
    Result<> Take(std::uint8_t* dest, std::size_t length);

    int m_fd;
    std::uint64_t m_position = 0;  // bytes read from the stream so far
    std::uint64_t m_size = kUnknownSize;
    std::vector<std::uint8_t> m_kept;
};

}  // namespace quorbin
