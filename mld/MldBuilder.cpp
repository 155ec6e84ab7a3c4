#include "mld/MldBuilder.h"

#include <string_view>

#include "core/ByteOrder.h"
#include "mld/MldFormat.h"
#include "mld/MldTrack.h"

namespace quorbin::MldBuilder {

using namespace mld;

namespace {

void AppendText(ByteBuffer& buf, std::string_view text)
{
    buf.Append(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

// An information chunk: its id, the 16-bit length of its body (taken modulo
// 65536) and the body.
void WriteChunk(ByteBuffer& buf, std::string_view id, const std::uint8_t* data, std::uint32_t length)
{
    const std::uint32_t bodyLength = length % 65536;
    AppendText(buf, id.substr(0, 4));
    AppendBe16(buf, bodyLength);
    buf.Append(data, bodyLength);
}

// A text chunk never has an empty body: an empty text is written as one space.
void WriteTextChunk(ByteBuffer& buf, std::string_view id, std::string_view text)
{
    const std::string_view body = text.empty() ? std::string_view(" ") : text;
    WriteChunk(buf, id, reinterpret_cast<const std::uint8_t*>(body.data()), static_cast<std::uint32_t>(body.size()));
}

// The header block: its length, the type bytes and the seven information chunks.
void WriteInfoBlock(const ContentInfo& info, ByteBuffer& block)
{
    block.Append(2, 0x00);  // the header length, set below
    block.Append(kDataType, sizeof kDataType);
    block.Append(kTrackCount);
    const std::uint8_t protection = info.protectionFlag == 1 ? 0x01 : 0x00;
    WriteChunk(block, kSourceId, &protection, 1);
    WriteTextChunk(block, kTitleId, info.title);
    WriteTextChunk(block, kVersionId, kFormatVersion);
    WriteTextChunk(block, kDateId, info.date.empty() ? MakeDateStamp() : info.date);
    WriteTextChunk(block, kCopyrightId, info.copyright);
    WriteChunk(block, kNoteId, kNote, sizeof kNote);
    WriteTextChunk(block, kSoftwareId, kSoftwareName);
    StoreBe16(block.Data(), static_cast<std::uint32_t>(block.Size() - 2));
}

}  // namespace

std::string MakeDateStamp(std::time_t when)
{
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr)
        return "19700101";
    char text[10] = {};
    if (std::strftime(text, sizeof text, "%Y%m%d", &local) == 0)
        return "19700101";
    return text;
}

std::string MakeDateStamp()
{
    return MakeDateStamp(std::time(nullptr));
}

Result<ByteBuffer> Build(const ContentInfo& info, std::span<const std::int16_t> samples, std::int32_t sampleRate,
                         EncoderQuality quality)
{
    ByteBuffer out;
    AppendText(out, kMagic);
    out.Append(4, 0x00);  // the file length, set at the end

    ByteBuffer header;
    WriteInfoBlock(info, header);
    out.Append(header);

    ByteBuffer track;
    if (Result<> written = WriteTrack(samples, sampleRate, quality, track); !written)
        return written.Reason();
    out.Append(track);
    StoreBe32(out.Data() + 4, static_cast<std::uint32_t>(out.Size() - 8));
    return out;
}

}  // namespace quorbin::MldBuilder
