#include "conversion/ConversionSteps.h"

#include <cstdio>
#include <utility>

#include "platform/Cp932.h"

namespace quorbin {
namespace {

constexpr std::size_t kPathLimitBytes = 260;      // a path must be shorter than this in CP932
constexpr std::size_t kTitleLimitBytes = 50;
constexpr std::uint64_t kLargestSource = 0x7FFFFFFF;  // sizes are held as 32-bit counts
constexpr std::string_view kWaveExtension = ".wav";

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EndsWithWaveExtension(std::string_view path) {
    if (path.size() < kWaveExtension.size()) return false;
    const std::string_view tail = path.substr(path.size() - kWaveExtension.size());
    for (std::size_t i = 0; i < tail.size(); ++i) {
        if (LowerAscii(tail[i]) != kWaveExtension[i]) return false;
    }
    return true;
}

std::string_view FileNamePart(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// Length of the file name's extension with its dot; a leading dot starts a hidden name.
std::size_t ExtensionLength(std::string_view path) {
    const std::string_view name = FileNamePart(path);
    const std::size_t dot = name.rfind('.');
    return (dot == std::string_view::npos || dot == 0) ? 0 : name.size() - dot;
}

int ParseResultToStringId(std::int32_t result) {
    switch (result) {
    case WAVE_INVALID: return IDS_INVALID_WAVE;
    case WAVE_UNSUPPORTED: return IDS_UNSUPPORTED_FORMAT;
    case WAVE_TOO_SHORT: return IDS_PLAYTIME_TOO_SHORT;
    default: return result > 0 ? 0 : IDS_INVALID_WAVE;
    }
}

} // namespace

ConversionSteps::ConversionSteps(std::string droppedPath, ConversionOptions options)
    : m_droppedPath(std::move(droppedPath)), m_options(std::move(options)) {
    if (!m_options.freeSpace) m_options.freeSpace = GetFreeDiskBytes;
}

int ConversionSteps::Prepare() {
    // The limit counts CP932 bytes; a character CP932 lacks becomes one "?".
    if (Utf8ToCp932Lossy(m_droppedPath).size() >= kPathLimitBytes) return IDS_FILENAME_TOO_LONG;
    if (!EndsWithWaveExtension(m_droppedPath)) return IDS_NOT_WAV_EXTENSION;
    m_extensionLength = kWaveExtension.size();

    switch (ReadWholeFile(m_droppedPath, kLargestSource, m_source)) {
    case ReadStatus::Ok: break;
    case ReadStatus::TooLarge: return IDS_INVALID_WAVE;
    case ReadStatus::CannotOpen:
    case ReadStatus::ReadError: return IDS_CANNOT_OPEN_WAVE;
    }
    return ParseSource();
}

int ConversionSteps::PrepareDecoded(const SourceDecoder& decode) {
    if (Utf8ToCp932Lossy(m_droppedPath).size() >= kPathLimitBytes) return IDS_FILENAME_TOO_LONG;
    m_extensionLength = ExtensionLength(m_droppedPath);
    if (const int failure = decode(m_droppedPath, m_source)) return failure;
    return ParseSource();
}

int ConversionSteps::ParseSource() {
    const std::int32_t result = m_builder.Parse(m_source);
    if (const int failure = ParseResultToStringId(result)) return failure;
    m_sampleRate = result;

    const std::string_view name = FileNamePart(m_droppedPath);
    std::string title = Utf8ToCp932Lossy(name.substr(0, name.size() - m_extensionLength));
    title.resize(Cp932PrefixLength(title, kTitleLimitBytes));
    m_defaultTitle = std::move(title);
    return 0;
}

int ConversionSteps::Finish(const ContentInfo& info) {
    m_outputSize = 0;
    if (m_sampleRate <= 0) return IDS_CANNOT_SAVE_MLD;

    ByteBuffer melody;
    melody.Reserve(m_source.Size());
    const std::int32_t built = m_builder.Build(info, m_source, m_sampleRate, melody);
    m_source.Clear();
    if (built != 0) return IDS_CANNOT_SAVE_MLD;

    m_outputPath = m_options.outputPath.empty()
                       ? std::filesystem::path(m_droppedPath.substr(0, m_droppedPath.size() - m_extensionLength) + ".mld")
                       : m_options.outputPath;

    const auto size = static_cast<std::uint32_t>(melody.Size());
    const std::filesystem::path folder =
        m_outputPath.has_parent_path() ? m_outputPath.parent_path() : std::filesystem::path(".");
    const double freeBytes = m_options.freeSpace(folder);
    if (!(freeBytes > static_cast<double>(size))) return IDS_DISK_SPACE;

    if (!SaveFileAtomically(m_outputPath, melody)) return IDS_CANNOT_SAVE_MLD;
    m_outputSize = size;
    return IDS_OUTPUT_SIZE;
}

std::string FormatSizeReport(std::uint32_t size, Language language) {
    char number[32];
    std::snprintf(number, sizeof number, "%.2f", size / 1024.0);
    return std::string(LoadString(IDS_OUTPUT_SIZE, language)) + number + "KB";
}

std::string ConversionSteps::ReportText(Language language) const {
    return FormatSizeReport(m_outputSize, language);
}

} // namespace quorbin
