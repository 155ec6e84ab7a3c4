#include "mld/MldReader.h"

#include <cstdio>
#include <string_view>

#include "core/ByteOrder.h"
#include "mld/MldFormat.h"

namespace quorbin {

namespace {

using namespace mld;

std::string Hex(std::uint32_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(value & 0xFF));
    return text;
}

// A four-byte identifier for messages, with unprintable bytes shown as '?'.
std::string Printable(std::span<const std::uint8_t> id)
{
    std::string text;
    for (const std::uint8_t byte : id)
        text += (byte >= 0x20 && byte < 0x7F) ? static_cast<char>(byte) : '?';
    return "\"" + text + "\"";
}

bool IsInfoChunkId(std::string_view id)
{
    for (const std::string_view known : kInfoChunkIds)
        if (known == id)
            return true;
    return false;
}

class Parser {
public:
    explicit Parser(std::span<const std::uint8_t> file) : m_file(file) {}

    MldReadResult Run()
    {
        if (FileHeader() && InfoChunks() && Track())
            return {m_contents, {}};
        return {std::nullopt, m_error};
    }

private:
    std::span<const std::uint8_t> m_file;
    MldContents m_contents;
    MldReadError m_error;
    std::size_t m_trackStart = 0;

    // Track state while the events are read.
    bool m_started = false;
    bool m_stopped = false;
    bool m_haveAudio = false;
    bool m_haveTiming = false;
    std::uint64_t m_ticksSinceStart = 0;

    bool Fail(std::string message, std::size_t offset)
    {
        m_error = {std::move(message), offset};
        return false;
    }

    // Bytes [offset, offset + count) lie before `end` (itself within the file).
    static bool Fits(std::size_t offset, std::size_t count, std::size_t end)
    {
        return offset <= end && count <= end - offset;
    }

    std::uint32_t Be16(std::size_t offset) const { return LoadBe16(m_file.data() + offset); }
    std::uint32_t Be32(std::size_t offset) const { return LoadBe32(m_file.data() + offset); }

    std::string_view Text(std::size_t offset, std::size_t length) const
    {
        return {reinterpret_cast<const char*>(m_file.data() + offset), length};
    }

    bool FileHeader()
    {
        const std::size_t size = m_file.size();
        if (size < kMagic.size() || Text(0, kMagic.size()) != kMagic)
            return Fail("not a melody file: the magic is not \"melo\"", 0);
        if (size < kFileHeaderSize)
            return Fail("file cut short inside the file header (" + std::to_string(size) + " bytes)", size);
        const std::uint32_t stated = Be32(4);
        if (stated != size - 8)
            return Fail("file length field says " + std::to_string(stated) + " bytes follow it, but "
                            + std::to_string(size - 8) + " do",
                        4);
        m_trackStart = kHeaderBlockStart + Be16(8);
        if (m_trackStart > size)
            return Fail("header length " + std::to_string(Be16(8)) + " points past the end of the file", 8);
        if (m_file[10] != kDataType[0] || m_file[11] != kDataType[1])
            return Fail("unknown data type " + Hex(m_file[10]) + " " + Hex(m_file[11]), 10);
        if (m_file[12] != kTrackCount)
            return Fail("track count is " + std::to_string(m_file[12]) + ", not 1", 12);
        if (m_trackStart < kFileHeaderSize)
            return Fail("header length " + std::to_string(Be16(8)) + " is shorter than the header block", 8);
        return true;
    }

    bool InfoChunks()
    {
        std::size_t offset = kFileHeaderSize;
        for (const std::string_view id : kInfoChunkIds) {
            std::string_view body;
            if (!InfoChunk(id, offset, body))
                return false;
            if (!Keep(id, body, offset))
                return false;
            offset += kChunkHeaderSize + body.size();
        }
        if (offset != m_trackStart)
            return Fail(std::to_string(m_trackStart - offset)
                            + " unexpected bytes between the \"supt\" chunk and the track (header length disagrees)",
                        offset);
        return true;
    }

    bool InfoChunk(std::string_view id, std::size_t offset, std::string_view& body)
    {
        if (!Fits(offset, kChunkHeaderSize, m_trackStart))
            return Fail("chunk \"" + std::string(id) + "\" missing: the header block ends at offset "
                            + std::to_string(m_trackStart),
                        offset);
        const std::string_view found = Text(offset, 4);
        if (found != id) {
            const std::string what = IsInfoChunkId(found) ? "chunk out of order: found " : "unknown chunk ";
            return Fail(what + Printable(m_file.subspan(offset, 4)) + " where \"" + std::string(id) + "\" belongs",
                        offset);
        }
        const std::size_t length = Be16(offset + 4);
        if (!Fits(offset + kChunkHeaderSize, length, m_trackStart))
            return Fail("chunk \"" + std::string(id) + "\" cut short: its " + std::to_string(length)
                            + " bytes run past the end of the header block at offset " + std::to_string(m_trackStart),
                        offset + 4);
        body = Text(offset + kChunkHeaderSize, length);
        return true;
    }

    bool Keep(std::string_view id, std::string_view body, std::size_t offset)
    {
        if (id == kSourceId) {
            if (body.size() != 1 || static_cast<std::uint8_t>(body[0]) > 1)
                return Fail("chunk \"sorc\" must hold one byte, 0 or 1", offset + kChunkHeaderSize);
            m_contents.protectionFlag = static_cast<std::uint8_t>(body[0]);
        } else if (id == kTitleId) {
            m_contents.title = body;
        } else if (id == kVersionId) {
            m_contents.version = body;
        } else if (id == kDateId) {
            m_contents.date = body;
        } else if (id == kCopyrightId) {
            m_contents.copyright = body;
        } else if (id == kSoftwareId) {
            m_contents.software = body;
        }
        return true;
    }

    bool Track()
    {
        const std::size_t size = m_file.size();
        if (!Fits(m_trackStart, kTrackHeaderSize, size))
            return Fail("track chunk cut short: " + std::to_string(size - m_trackStart)
                            + " bytes left for its 8-byte header",
                        m_trackStart);
        if (Text(m_trackStart, kTrackId.size()) != kTrackId)
            return Fail("expected the track chunk \"trac\", found " + Printable(m_file.subspan(m_trackStart, 4)),
                        m_trackStart);
        const std::uint32_t stated = Be32(m_trackStart + 4);
        const std::size_t actual = size - m_trackStart - kTrackHeaderSize;
        if (stated != actual)
            return Fail("track length field says " + std::to_string(stated) + " bytes, but " + std::to_string(actual)
                            + " follow",
                        m_trackStart + 4);
        return Events(m_trackStart + kTrackHeaderSize) && TrackComplete();
    }

    bool Events(std::size_t offset)
    {
        const std::size_t end = m_file.size();
        while (offset < end) {
            if (!Fits(offset, 3, end))
                return Fail("event cut short at the end of the track", offset);
            const std::uint8_t delta = m_file[offset];
            if (m_file[offset + 1] != kEventMarker)
                return Fail("event does not start with FF after its delta time", offset + 1);
            const std::uint8_t code = m_file[offset + 2];
            if (m_started && !m_stopped)
                m_ticksSinceStart += delta;
            std::size_t next = 0;
            if (!Event(code, offset, next))
                return false;
            if (code == kEndOfTrack) {
                if (next != end)
                    return Fail(std::to_string(end - next) + " bytes after the end-of-track event", next);
                return true;
            }
            offset = next;
        }
        return Fail("track ends without the end-of-track event", end);
    }

    // Reads the event at `offset` whose code is `code`; sets `next` past it.
    bool Event(std::uint8_t code, std::size_t offset, std::size_t& next)
    {
        const std::size_t end = m_file.size();
        if (code == kLongEvent) {
            if (!Fits(offset + 3, 2, end))
                return Fail("event cut short at the end of the track", offset);
            const std::size_t length = Be16(offset + 3);
            const std::size_t payload = offset + 5;
            if (!Fits(payload, length, end))
                return Fail("event payload of " + std::to_string(length) + " bytes runs past the end of the track",
                            offset + 3);
            next = payload + length;
            return Payload(payload, length);
        }
        bool known = false;
        for (const std::uint8_t shortCode : kShortEvents)
            known = known || shortCode == code;
        if (!known)
            return Fail("unknown event code " + Hex(code), offset + 2);
        if (!Fits(offset + 3, 1, end))
            return Fail("event cut short at the end of the track", offset);
        next = offset + 4;
        return ShortEvent(code, offset);
    }

    bool ShortEvent(std::uint8_t code, std::size_t offset)
    {
        const std::uint8_t value = m_file[offset + 3];
        if (code == kFillerEvent)
            ++m_contents.fillerEvents;
        if (code == kTimingEvent) {
            if (value == 0)
                return Fail("timing event with tempo 0", offset + 3);
            m_contents.tickSeconds = 60.0 / value / kTicksPerBeat;
            m_haveTiming = true;
        }
        return true;
    }

    bool Payload(std::size_t offset, std::size_t length)
    {
        if (length < 3 || m_file[offset] != kPayloadPrefix[0] || m_file[offset + 1] != kPayloadPrefix[1])
            return Fail("unknown event payload (it does not start with 11 01)", offset);
        const std::uint8_t command = m_file[offset + 2];
        if (command == kAudioDataCommand)
            return AudioData(offset, length);
        if (command == kPlaybackCommand)
            return Playback(offset, length);
        if (command == kSetupCommand)
            return true;
        return Fail("unknown event command " + Hex(command), offset + 2);
    }

    bool AudioData(std::size_t offset, std::size_t length)
    {
        if (m_haveAudio)
            return Fail("a second audio data event", offset);
        if (length < kAudioDataFixedBytes || m_file[offset + 3] != kAudioFormat[0]
            || m_file[offset + 4] != kAudioFormat[1] || m_file[offset + 5] != kAudioFormat[2])
            return Fail("audio data event of an unknown format", offset + 3);
        const std::uint32_t rate = Be16(offset + 6);
        if (rate == 0)
            return Fail("audio data event with sample rate 0", offset + 6);
        m_contents.sampleRate = static_cast<std::int32_t>(rate);
        m_contents.audioOffset = offset + kAudioDataFixedBytes;
        m_contents.audioLength = length - kAudioDataFixedBytes;
        m_haveAudio = true;
        return true;
    }

    bool Playback(std::size_t offset, std::size_t length)
    {
        const std::uint8_t action = length > 3 ? m_file[offset + 3] : 0;
        if (action == kAudioStart) {
            if (m_started)
                return Fail("a second audio start event", offset);
            m_started = true;
            return true;
        }
        if (action == kAudioStop) {
            if (!m_started || m_stopped)
                return Fail("audio stop event without an audio start event before it", offset);
            m_stopped = true;
            m_contents.playTicks = static_cast<std::uint32_t>(m_ticksSinceStart);
            return true;
        }
        return Fail("unknown playback control event", offset + 3);
    }

    bool TrackComplete()
    {
        const std::size_t events = m_trackStart + kTrackHeaderSize;
        if (!m_haveAudio)
            return Fail("the track has no audio data event", events);
        if (!m_started || !m_stopped)
            return Fail("the track has no audio start and stop events", events);
        if (!m_haveTiming)
            return Fail("the track has no timing event", events);
        return true;
    }
};

}  // namespace

MldReadResult ReadMld(std::span<const std::uint8_t> file)
{
    return Parser(file).Run();
}

}  // namespace quorbin
