// One "quorbin-cli convert" call over 1000 short recordings, as it runs and
// under eatmydata, which turns every sync into nothing: the ratio of the two
// is what the syncing of a batch costs. The melody files are synced once per
// batch, so the ratio should stay below 2.
#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "WaveFixtures.h"
#include "bench/ScratchFolder.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace quorbin;

constexpr int kFiles = 1000;

// Half a second of a tone at 8000 Hz: a melody file of about 2 KB.
fixtures::Bytes ShortRecording()
{
    std::vector<std::int16_t> samples(4000);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(9000 * std::sin(static_cast<double>(i) * 0.3455));
    return fixtures::RiffFile({fixtures::Fmt(8000), fixtures::Data(samples)});
}

// Runs `argv` to its end; the seconds it took, or a negative number when it failed.
double SecondsToRun(std::vector<std::string> argv)
{
    std::vector<char*> pointers;
    for (std::string& arg : argv)
        pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    int status = 0;
    if (::posix_spawnp(&pid, pointers[0], nullptr, nullptr, pointers.data(), environ) != 0
        || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return -1.0;
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// `convert` over the recordings, writing into `out` inside `folder`.
std::vector<std::string> ConvertInto(const fs::path& folder, const std::string& out,
                                     const std::vector<std::string>& recordings)
{
    fs::create_directory(folder / out);
    std::vector<std::string> convert = {QUORBIN_CLI_PATH,       "convert", "-q", "--date", "20030601", "--output-dir",
                                        (folder / out).string()};
    convert.insert(convert.end(), recordings.begin(), recordings.end());
    return convert;
}

// Each call writes into a folder of its own, so that the second and later
// calls replace files that were made the same way.
void BatchOfSmallFiles(benchmark::State& state)
{
    bench::ScratchFolder folder;
    const fixtures::Bytes wave = ShortRecording();
    std::vector<std::string> recordings;
    for (int i = 0; i < kFiles; ++i) {
        const fs::path path = folder.Path() / ("r" + std::to_string(i) + ".wav");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(wave.data()), static_cast<std::streamsize>(wave.size()));
        recordings.push_back(path.string());
    }
    const std::vector<std::string> convert = ConvertInto(folder.Path(), "synced", recordings);
    std::vector<std::string> unsynced = ConvertInto(folder.Path(), "unsynced", recordings);
    unsynced.insert(unsynced.begin(), "eatmydata");
    double synced = 0.0, unsyncedTotal = 0.0;
    for (auto _ : state) {
        const double withSync = SecondsToRun(convert);
        const double withoutSync = SecondsToRun(unsynced);
        if (withSync < 0 || withoutSync < 0) {
            state.SkipWithError("quorbin-cli or eatmydata (Debian package eatmydata) failed");
            break;
        }
        state.SetIterationTime(withSync);
        synced += withSync;
        unsyncedTotal += withoutSync;
    }
    state.counters["unsynced_s"] = benchmark::Counter(unsyncedTotal, benchmark::Counter::kAvgIterations);
    state.counters["ratio"] = unsyncedTotal > 0 ? synced / unsyncedTotal : 0.0;
}

}  // namespace

BENCHMARK(BatchOfSmallFiles)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
