#pragma once
// The part of a recording that becomes the melody, worked out block by block:
// trim silence, select, cut to what the file holds, normalize, fade, round to
// 16 bits. Only what can reach the result is read, apart from silence that a
// trim has to look through.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <vector>

namespace quorbin {

// Mono samples at one rate, full scale 1.0 (= 32768).
class SampleStream {
public:
    virtual ~SampleStream() = default;
    virtual int Rate() const = 0;
    // Samples in the whole stream as far as known beforehand; none when unknown.
    virtual std::optional<std::uint64_t> StatedLength() const = 0;
    // Fills `out` from the front; fewer samples only at the end. False on a read error.
    virtual bool Read(std::span<float> out, std::size_t& got) = 0;
    // Passes over `count` samples; false on a read error. Streams that can seek override it.
    virtual bool Skip(std::uint64_t count);
};

struct EditOptions {
    double startSeconds = 0;
    std::optional<double> lengthSeconds;  // at most one of length and end
    std::optional<double> endSeconds;
    std::optional<double> trimBelowDb;  // drop leading and trailing audio quieter than -DB dBFS
    double fadeInMs = 0;
    double fadeOutMs = 0;
    bool normalize = false;  // peak of what is kept at -1 dBFS
    // The most samples kept: what the result can hold (a melody file's
    // limit, which its maker passes on).
    std::size_t limit = std::numeric_limits<std::size_t>::max();

    bool EditsSamples() const
    {
        return startSeconds > 0 || lengthSeconds || endSeconds || trimBelowDb || fadeInMs > 0 || fadeOutMs > 0;
    }
};

struct EditedRecording {
    std::vector<std::int16_t> samples;  // at most `limit`
    int rate = 0;
    // Samples of the selection before the cut to `limit` (read, or taken from
    // the stated length where the rest was not read).
    std::uint64_t selectedSamples = 0;
    // False when the source went on past the cut without stating its length:
    // the selection holds more than `selectedSamples`, how much more is unknown.
    bool selectionKnown = true;
    // The whole recording, where its source states its length.
    std::optional<std::uint64_t> recordingSamples;

    bool Dropped() const { return selectedSamples > samples.size(); }
};

// The samples at `rate` that a length or an end asks for, from the start on;
// none when neither is given.
std::optional<std::uint64_t> WantedSamples(const EditOptions& options, int rate);

// Returns false on a read error of `source`.
bool EditRecording(SampleStream& source, const EditOptions& options, EditedRecording& out);

// Rounds and clips full-scale floats to 16 bits, without dither.
std::int16_t ToSample16(float value);

}  // namespace quorbin
