#pragma once
// Reads back a melody file as this program writes it: the container, the seven
// information chunks and the events of the one track. Any departure from that
// structure is reported with the byte offset where it lies. The reader never
// looks outside the bytes it is given.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace quorbin {

struct MldContents {
    std::uint8_t protectionFlag = 0;  // body of "sorc": 0 or 1
    std::string title;                // CP932 bytes as stored
    std::string version;
    std::string date;
    std::string copyright;  // CP932 bytes as stored
    std::string software;
    std::int32_t sampleRate = 0;  // from the audio data event, never 0
    std::size_t audioOffset = 0;  // file offset of the first coded audio byte
    std::size_t audioLength = 0;  // coded audio bytes
    std::uint32_t playTicks = 0;  // ticks from the audio start event to the audio stop event
    std::uint32_t fillerEvents = 0;
    double tickSeconds = 0;  // length of one tick, from the timing event

    double PlaySeconds() const { return playTicks * tickSeconds; }
    // Two samples per coded byte at the stored rate.
    double AudioSeconds() const { return 2.0 * static_cast<double>(audioLength) / sampleRate; }
};

struct MldReadError {
    std::string message;
    std::size_t offset = 0;
};

struct MldReadResult {
    std::optional<MldContents> contents;  // set when the whole file was understood
    MldReadError error;                   // the first problem otherwise
};

MldReadResult ReadMld(std::span<const std::uint8_t> file);

}  // namespace quorbin
