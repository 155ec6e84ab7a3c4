// Decoding through FFmpeg's libraries. The recording is read through the
// descriptor the caller opened, never by name; only the demuxers of audio
// files read it, with no protocol, so nothing it names (playlist entries,
// other files, addresses) is ever opened.
#include "decode/FfmpegReader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avstring.h>
#include <libswresample/swresample.h>
}
#include <algorithm>
#include <cerrno>
#include <new>
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

// The demuxers of audio files. Everything else is refused, above all those
// that read a text as instructions to open other files, devices or network
// addresses (sdp, rtp, hls, concat, image2, tee, ...).
constexpr const char* kAudioFormats =
    "wav,w64,aiff,caf,au,flac,ogg,mp3,mov,amr,amrnb,amrwb,aac,matroska,asf,ac3,eac3,ape,wv,voc,mpc,mpc8,tta,dts,"
    "xwma,dsf";

// The demuxers that find a time through an index of every packet and stamp
// each packet with its exact place: MP4/M4A/3GP and ADTS. Others (MP3, Ogg,
// Matroska, ...) are read from the start as before: their seeks land near a
// time, and their stamps are estimates or whole milliseconds.
constexpr const char* kExactlySeekingFormats = "mov,aac";

bool IsAudioFormat(const AVInputFormat& format)
{
    return av_match_list(format.name, kAudioFormats, ',') > 0;
}

// The decoders need some sound before a place to decode it as reading from the
// start does (AAC overlaps each frame with the one before it); what they give
// for this lead-in is dropped.
constexpr double kPreRollSeconds = 0.2;

// FFmpeg reports a failed allocation as ENOMEM, which ends decoding as C++ does.
int ThrowWhenOutOfMemory(int result)
{
    if (result == AVERROR(ENOMEM))
        throw std::bad_alloc();
    return result;
}

InputCursor& CursorOf(void* opaque)
{
    return *static_cast<InputCursor*>(opaque);
}

int ReadFromInput(void* opaque, std::uint8_t* buffer, int size)
{
    const ssize_t got = CursorOf(opaque).Read(buffer, static_cast<std::size_t>(size));
    if (got < 0)
        return AVERROR(errno);
    return got == 0 ? AVERROR_EOF : static_cast<int>(got);
}

std::int64_t SeekInInput(void* opaque, std::int64_t offset, int whence)
{
    InputCursor& cursor = CursorOf(opaque);
    if (whence & AVSEEK_SIZE)
        return static_cast<std::int64_t>(*cursor.Input().size);
    const std::int64_t position = cursor.Seek(offset, whence & ~AVSEEK_FORCE);
    return position < 0 ? AVERROR(EINVAL) : position;
}

// Nothing a recording names (another file, a playlist entry, an address) is opened.
int RefuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**)
{
    return AVERROR(EPERM);
}

class FfmpegReader final : public FrameReader {
public:
    explicit FfmpegReader(const RecordingInput& input) : m_cursor(input) {}
    ~FfmpegReader() override { av_channel_layout_uninit(&m_swrLayout); }

    OpenStatus Open();
    int Channels() const override { return m_channels; }
    int Rate() const override { return m_rate; }
    std::optional<std::uint64_t> StatedFrames() const override { return m_statedFrames; }
    long Read(float* interleaved, long frames) override;
    bool CanSeek() const override { return m_seekable; }
    bool Seek(std::uint64_t frame) override;

private:
    bool OpenIo();
    // The demuxer of the recording's format when it is an audio file's.
    OpenStatus Probe(const AVInputFormat*& format);
    bool OpenDecoder();
    // Decodes more into m_pending; false at the end or on an error (m_failed).
    bool DecodeMore();
    bool Convert(const AVFrame& frame);
    // Whether timestamps of the best stream count its samples, so that a seek lands exactly.
    bool StampsCountSamples() const;
    // The frame at which the frame last decoded starts; none without a timestamp.
    std::optional<std::uint64_t> DecodedPlace() const;
    // Seeks to the last key point at least the pre-roll before `frame` and
    // decodes from there; false when the stamps found do not lead to `frame`.
    bool SeekInContainer(std::uint64_t frame);
    // Starts over from the first byte, as just opened; false when that fails.
    bool Restart();
    void ForgetDecoded();

    InputCursor m_cursor;
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
    // Whether the container states the length itself (not estimated from the
    // bit rate): then nothing past it is handed out. A codec's padding after
    // the stated end (a last AAC frame's) is not part of the recording.
    bool m_lengthStated = false;
    std::vector<float> m_pending;  // converted frames not yet handed out
    std::size_t m_pendingStart = 0;
    std::uint64_t m_position = 0;                  // frames handed out, or sought
    std::int64_t m_decodedStamp = AV_NOPTS_VALUE;  // of the frame last decoded
    bool m_seekable = false;
    bool m_flushed = false;
    bool m_ended = false;
    bool m_failed = false;
};

bool FfmpegReader::OpenIo()
{
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferSize));
    if (!buffer)
        throw std::bad_alloc();
    const bool seekable = m_cursor.Input().Seekable();
    m_io.reset(avio_alloc_context(buffer, kIoBufferSize, 0, &m_cursor, ReadFromInput, nullptr,
                                  seekable ? SeekInInput : nullptr));
    if (!m_io) {
        av_free(buffer);
        throw std::bad_alloc();
    }
    m_io->seekable = seekable ? AVIO_SEEKABLE_NORMAL : 0;
    return true;
}

OpenStatus FfmpegReader::Probe(const AVInputFormat*& format)
{
    // The name only helps to recognise formats without a signature; it is never opened.
    const char* name = m_cursor.Input().name.c_str();
    if (ThrowWhenOutOfMemory(av_probe_input_buffer2(m_io.get(), &format, name, nullptr, 0, 0)) < 0 || !format)
        return OpenStatus::Unreadable;
    return IsAudioFormat(*format) ? OpenStatus::Ok : OpenStatus::Refused;
}

OpenStatus FfmpegReader::Open()
{
    if (!m_packet || !m_frame)
        throw std::bad_alloc();
    OpenIo();
    const AVInputFormat* probed = nullptr;
    if (const OpenStatus status = Probe(probed); status != OpenStatus::Ok)
        return status;
    AVFormatContext* format = avformat_alloc_context();
    if (!format)
        throw std::bad_alloc();
    format->pb = m_io.get();
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    format->io_open = RefuseNestedOpen;
    // No protocol at all, and only the demuxers of audio files, also for anything a demuxer opens inside.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "format_whitelist", kAudioFormats, 0);
    av_dict_set(&options, "protocol_whitelist", "", 0);
    const int opened = avformat_open_input(&format, m_cursor.Input().name.c_str(), probed, &options);
    av_dict_free(&options);  // what it left unused
    if (ThrowWhenOutOfMemory(opened) < 0)
        return OpenStatus::Unreadable;  // `format` is freed
    m_format.reset(format);
    if (ThrowWhenOutOfMemory(avformat_find_stream_info(format, nullptr)) < 0 || !OpenDecoder())
        return OpenStatus::Unreadable;
    return OpenStatus::Ok;
}

bool FfmpegReader::OpenDecoder()
{
    const AVCodec* decoder = nullptr;
    m_stream = av_find_best_stream(m_format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (m_stream < 0 || !decoder)
        return false;
    const AVStream& stream = *m_format->streams[m_stream];
    m_codec.reset(avcodec_alloc_context3(decoder));
    if (!m_codec)
        throw std::bad_alloc();
    if (ThrowWhenOutOfMemory(avcodec_parameters_to_context(m_codec.get(), stream.codecpar)) < 0)
        return false;
    m_codec->thread_count = 1;
    if (ThrowWhenOutOfMemory(avcodec_open2(m_codec.get(), decoder, nullptr)) < 0)
        return false;
    m_channels = m_codec->ch_layout.nb_channels;
    m_rate = m_codec->sample_rate;
    if (m_channels <= 0 || m_rate <= 0)
        return false;
    m_seekable = m_cursor.Input().Seekable() && av_match_list(m_format->iformat->name, kExactlySeekingFormats, ',') > 0
                 && StampsCountSamples();
    if (stream.duration > 0 && stream.duration != AV_NOPTS_VALUE) {
        m_statedFrames = static_cast<std::uint64_t>(av_rescale_q(stream.duration, stream.time_base, {1, m_rate}));
        m_lengthStated = m_format->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE;
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
        if (ThrowWhenOutOfMemory(swr_init(swr)) < 0)
            return false;
        m_swrFormat = frame.format;
    }
    const std::size_t used = m_pending.size();
    m_pending.resize(used + static_cast<std::size_t>(frame.nb_samples) * m_channels);
    auto* out = reinterpret_cast<std::uint8_t*>(m_pending.data() + used);
    const int converted = swr_convert(m_swr.get(), &out, frame.nb_samples,
                                      const_cast<const std::uint8_t**>(frame.extended_data), frame.nb_samples);
    if (ThrowWhenOutOfMemory(converted) < 0)
        return false;
    m_pending.resize(used + static_cast<std::size_t>(converted) * m_channels);
    return true;
}

bool FfmpegReader::DecodeMore()
{
    for (;;) {
        const int received = ThrowWhenOutOfMemory(avcodec_receive_frame(m_codec.get(), m_frame.get()));
        if (received == 0) {
            m_decodedStamp = m_frame->best_effort_timestamp;
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
        const int read = ThrowWhenOutOfMemory(av_read_frame(m_format.get(), m_packet.get()));
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
            const int sent = ThrowWhenOutOfMemory(avcodec_send_packet(m_codec.get(), m_packet.get()));
            if (sent < 0 && sent != AVERROR_INVALIDDATA)
                m_failed = true;
        }
        av_packet_unref(m_packet.get());
        if (m_failed)
            return false;
    }
}

bool FfmpegReader::StampsCountSamples() const
{
    const AVRational base = m_format->streams[m_stream]->time_base;
    return base.num == 1 && base.den > 0 && base.den % m_rate == 0;
}

std::optional<std::uint64_t> FfmpegReader::DecodedPlace() const
{
    const AVStream& stream = *m_format->streams[m_stream];
    std::int64_t stamp = m_decodedStamp;
    if (stamp == AV_NOPTS_VALUE)
        return std::nullopt;
    if (stream.start_time != AV_NOPTS_VALUE)
        stamp -= stream.start_time;
    const std::int64_t place = av_rescale_q(stamp, stream.time_base, {1, m_rate});
    return static_cast<std::uint64_t>(std::max<std::int64_t>(place, 0));
}

void FfmpegReader::ForgetDecoded()
{
    m_pending.clear();
    m_pendingStart = 0;
    m_flushed = false;
    m_ended = false;
}

bool FfmpegReader::SeekInContainer(std::uint64_t frame)
{
    const AVStream& stream = *m_format->streams[m_stream];
    const auto preRoll =
        std::max<std::uint64_t>(static_cast<std::uint64_t>(kPreRollSeconds * m_rate),
                                static_cast<std::uint64_t>(std::max(stream.codecpar->seek_preroll, 0)));
    const std::uint64_t from = frame - std::min(frame, preRoll);
    std::int64_t stamp = av_rescale_q(static_cast<std::int64_t>(from), {1, m_rate}, stream.time_base);
    if (stream.start_time != AV_NOPTS_VALUE)
        stamp += stream.start_time;
    if (ThrowWhenOutOfMemory(avformat_seek_file(m_format.get(), m_stream, INT64_MIN, stamp, stamp, 0)) < 0)
        return false;
    avcodec_flush_buffers(m_codec.get());
    ForgetDecoded();
    // The first frame decoded must lie no later than the lead-in asks; what
    // comes before `frame` is dropped here, before anyone mixes or resamples it.
    for (bool first = true;; first = false) {
        m_pending.clear();
        m_pendingStart = 0;
        if (!DecodeMore())
            return !m_failed && !first;  // the end came first: nothing lies at `frame`
        const std::optional<std::uint64_t> start = DecodedPlace();
        if (!start || (first && *start > from))
            return false;
        const std::uint64_t decoded = m_pending.size() / static_cast<std::size_t>(m_channels);
        if (*start + decoded > frame) {
            m_pendingStart = static_cast<std::size_t>(frame - std::min(frame, *start)) * m_channels;
            return true;
        }
    }
}

bool FfmpegReader::Restart()
{
    m_codec.reset();
    m_format.reset();
    m_io.reset();
    m_swr.reset();
    m_swrFormat = -1;
    ForgetDecoded();
    m_failed = false;
    m_position = 0;
    m_cursor.Seek(0, SEEK_SET);
    return Open() == OpenStatus::Ok;
}

bool FfmpegReader::Seek(std::uint64_t frame)
{
    // Close ahead, decoding is cheaper than seeking.
    const auto near = static_cast<std::uint64_t>(kPreRollSeconds * m_rate);
    if (frame >= m_position && frame - m_position <= near) {
        const std::uint64_t from = m_position;
        return DropFrames(*this, frame - from);
    }
    if (!SeekInContainer(frame)) {
        // The stamps did not lead there: from the first byte, as without seeking.
        if (m_failed || !Restart())
            return false;
        return DropFrames(*this, frame);
    }
    m_position = frame;
    return true;
}

long FfmpegReader::Read(float* interleaved, long frames)
{
    if (m_lengthStated) {
        const std::uint64_t left = *m_statedFrames - std::min(*m_statedFrames, m_position);
        frames = static_cast<long>(std::min<std::uint64_t>(static_cast<std::uint64_t>(frames), left));
    }
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
    m_position += static_cast<std::uint64_t>(done);
    return m_failed ? -1 : done;
}

}  // namespace

void InitialiseFfmpeg(bool verbose)
{
    av_log_set_level(verbose ? AV_LOG_WARNING : AV_LOG_QUIET);
}

std::unique_ptr<FrameReader> OpenWithFfmpeg(const RecordingInput& input, OpenStatus& status)
{
    auto reader = std::make_unique<FfmpegReader>(input);
    status = reader->Open();
    if (status != OpenStatus::Ok)
        return nullptr;
    return reader;
}

}  // namespace quorbin::decode
