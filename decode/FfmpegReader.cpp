// Decoding through FFmpeg's libraries. The file is read through the descriptor
// the caller opened, never by name, and nothing the file refers to (playlists,
// other files or addresses) is ever opened.
#include "decode/FfmpegReader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace quorbin::decode {
namespace {

constexpr int kIoBufferSize = 32768;

struct FormatCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct IoCloser {
    void operator()(AVIOContext* io) const
    {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
struct CodecCloser {
    void operator()(AVCodecContext* codec) const { avcodec_free_context(&codec); }
};
struct PacketCloser {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameCloser {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct SwrCloser {
    void operator()(SwrContext* swr) const { swr_free(&swr); }
};

int ReadFromDescriptor(void* opaque, std::uint8_t* buffer, int size)
{
    const int fd = *static_cast<int*>(opaque);
    ssize_t got;
    do {
        got = ::read(fd, buffer, static_cast<std::size_t>(size));
    } while (got < 0 && errno == EINTR);
    if (got < 0)
        return AVERROR(errno);
    return got == 0 ? AVERROR_EOF : static_cast<int>(got);
}

std::int64_t SeekDescriptor(void* opaque, std::int64_t offset, int whence)
{
    const int fd = *static_cast<int*>(opaque);
    if (whence & AVSEEK_SIZE) {
        struct stat status {};
        return ::fstat(fd, &status) == 0 ? status.st_size : AVERROR(errno);
    }
    const off_t position = ::lseek(fd, offset, whence & ~AVSEEK_FORCE);
    return position < 0 ? AVERROR(errno) : position;
}

int RefuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**)
{
    return AVERROR(EPERM);
}

class FfmpegReader final : public FrameReader {
public:
    explicit FfmpegReader(int fd) : m_fd(fd) {}
    ~FfmpegReader() override { av_channel_layout_uninit(&m_swrLayout); }

    bool Open(const char* name);
    int Channels() const override { return m_channels; }
    int Rate() const override { return m_rate; }
    std::optional<std::uint64_t> StatedFrames() const override { return m_statedFrames; }
    long Read(float* interleaved, long frames) override;

private:
    bool OpenDecoder();
    // Decodes more into m_pending; false at the end or on an error (m_failed).
    bool DecodeMore();
    bool Convert(const AVFrame& frame);

    int m_fd;
    std::unique_ptr<AVIOContext, IoCloser> m_io;
    std::unique_ptr<AVFormatContext, FormatCloser> m_format;
    std::unique_ptr<AVCodecContext, CodecCloser> m_codec;
    std::unique_ptr<AVPacket, PacketCloser> m_packet{av_packet_alloc()};
    std::unique_ptr<AVFrame, FrameCloser> m_frame{av_frame_alloc()};
    std::unique_ptr<SwrContext, SwrCloser> m_swr;
    AVChannelLayout m_swrLayout{};
    int m_swrFormat = -1;
    int m_stream = -1;
    int m_channels = 0;
    int m_rate = 0;
    std::optional<std::uint64_t> m_statedFrames;
    std::vector<float> m_pending;  // converted frames not yet handed out
    std::size_t m_pendingStart = 0;
    bool m_flushed = false;
    bool m_ended = false;
    bool m_failed = false;
};

bool FfmpegReader::Open(const char* name)
{
    if (!m_packet || !m_frame)
        return false;
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferSize));
    if (!buffer)
        return false;
    m_io.reset(avio_alloc_context(buffer, kIoBufferSize, 0, &m_fd, ReadFromDescriptor, nullptr, SeekDescriptor));
    if (!m_io) {
        av_free(buffer);
        return false;
    }
    AVFormatContext* format = avformat_alloc_context();
    if (!format)
        return false;
    format->pb = m_io.get();
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    format->io_open = RefuseNestedOpen;
    // The name only helps to recognise formats without a signature; it is never opened.
    if (avformat_open_input(&format, name, nullptr, nullptr) < 0)
        return false;  // frees `format`
    m_format.reset(format);
    if (avformat_find_stream_info(format, nullptr) < 0)
        return false;
    return OpenDecoder();
}

bool FfmpegReader::OpenDecoder()
{
    const AVCodec* decoder = nullptr;
    m_stream = av_find_best_stream(m_format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (m_stream < 0 || !decoder)
        return false;
    const AVStream& stream = *m_format->streams[m_stream];
    m_codec.reset(avcodec_alloc_context3(decoder));
    if (!m_codec || avcodec_parameters_to_context(m_codec.get(), stream.codecpar) < 0)
        return false;
    m_codec->thread_count = 1;
    if (avcodec_open2(m_codec.get(), decoder, nullptr) < 0)
        return false;
    m_channels = m_codec->ch_layout.nb_channels;
    m_rate = m_codec->sample_rate;
    if (m_channels <= 0 || m_rate <= 0)
        return false;
    if (stream.duration > 0 && stream.duration != AV_NOPTS_VALUE) {
        m_statedFrames = static_cast<std::uint64_t>(av_rescale_q(stream.duration, stream.time_base, {1, m_rate}));
    } else if (m_format->duration > 0) {
        m_statedFrames = static_cast<std::uint64_t>(av_rescale(m_format->duration, m_rate, AV_TIME_BASE));
    }
    return true;
}

// Any sample format and layout of the decoder becomes interleaved float, channel
// for channel and at the same rate: mixing and resampling come later.
bool FfmpegReader::Convert(const AVFrame& frame)
{
    if (frame.ch_layout.nb_channels != m_channels || frame.sample_rate != m_rate)
        return false;
    if (!m_swr || frame.format != m_swrFormat || av_channel_layout_compare(&frame.ch_layout, &m_swrLayout) != 0) {
        av_channel_layout_uninit(&m_swrLayout);
        if (av_channel_layout_copy(&m_swrLayout, &frame.ch_layout) < 0)
            return false;
        SwrContext* swr = nullptr;
        if (swr_alloc_set_opts2(&swr, &m_swrLayout, AV_SAMPLE_FMT_FLT, m_rate, &m_swrLayout,
                                static_cast<AVSampleFormat>(frame.format), m_rate, 0, nullptr)
            < 0)
            return false;
        m_swr.reset(swr);
        if (swr_init(swr) < 0)
            return false;
        m_swrFormat = frame.format;
    }
    const std::size_t used = m_pending.size();
    m_pending.resize(used + static_cast<std::size_t>(frame.nb_samples) * m_channels);
    auto* out = reinterpret_cast<std::uint8_t*>(m_pending.data() + used);
    const int converted = swr_convert(m_swr.get(), &out, frame.nb_samples,
                                      const_cast<const std::uint8_t**>(frame.extended_data), frame.nb_samples);
    if (converted < 0)
        return false;
    m_pending.resize(used + static_cast<std::size_t>(converted) * m_channels);
    return true;
}

bool FfmpegReader::DecodeMore()
{
    for (;;) {
        const int received = avcodec_receive_frame(m_codec.get(), m_frame.get());
        if (received == 0) {
            const bool converted = Convert(*m_frame);
            av_frame_unref(m_frame.get());
            if (!converted)
                m_failed = true;
            return converted;
        }
        if (received == AVERROR_EOF)
            return false;
        if (received != AVERROR(EAGAIN)) {
            m_failed = true;
            return false;
        }
        if (m_flushed)
            return false;
        const int read = av_read_frame(m_format.get(), m_packet.get());
        if (read == AVERROR_EOF) {
            m_flushed = true;
            avcodec_send_packet(m_codec.get(), nullptr);
            continue;
        }
        if (read < 0) {
            m_failed = true;
            return false;
        }
        if (m_packet->stream_index == m_stream) {
            // A damaged packet is skipped, as players do; the rest still plays.
            const int sent = avcodec_send_packet(m_codec.get(), m_packet.get());
            if (sent < 0 && sent != AVERROR_INVALIDDATA)
                m_failed = true;
        }
        av_packet_unref(m_packet.get());
        if (m_failed)
            return false;
    }
}

long FfmpegReader::Read(float* interleaved, long frames)
{
    long done = 0;
    while (done < frames) {
        if (m_pendingStart == m_pending.size()) {
            m_pending.clear();
            m_pendingStart = 0;
            if (m_ended || !DecodeMore()) {
                m_ended = true;
                break;
            }
            continue;
        }
        const std::size_t available = (m_pending.size() - m_pendingStart) / m_channels;
        const std::size_t take = std::min<std::size_t>(available, static_cast<std::size_t>(frames - done));
        std::copy_n(m_pending.data() + m_pendingStart, take * m_channels, interleaved + done * m_channels);
        m_pendingStart += take * m_channels;
        done += static_cast<long>(take);
    }
    return m_failed ? -1 : done;
}

}  // namespace

std::unique_ptr<FrameReader> OpenWithFfmpeg(int fd, const char* name)
{
    av_log_set_level(AV_LOG_QUIET);  // damaged files are reported by our own messages
    auto reader = std::make_unique<FfmpegReader>(fd);
    if (!reader->Open(name))
        return nullptr;
    return reader;
}

}  // namespace quorbin::decode
