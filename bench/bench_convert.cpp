// Conversion of recordings on disk through the steps of "quorbin-cli convert"
// (read, build, save), for a short recording, two hours at 8000 Hz and a
// 1.5 GB file (sparse past its first samples). Only the start of the "data"
// body that reaches the melody file is read, so the three should cost the same.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "WaveFixtures.h"
#include "bench/ScratchFolder.h"
#include "conversion/ConversionSteps.h"

namespace {

using namespace quorbin;
namespace fs = std::filesystem;

std::string Text(const fixtures::Bytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// The 44-byte header of an 8000 Hz file whose "data" chunk holds `dataBytes`.
std::string Header(std::uint32_t dataBytes)
{
    return Text(fixtures::RiffFile({fixtures::Fmt(8000), {"data", {}, true, dataBytes}}, 36 + dataBytes));
}

// One second of a 440 Hz tone at 8000 Hz.
std::string ToneSecond()
{
    std::vector<std::int16_t> samples(8000);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(9000 * std::sin(static_cast<double>(i) * 0.3455));
    return Text(fixtures::Data(samples).body);
}

// A WAVE file of `size` bytes; the tone is written up to `writtenBytes`, the rest is a hole.
void WriteRecording(const fs::path& path, std::uint64_t size, std::uint64_t writtenBytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    std::string block = Header(static_cast<std::uint32_t>(size - 44));
    const std::string second = ToneSecond();
    while (block.size() < (1u << 20))
        block += second;
    for (std::uint64_t at = 0; at < std::min(size, writtenBytes); at += block.size()) {
        const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), size - at));
        if (::pwrite(fd, block.data(), length, static_cast<off_t>(at)) != static_cast<ssize_t>(length))
            break;
        block.erase(0, at == 0 ? 44 : 0);
    }
    if (::ftruncate(fd, static_cast<off_t>(size)) != 0)
        ::unlink(path.c_str());
    ::close(fd);
}

void ConvertFromDisk(benchmark::State& state)
{
    const auto size = static_cast<std::uint64_t>(state.range(0));
    const bool sparse = state.range(1) != 0;
    bench::ScratchFolder folder;
    const fs::path source = folder.Path() / "recording.wav";
    WriteRecording(source, size, sparse ? (4u << 20) : size);
    const ContentInfo info{"Bench", "(c)", 0, "20030601"};
    for (auto _ : state) {
        ConversionSteps steps(source.string());
        if (steps.Prepare() != StepFailure::None || steps.Finish(info) != StepFailure::None) {
            state.SkipWithError("conversion failed");
            break;
        }
    }
    state.counters["file_mb"] = static_cast<double>(size) / 1e6;
}

}  // namespace

BENCHMARK(ConvertFromDisk)
    ->ArgNames({"bytes", "sparse"})
    ->Args({16 * 1024, 0})
    ->Args({44 + 2LL * 3600 * 16000, 0})
    ->Args({1'500'000'000, 1})
    ->Unit(benchmark::kMillisecond);
