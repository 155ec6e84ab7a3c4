#pragma once
// What the ringtone editor has chosen: the part of the recording, the rate it
// is coded at, fades, normalising and the coding quality, kept within what one
// melody file holds. Positions set by keys, the mouse or typing lie on a grid
// of tenths of a second; only the longest length is an exact number of samples.
// Free of Qt.
#include <optional>

#include "audio/AdpcmSearchEncoder.h"
#include "conversion/MelodyLimits.h"
#include "decode/AudioPreparation.h"

namespace quorbin {

class RingtoneSelection {
public:
    static constexpr int kFit = 0;  // as a rate: the highest at which the selection fits
    static constexpr int kDefaultRate = decode::kDefaultRate;
    static constexpr double kGrid = 0.1;  // seconds

    // The recording's length as far as known (it grows while the recording is
    // decoded); the selection stays inside it.
    void SetDuration(double seconds);
    double Duration() const { return m_duration; }

    int Rate() const { return m_rate; }
    // kFit, or hertz, brought into 4000..16000.
    void SetRate(int rate);
    // The rate the melody file gets: Rate(), or for kFit the highest at which the selection fits.
    int CodedRate() const;
    // The longest selection one melody file holds at Rate() (at 4000 Hz for kFit).
    double LongestLength() const;

    double Start() const { return m_start; }
    // The length asked for, cut to LongestLength() and to what the recording has after Start().
    double Length() const;
    double End() const { return Start() + Length(); }

    // The selection starts at `seconds`; it is as long as asked where the recording allows.
    void SetStart(double seconds);
    // Moves the whole selection; it keeps its length and stays inside the recording.
    void MoveBy(double seconds);
    void MoveTo(double start);
    void ToBeginning() { MoveTo(0); }
    void ToEnd() { MoveTo(Duration()); }
    void SetLength(double seconds);
    // Moves one edge to `seconds`; the other stays, and the length stays within the limit.
    // The length asked for changes only here and in SetLength.
    void SetStartEdge(double seconds);
    void SetEndEdge(double seconds);

    int fadeInMs = 0;
    int fadeOutMs = 0;
    bool normalize = false;
    EncoderQuality quality = EncoderQuality::Standard;

    // How the decoders prepare the selection: what `quorbin-cli convert --resample
    // --rate R [--fit] --start S --length L [--fade-in] [--fade-out] [--normalize]` asks for.
    decode::PreparationOptions Preparation() const;

private:
    double m_duration = 0;
    int m_rate = kDefaultRate;
    double m_start = 0;
    double m_length = static_cast<double>(kMelodySampleLimit) / kDefaultRate;
};

}  // namespace quorbin
