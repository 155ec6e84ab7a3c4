// Time to convert a 48000 Hz stereo recording with resampling: one hour against
// ten seconds. Only the part that can reach the melody file is decoded, so the
// hour should cost about as much as the ten seconds.
#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "bench/ScratchFolder.h"
#include "cli/CommandLine.h"
#include "cli/ConvertCommand.h"

namespace {

namespace fs = std::filesystem;

constexpr int kRate = 48000;
constexpr int kChannels = 2;

const quorbin::bench::ScratchFolder& Folder()
{
    static const quorbin::bench::ScratchFolder folder;
    return folder;
}

// A 16-bit stereo WAVE of a 1 kHz tone, written one second at a time.
bool WriteToneRecording(const fs::path& path, int seconds)
{
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = kChannels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    std::vector<short> second(static_cast<std::size_t>(kRate) * kChannels);
    for (int frame = 0; frame < kRate; ++frame) {
        const double value = 0.5 * std::sin(2 * std::numbers::pi * 1000 * frame / kRate);
        second[frame * kChannels] = second[frame * kChannels + 1] = static_cast<short>(std::lround(value * 32767));
    }
    bool written = true;
    for (int s = 0; s < seconds && written; ++s)
        written = sf_writef_short(file, second.data(), kRate) == kRate;
    return sf_close(file) == 0 && written;
}

const fs::path& Recording(int seconds)
{
    static std::map<int, fs::path> made;
    auto found = made.find(seconds);
    if (found == made.end()) {
        fs::path path = Folder().Path() / ("tone-" + std::to_string(seconds) + "s.wav");
        if (!WriteToneRecording(path, seconds))
            path.clear();
        found = made.emplace(seconds, path).first;
    }
    return found->second;
}

void ConvertWithResampling(benchmark::State& state, int seconds)
{
    const fs::path& source = Recording(seconds);
    if (source.empty()) {
        state.SkipWithError("cannot write the recording");
        return;
    }
    const std::vector<quorbin::cli::Subcommand> commands = {quorbin::cli::ConvertSubcommand()};
    const std::vector<std::string> args = {"convert", "--resample", "--date", "20240101", source.string()};
    for (auto _ : state) {
        std::ostringstream out, err;
        if (quorbin::cli::RunCommandLine(args, commands, {out, err}) != 0) {
            state.SkipWithError(err.str().c_str());
            return;
        }
    }
    state.counters["source_seconds"] = seconds;
    state.counters["source_mb"] = static_cast<double>(fs::file_size(source)) / 1e6;
}

}  // namespace

BENCHMARK_CAPTURE(ConvertWithResampling, ten_seconds, 10)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ConvertWithResampling, one_hour, 3600)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
