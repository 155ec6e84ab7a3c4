#pragma once
// Read access by position to the bytes of a recording, whether they are held in
// memory or read from a file, so that a reader takes only the bytes it needs.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/Result.h"

namespace quorbin {

// Size() of a stream whose end has not been read yet.
constexpr std::uint64_t kUnknownSize = UINT64_MAX;

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t Size() const = 0;
    // True for a stream: its bytes come once, in order, and its size is known at its end.
    virtual bool Streamed() const { return false; }
    // Copies `length` bytes from `offset` on into `dest`. Fails with
    // BytesMissing when fewer bytes are there (a file that shrank), otherwise
    // with the reason they could not be read.
    virtual Result<> ReadAt(std::uint64_t offset, std::uint8_t* dest, std::size_t length) = 0;
};

// Bytes already in memory; the caller keeps them alive.
class MemorySource final : public ByteSource {
public:
    MemorySource(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    std::uint64_t Size() const override { return m_size; }
    Result<> ReadAt(std::uint64_t offset, std::uint8_t* dest, std::size_t length) override
    {
        if (offset > m_size || length > m_size - offset)
            return ReasonKind::BytesMissing;
        if (length != 0)
            std::memcpy(dest, m_data + offset, length);
        return {};
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
};

}  // namespace quorbin
