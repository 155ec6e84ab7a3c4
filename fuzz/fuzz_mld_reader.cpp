// Fuzz target: reads arbitrary bytes as a melody file. The reader must never
// look outside the bytes; when it accepts them, what it reports must lie
// inside the file and agree with the length fields, and the audio must decode
// to two samples a byte.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>

#include "core/ByteOrder.h"
#include "audio/AdpcmDecoder.h"
#include "mld/MldReader.h"

using namespace quorbin;

namespace {

void Expect(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "property violated: %s\n", what);
        std::fflush(stderr);
        __builtin_trap();
    }
}

std::uint32_t Be32(std::span<const std::uint8_t> b, std::size_t at)
{
    return LoadBe32(b.data() + at);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> file(data, size);
    const MldReadResult result = ReadMld(file);
    if (!result.contents) {
        Expect(!result.error.message.empty(), "a refusal names its reason");
        Expect(result.error.offset <= size, "a refusal points inside the file or at its end");
        return 0;
    }
    const MldContents& c = *result.contents;
    Expect(size >= 13 && Be32(file, 4) == size - 8, "file length field = size - 8");
    Expect(c.audioOffset <= size && c.audioLength <= size - c.audioOffset, "audio lies inside the file");
    Expect(c.sampleRate > 0 && c.tickSeconds > 0, "rate and tick length are positive");
    Expect(c.protectionFlag <= 1, "protection is 0 or 1");
    Expect(c.fillerEvents * 4 < size, "every filler event takes four bytes of the file");
    const auto samples = adpcm_decode(file.subspan(c.audioOffset, c.audioLength));
    Expect(samples.size() == 2 * c.audioLength, "two samples a coded byte");
    return 0;
}
