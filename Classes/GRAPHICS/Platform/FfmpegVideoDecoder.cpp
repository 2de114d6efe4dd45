#include "GRAPHICS/Platform/FfmpegVideoDecoder.h"

#include <utility>

#include "GRAPHICS/CSurface.h"
#include "GRAPHICS/Platform/FfmpegInput.h"
#include "GRAPHICS/Platform/FfmpegMovieSound.h"

namespace kestrin {

FfmpegVideoDecoder::FfmpegVideoDecoder(int threads) : m_threads(threads) {}

FfmpegVideoDecoder::~FfmpegVideoDecoder() { Close(); }

void FfmpegVideoDecoder::Close() {
    m_sound.reset();
    m_soundTried = false;
    if (m_av) {
        m_av->sws_freeContext(m_sws);
        m_sws = nullptr;
        m_av->av_frame_free(&m_current);
        m_av->av_frame_free(&m_pending);
        m_av->av_packet_free(&m_packet);
        m_av->avcodec_free_context(&m_codec);
        m_av->avformat_close_input(&m_format);
    }
    m_stream = -1;
    m_width = m_height = 0;
    m_firstTimestamp = 0;
    m_haveFirst = m_haveCurrent = m_havePending = m_given = m_flushing = m_drained = m_ended = false;
}

bool FfmpegVideoDecoder::Fail(const std::string& what, int code) {
    m_error = FfmpegErrorText(m_av, what, code);
    return true;
}

bool FfmpegVideoDecoder::Open(const std::string& path) {
    Close();
    m_error.clear();
    m_path = path;
    std::string loadError;
    m_av = LoadFfmpeg(loadError);
    if (!m_av) return Fail(loadError, 0);
    const std::string failure =
        OpenFfmpegInput(*m_av, path, AVMEDIA_TYPE_VIDEO, m_threads, m_format, m_codec, m_stream);
    if (!failure.empty()) {
        Close();
        return Fail(failure, 0);
    }
    AVStream* stream = m_format->streams[m_stream];
    m_width = m_codec->width;
    m_height = m_codec->height;
    if (!CSurface::IsValidSize(m_width, m_height, ISurface::kPixel32)) {
        Close();
        return Fail(path + " has a picture size that cannot be shown", 0);
    }
    m_timeBase[0] = stream->time_base.num;
    m_timeBase[1] = stream->time_base.den > 0 ? stream->time_base.den : 1;
    AVRational rate = stream->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) rate = stream->r_frame_rate;
    m_frameMs = rate.num > 0 && rate.den > 0 ? 1000.0 * rate.den / rate.num : 40.0;
    m_packet = m_av->av_packet_alloc();
    m_current = m_av->av_frame_alloc();
    m_pending = m_av->av_frame_alloc();
    if (!m_packet || !m_current || !m_pending) {
        Close();
        return Fail("out of memory for " + path, 0);
    }
    return false;
}

FfmpegVideoDecoder::EDecode FfmpegVideoDecoder::DecodeNext(AVFrame* frame) {
    for (;;) {
        int r = m_av->avcodec_receive_frame(m_codec, frame);
        if (r == 0) return EDecode::kFrame;
        if (r == AVERROR_EOF) return EDecode::kEnd;
        if (r != AVERROR(EAGAIN)) {
            Fail("the movie cannot be decoded", r);
            return EDecode::kError;
        }
        if (m_flushing) return EDecode::kEnd;
        // At the end of the file (or of what can be read of it) the pictures still held in
        // the decoder come out, then the movie ends.
        r = SendNextPacket(*m_av, m_format, m_codec, m_packet, m_stream, m_flushing);
        if (r < 0 && r != AVERROR(EAGAIN)) {
            Fail("the movie cannot be decoded", r);
            return EDecode::kError;
        }
    }
}

double FfmpegVideoDecoder::TimeOf(AVFrame* frame) {
    const int64_t timestamp = frame->best_effort_timestamp;
    double ms;
    if (timestamp == AV_NOPTS_VALUE) {
        ms = m_haveFirst ? m_lastMs + m_frameMs : 0.0;
    } else {
        if (!m_haveFirst) m_firstTimestamp = timestamp;
        // One rounding only, so that a picture due at a whole millisecond is due at exactly it.
        ms = static_cast<double>(timestamp - m_firstTimestamp) * 1000.0 * m_timeBase[0] / m_timeBase[1];
    }
    // Never backwards: a picture stamped before the one shown is shown right after it.
    if (m_haveFirst && ms < m_lastMs) ms = m_lastMs;
    m_haveFirst = true;
    m_lastMs = ms;
    return ms;
}

bool FfmpegVideoDecoder::Convert(AVFrame* frame, uint8_t* pixels, int32_t pitch) {
    m_sws = m_av->sws_getCachedContext(m_sws, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                                       m_width, m_height, AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!m_sws) {
        Fail("the pictures of the movie cannot be converted", 0);
        return true;
    }
    // Full-range pictures and other colour matrices than the default, as the stream says.
    int* inverse = nullptr;
    int sourceRange = 0, destinationRange = 0, brightness = 0, contrast = 0, saturation = 0;
    int* table = nullptr;
    if (m_av->sws_getColorspaceDetails(m_sws, &inverse, &sourceRange, &table, &destinationRange, &brightness, &contrast,
                                       &saturation) >= 0) {
        const int wantedRange = frame->color_range == AVCOL_RANGE_JPEG ? 1 : sourceRange;
        const int* coefficients = m_av->sws_getCoefficients(frame->colorspace);
        if (frame->colorspace != AVCOL_SPC_UNSPECIFIED || wantedRange != sourceRange)
            m_av->sws_setColorspaceDetails(m_sws, coefficients, wantedRange, table, destinationRange, brightness,
                                           contrast, saturation);
    }
    uint8_t* planes[4] = {pixels, nullptr, nullptr, nullptr};
    int strides[4] = {pitch, 0, 0, 0};
    if (m_av->sws_scale(m_sws, frame->data, frame->linesize, 0, frame->height, planes, strides) <= 0) {
        Fail("the pictures of the movie cannot be converted", 0);
        return true;
    }
    return false;
}

size_t FfmpegVideoDecoder::ReadSound(uint32_t rate, int16_t* stereo, size_t frames) {
    if (!m_codec) return 0;
    if (!m_soundTried) {
        m_soundTried = true;
        m_sound = std::make_unique<FfmpegMovieSound>();
        // A movie without sound plays silent.
        // Placed against the first picture's time in the file.
        const double start = m_haveFirst ? static_cast<double>(m_firstTimestamp) * m_timeBase[0] / m_timeBase[1] : 0.0;
        if (m_sound->Open(m_path, rate, start)) m_sound.reset();
    }
    return m_sound ? m_sound->Read(stereo, frames) : 0;
}

IVideoDecoder::EFrame FfmpegVideoDecoder::FrameAt(uint32_t ms, uint8_t* pixels, int32_t pitch) {
    if (!m_codec) {
        if (m_error.empty()) m_error = "no movie is open";
        return EFrame::kError;
    }
    if (m_ended) return EFrame::kEnd;
    bool changed = false;
    if (!m_haveCurrent) {
        const EDecode r = DecodeNext(m_current);
        if (r != EDecode::kFrame) {
            if (r == EDecode::kEnd) Fail("the movie holds no picture", 0);
            return EFrame::kError;
        }
        m_currentMs = TimeOf(m_current);
        m_haveCurrent = true;
        changed = true;
    }
    const double now = static_cast<double>(ms);
    for (;;) {
        if (!m_havePending && !m_drained) {
            const EDecode r = DecodeNext(m_pending);
            if (r == EDecode::kError) return EFrame::kError;
            if (r == EDecode::kEnd) m_drained = true;
            if (r == EDecode::kFrame) {
                m_pendingMs = TimeOf(m_pending);
                m_havePending = true;
            }
        }
        if (!m_havePending || m_pendingMs > now) break;
        std::swap(m_current, m_pending);
        m_currentMs = m_pendingMs;
        m_havePending = false;
        changed = true;
    }
    // Every picture is out and the last one has had its time.
    if (m_drained && !m_havePending && now >= m_currentMs + m_frameMs) {
        m_ended = true;
        return EFrame::kEnd;
    }
    if (changed || !m_given) {
        if (!pixels || Convert(m_current, pixels, pitch)) return EFrame::kError;
        m_given = true;
        return EFrame::kNew;
    }
    return EFrame::kSame;
}

}  // namespace kestrin
