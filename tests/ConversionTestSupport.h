#pragma once
// Helpers shared by the conversion-step and command-line tests: scratch
// folders, synthesised WAVE files, the builder run directly and child processes.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "conversion/MelodyLimits.h"
#include "conversion/StepMessages.h"
#include "core/ByteBuffer.h"
#include "mld/MldBuilder.h"
#include "tests/WaveFixtures.h"

namespace quorbin::testing_support {

namespace fs = std::filesystem;

// A fresh folder that ordinary users may enter, removed afterwards.
class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "quorbin-test-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data());
        fs::permissions(m_path, fs::perms(0755));
    }
    ~TempFolder()
    {
        std::error_code ec;
        // Tests close folders to writing; open them again so they can be removed.
        fs::permissions(m_path, fs::perms(0755), ec);
        for (auto it = fs::recursive_directory_iterator(m_path, ec); !ec && it != fs::end(it); it.increment(ec)) {
            if (it->is_directory() && !it->is_symlink())
                fs::permissions(it->path(), fs::perms(0755), ec);
        }
        fs::remove_all(m_path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const fs::path& Path() const { return m_path; }
    fs::path operator/(const std::string& name) const { return m_path / name; }

    // Names of every entry, hidden ones included, sorted.
    std::vector<std::string> Entries(const std::string& sub = "") const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_path / sub))
            names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    fs::path m_path;
};

inline void WriteFile(const fs::path& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

inline std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline ByteBuffer ToBuffer(const std::string& bytes)
{
    return ByteBuffer(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

inline std::string FromBuffer(const ByteBuffer& buffer)
{
    return std::string(buffer.Bytes().begin(), buffer.Bytes().end());
}

// The samples of the WAVE file `wave` that can reach a melody file, and their rate.
inline std::vector<std::int16_t> WaveSamples(const std::string& wave, std::int32_t& rate)
{
    const ByteBuffer bytes = ToBuffer(wave);
    MemorySource source(bytes.Data(), bytes.Size());
    WaveReader reader = MelodyWaveReader();
    const Result<std::int32_t> parsed = reader.Parse(source);
    EXPECT_TRUE(parsed);
    rate = parsed ? *parsed : 0;
    const Result<std::vector<std::int16_t>> samples = reader.ReadSamples(source, 0, kMelodySampleLimit);
    EXPECT_TRUE(samples);
    return samples ? *samples : std::vector<std::int16_t>();
}

// The melody file that the builder makes of `wave` on its own.
inline std::string BuildDirectly(const std::string& wave, const ContentInfo& info,
                                 EncoderQuality quality = EncoderQuality::Standard)
{
    std::int32_t rate = 0;
    const std::vector<std::int16_t> samples = WaveSamples(wave, rate);
    const Result<ByteBuffer> melody = MldBuilder::Build(info, samples, rate, quality);
    EXPECT_TRUE(melody);
    return melody ? FromBuffer(*melody) : std::string();
}

struct WaveFormat {
    std::uint32_t rate = 8000;
    std::uint16_t channels = 1;
    std::uint16_t bits = 16;
    std::uint16_t tag = 1;
};

// `value` as the four little-endian bytes of a size field.
inline std::string Le32(std::uint32_t value)
{
    fixtures::Bytes bytes;
    fixtures::PutLe32(bytes, value);
    return std::string(bytes.begin(), bytes.end());
}

// A canonical WAVE file holding a 440 Hz tone of `samples` frames.
inline std::string MakeWave(std::uint32_t samples, WaveFormat format = {})
{
    fixtures::Chunk data{"data", {}};
    for (std::uint32_t i = 0; i < samples * format.channels; ++i) {
        const double value = 12000.0 * std::sin(2.0 * M_PI * 440.0 * i / format.rate);
        const auto sample = static_cast<std::uint16_t>(static_cast<std::int16_t>(value));
        if (format.bits == 8)
            data.body.push_back(static_cast<std::uint8_t>(sample));
        else
            fixtures::PutLe16(data.body, sample);
    }
    const fixtures::Chunk fmt{"fmt ", fixtures::FmtBody(format.rate, format.channels, format.bits, format.tag)};
    const fixtures::Bytes bytes = fixtures::RiffFile({fmt, data});
    return std::string(bytes.begin(), bytes.end());
}

// Runs `body` in a child process and returns its exit status (-1 if it died).
// With `unprivileged`, a root caller drops to the user "nobody" first so that
// permission bits apply.
inline int InChild(const std::function<int()>& body, bool unprivileged = false)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (unprivileged && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(99);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace quorbin::testing_support
