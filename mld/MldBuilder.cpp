#include "mld/MldBuilder.h"

#include "core/ByteOrder.h"
#include "mld/MldFormat.h"

namespace quorbin {

namespace {

void AppendText(ByteBuffer& buf, std::string_view text)
{
    buf.Append(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

// A text chunk never has an empty body: an empty text is written as one space.
void WriteTextChunk(ByteBuffer& buf, std::string_view id, std::string_view text)
{
    const std::string_view body = text.empty() ? std::string_view(" ") : text;
    MldBuilder::WriteChunk(buf, id, reinterpret_cast<const std::uint8_t*>(body.data()),
                           static_cast<std::uint32_t>(body.size()));
}

}  // namespace

void MldBuilder::WriteChunk(ByteBuffer& buf, std::string_view id, const std::uint8_t* data, std::uint32_t length)
{
    const std::uint32_t bodyLength = length % 65536;
    AppendText(buf, id.substr(0, 4));
    AppendBe16(buf, bodyLength);
    buf.Append(data, bodyLength);
}

std::string MldBuilder::MakeDateStamp(std::time_t when)
{
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr)
        return "19700101";
    char text[10] = {};
    if (std::strftime(text, sizeof text, "%Y%m%d", &local) == 0)
        return "19700101";
    return text;
}

std::string MldBuilder::MakeDateStamp()
{
    return MakeDateStamp(std::time(nullptr));
}

void MldBuilder::WriteInfoBlock(const ContentInfo& info, ByteBuffer& block)
{
    block.Append(2, 0x00);  // the header length, set below
    block.Append(mld::kDataType, sizeof mld::kDataType);
    block.Append(mld::kTrackCount);
    const std::uint8_t protection = info.protectionFlag == 1 ? 0x01 : 0x00;
    WriteChunk(block, mld::kSourceId, &protection, 1);
    WriteTextChunk(block, mld::kTitleId, info.title);
    WriteTextChunk(block, mld::kVersionId, mld::kFormatVersion);
    WriteTextChunk(block, mld::kDateId, info.date.empty() ? MakeDateStamp() : info.date);
    WriteTextChunk(block, mld::kCopyrightId, info.copyright);
    WriteChunk(block, mld::kNoteId, mld::kNote, sizeof mld::kNote);
    WriteTextChunk(block, mld::kSoftwareId, kSoftwareName);
    StoreBe16(block.Data(), static_cast<std::uint32_t>(block.Size() - 2));
}

std::int32_t MldBuilder::Build(const ContentInfo& info, const ByteBuffer& fileBytes, std::int32_t sampleRate,
                               ByteBuffer& out, EncoderQuality quality)
{
    std::span<const std::uint8_t> samples;
    if (!DataBody(fileBytes, samples))
        return -1;
    return BuildFromSamples(info, samples, sampleRate, out, quality);
}

std::int32_t MldBuilder::BuildFromSamples(const ContentInfo& info, std::span<const std::uint8_t> sampleBytes,
                                          std::int32_t sampleRate, ByteBuffer& out, EncoderQuality quality)
{
    // The file length is patched at offset 4, so the file must start the buffer.
    if (!out.Empty())
        return -1;
    AppendText(out, mld::kMagic);
    out.Append(4, 0x00);  // the file length, set at the end

    ByteBuffer header;
    WriteInfoBlock(info, header);
    out.Append(header);

    ByteBuffer track;
    if (WriteTrackFromSamples(sampleBytes, sampleRate, track, quality) != 0)
        return -1;
    out.Append(track);
    StoreBe32(out.Data() + 4, static_cast<std::uint32_t>(out.Size() - 8));
    return 0;
}

}  // namespace quorbin
