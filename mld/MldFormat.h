#pragma once
// The layout of a melody file (".mld") as this program writes and reads it:
// chunk identifiers, event codes and limits, shared by the builder and the reader.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quorbin::mld {

// ---- Container: "melo", file length, header length, three type bytes ----
constexpr std::string_view kMagic = "melo";
constexpr std::size_t kFileHeaderSize = 13;
constexpr std::size_t kHeaderBlockStart = 10;  // the header length counts from here
constexpr std::uint8_t kDataType[] = {0x01, 0x01};
constexpr std::uint8_t kTrackCount = 0x01;

// ---- Information chunks: id and 16-bit length, in this order ----
constexpr std::size_t kChunkHeaderSize = 6;
constexpr std::string_view kSourceId = "sorc";  // one byte: the protection flag
constexpr std::string_view kTitleId = "titl";
constexpr std::string_view kVersionId = "vers";
constexpr std::string_view kDateId = "date";
constexpr std::string_view kCopyrightId = "copy";
constexpr std::string_view kNoteId = "note";
constexpr std::string_view kSoftwareId = "supt";
constexpr std::array<std::string_view, 7> kInfoChunkIds = {kSourceId,    kTitleId, kVersionId, kDateId,
                                                           kCopyrightId, kNoteId,  kSoftwareId};
constexpr std::string_view kFormatVersion = "0300";
constexpr std::uint8_t kNote[] = {0x00, 0x00};

// ---- Track chunk: id and 32-bit length, then events ----
constexpr std::string_view kTrackId = "trac";
constexpr std::size_t kTrackHeaderSize = 8;

// Every event: delta time, kEventMarker, code. kLongEvent is followed by a
// 16-bit payload length and the payload; the short codes by one data byte.
constexpr std::uint8_t kEventMarker = 0xFF;
constexpr std::uint8_t kLongEvent = 0xFF;
constexpr std::uint8_t kMarkEvent = 0xD0;       // data 00: start mark, 01: end mark
constexpr std::uint8_t kSettingB0Event = 0xB0;  // fixed setting, value 0x7F
constexpr std::uint8_t kTimingEvent = 0xC3;     // data: the tempo
constexpr std::uint8_t kSettingBAEvent = 0xBA;  // fixed setting, value 0x01
constexpr std::uint8_t kFillerEvent = 0xDE;     // data 00: only carries its delta time
constexpr std::uint8_t kEndOfTrack = 0xDF;
constexpr std::array<std::uint8_t, 6> kShortEvents = {kSettingB0Event, kSettingBAEvent, kTimingEvent,
                                                      kMarkEvent,      kFillerEvent,    kEndOfTrack};

// Long event payloads start with kPayloadPrefix and a command.
constexpr std::uint8_t kPayloadPrefix[] = {0x11, 0x01};
constexpr std::uint8_t kAudioDataCommand = 0xF0;  // then kAudioFormat, the 16-bit rate, the coded audio
constexpr std::uint8_t kPlaybackCommand = 0xF1;   // then kAudioStart 00 7F, or kAudioStop 00
constexpr std::uint8_t kSetupCommand = 0xF3;
constexpr std::uint8_t kAudioFormat[] = {0x07, 0x00, 0x01};
constexpr std::size_t kAudioDataFixedBytes = 8;  // prefix, command, format and rate
constexpr std::uint8_t kAudioStart = 0x03;
constexpr std::uint8_t kAudioStop = 0x05;

constexpr std::uint8_t kTempo = 0x7D;        // 125 beats a minute
constexpr std::uint32_t kTicksPerBeat = 48;  // time base code 3
constexpr std::int32_t kMaxDelta = 255;      // a longer wait is carried by filler events

// ---- Limits ----
constexpr std::size_t kMaxTitleBytes = 50;       // CP932
constexpr std::size_t kMaxCopyrightBytes = 256;  // CP932
// The audio payload length (coded bytes + 8) is a 16-bit number.
constexpr std::uint32_t kMaxCodedAudio = 0xFFFF - kAudioDataFixedBytes;
// Two 4-bit codes per coded byte: the most samples a melody file holds.
constexpr std::uint32_t kMaxSamples = 2 * kMaxCodedAudio;
constexpr std::uint32_t kMinSampleRate = 4000;
constexpr std::uint32_t kMaxSampleRate = 16000;

static_assert(kMaxCodedAudio == 65527 && kMaxSamples == 131054);

}  // namespace quorbin::mld
