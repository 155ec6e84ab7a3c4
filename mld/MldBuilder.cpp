#include "mld/MldBuilder.h"

#include <cstring>

namespace quorbin {

namespace {

void AppendText(ByteBuffer& buf, const char* text)
{
    buf.Append(reinterpret_cast<const std::uint8_t*>(text), std::strlen(text));
}

void WriteTextChunk(ByteBuffer& buf, const char* id, const std::string& text)
{
    const std::string& body = text.empty() ? std::string(" ") : text;
    MldBuilder::WriteChunk(buf, id, reinterpret_cast<const std::uint8_t*>(body.data()),
                           static_cast<std::uint32_t>(body.size()));
}

void PatchBigEndian32(ByteBuffer& buf, std::size_t offset, std::uint32_t value)
{
    buf.Set(offset, static_cast<std::uint8_t>(value >> 24));
    buf.Set(offset + 1, static_cast<std::uint8_t>(value >> 16));
    buf.Set(offset + 2, static_cast<std::uint8_t>(value >> 8));
    buf.Set(offset + 3, static_cast<std::uint8_t>(value));
}

} // namespace

void MldBuilder::WriteChunk(ByteBuffer& buf, const char* id, const std::uint8_t* data, std::uint32_t length)
{
    const std::uint32_t bodyLength = length % 65536;
    buf.Append(reinterpret_cast<const std::uint8_t*>(id), 4);
    buf.Append(static_cast<std::uint8_t>(bodyLength >> 8));
    buf.Append(static_cast<std::uint8_t>(bodyLength));
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
    static const std::uint8_t kVersion[] = {'0', '3', '0', '0'};
    static const std::uint8_t kNote[] = {0, 0};
    block.Append(2, 0x00);
    block.Append(3, 0x01);
    const std::uint8_t protection = info.protectionFlag == 1 ? 0x01 : 0x00;
    WriteChunk(block, "sorc", &protection, 1);
    WriteTextChunk(block, "titl", info.title);
    WriteChunk(block, "vers", kVersion, sizeof kVersion);
    WriteTextChunk(block, "date", info.date.empty() ? MakeDateStamp() : info.date);
    WriteTextChunk(block, "copy", info.copyright);
    WriteChunk(block, "note", kNote, sizeof kNote);
    WriteChunk(block, "supt", reinterpret_cast<const std::uint8_t*>(kSoftwareName),
               static_cast<std::uint32_t>(std::strlen(kSoftwareName)));
    const std::size_t headerLength = block.Size() - 2;
    block.Set(0, static_cast<std::uint8_t>(headerLength >> 8));
    block.Set(1, static_cast<std::uint8_t>(headerLength));
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
    AppendText(out, "melo");
    out.Append(4, 0x00);

    ByteBuffer header;
    WriteInfoBlock(info, header);
    out.Append(header);

    ByteBuffer track;
    if (WriteTrackFromSamples(sampleBytes, sampleRate, track, quality) != 0)
        return -1;
    out.Append(track);
    PatchBigEndian32(out, 4, static_cast<std::uint32_t>(out.Size() - 8));
    return 0;
}

} // namespace quorbin
