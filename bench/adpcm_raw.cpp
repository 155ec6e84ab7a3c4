// Codes raw sound with Quorbin's own coder, for comparing it with other coders:
//   quorbin-adpcm-raw standard|high  < 16-bit little-endian mono samples > 4-bit codes
//   quorbin-adpcm-raw decode          < 4-bit codes > 16-bit little-endian samples
// The codes are the melody file's audio stream, without the file around it.
#include <cstdio>
#include <string>
#include <vector>

#include "audio/AdpcmDecoder.h"
#include "audio/AdpcmSearchEncoder.h"
#include "core/ByteOrder.h"

namespace {

std::vector<std::uint8_t> ReadAll(std::FILE* in)
{
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, in)) > 0;)
        bytes.insert(bytes.end(), chunk, chunk + got);
    return bytes;
}

bool WriteAll(const void* data, std::size_t size)
{
    return std::fwrite(data, 1, size, stdout) == size && std::fflush(stdout) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace quorbin;
    const std::string mode = argc == 2 ? argv[1] : "";
    if (mode != "standard" && mode != "high" && mode != "decode") {
        std::fprintf(stderr, "usage: quorbin-adpcm-raw standard|high|decode < input > output\n");
        return 64;
    }
    const std::vector<std::uint8_t> input = ReadAll(stdin);
    if (mode == "decode") {
        const std::vector<std::int16_t> samples = adpcm_decode(input);
        std::vector<std::uint8_t> bytes;
        for (const std::int16_t s : samples)
            AppendLe16(bytes, static_cast<std::uint16_t>(s));
        return WriteAll(bytes.data(), bytes.size()) ? 0 : 74;
    }
    std::vector<std::int16_t> samples(input.size() / 2);
    LoadLe16Samples(input.data(), samples);
    std::vector<std::uint8_t> coded(adpcm_coded_size(samples.size()));
    const EncoderQuality quality = mode == "high" ? EncoderQuality::High : EncoderQuality::Standard;
    const Result<std::size_t> length = adpcm_encode_with(quality, samples, coded);
    if (!length)
        return 70;
    return WriteAll(coded.data(), *length) ? 0 : 74;
}
