#pragma once
// A growable, contiguous run of unsigned bytes: holds a WAVE file as read from
// disk and a melody file while it is built.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace quorbin {

class ByteBuffer {
public:
    ByteBuffer() = default;
    explicit ByteBuffer(std::vector<std::uint8_t> bytes) : m_bytes(std::move(bytes)) {}

    void Append(std::uint8_t byte) { m_bytes.push_back(byte); }
    void Append(std::size_t count, std::uint8_t byte) { m_bytes.resize(m_bytes.size() + count, byte); }
    // Grows, then copies: GCC 12 at -O3 misreads vector's range insert of a
    // few constant bytes as an overflow and warns.
    void Append(const std::uint8_t* data, std::size_t length)
    {
        const std::size_t end = m_bytes.size();
        m_bytes.resize(end + length);
        if (length != 0)
            std::memcpy(m_bytes.data() + end, data, length);
    }
    void Append(const ByteBuffer& other) { Append(other.Data(), other.Size()); }
    void Set(std::size_t index, std::uint8_t byte) { m_bytes.at(index) = byte; }

    std::size_t Size() const { return m_bytes.size(); }
    bool Empty() const { return m_bytes.empty(); }
    const std::uint8_t* Data() const { return m_bytes.data(); }
    std::uint8_t* Data() { return m_bytes.data(); }
    std::uint8_t operator[](std::size_t index) const { return m_bytes[index]; }

    void Resize(std::size_t size) { m_bytes.resize(size); }
    void Reserve(std::size_t size) { m_bytes.reserve(size); }
    void Clear()
    {
        m_bytes.clear();
        m_bytes.shrink_to_fit();
    }

    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
};

}  // namespace quorbin
