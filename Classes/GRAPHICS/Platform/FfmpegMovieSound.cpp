#include "GRAPHICS/Platform/FfmpegMovieSound.h"

#include "GRAPHICS/Platform/FfmpegInput.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kestrin {

FfmpegMovieSound::~FfmpegMovieSound() { Close(); }

void FfmpegMovieSound::Close() {
    if (m_av) {
        m_av->swr_free(&m_swr);
        m_av->av_frame_free(&m_frame);
        m_av->av_packet_free(&m_packet);
        m_av->avcodec_free_context(&m_codec);
        m_av->avformat_close_input(&m_format);
    }
    m_stream = -1;
    m_swrFormat = -1;
    m_swrRate = m_swrChannels = 0;
    m_queue.clear();
    m_queueStart = 0;
    m_placed = false;
    m_skipFrames = 0;
    m_flushing = m_ended = false;
}

bool FfmpegMovieSound::Fail(const std::string& what, int code) {
    m_error = FfmpegErrorText(m_av, what, code);
    return true;
}

bool FfmpegMovieSound::Open(const std::string& path, uint32_t rate, double startSeconds) {
    Close();
    m_error.clear();
    m_rate = rate;
    m_startSeconds = startSeconds;
    if (rate == 0) return Fail("no sound rate", 0);
    std::string loadError;
    m_av = LoadFfmpeg(loadError);
    if (!m_av) return Fail(loadError, 0);
    const std::string failure = OpenFfmpegInput(*m_av, path, AVMEDIA_TYPE_AUDIO, 0, m_format, m_codec, m_stream);
    if (!failure.empty()) {
        Close();
        return Fail(failure, 0);
    }
    m_packet = m_av->av_packet_alloc();
    m_frame = m_av->av_frame_alloc();
    if (!m_packet || !m_frame) {
        Close();
        return Fail("out of memory for " + path, 0);
    }
    return false;
}

bool FfmpegMovieSound::Convert(AVFrame* frame) {
    const int channels = frame->ch_layout.nb_channels;
    if (channels <= 0 || frame->sample_rate <= 0) {
        Fail("the sound of the movie has no channels or no rate", 0);
        return true;
    }
    if (!m_swr || frame->format != m_swrFormat || frame->sample_rate != m_swrRate || channels != m_swrChannels) {
        m_av->swr_free(&m_swr);
        AVChannelLayout in = {};
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            m_av->av_channel_layout_default(&in, channels);
        else if (m_av->av_channel_layout_copy(&in, &frame->ch_layout) < 0)
            m_av->av_channel_layout_default(&in, channels);
        AVChannelLayout out = AV_CHANNEL_LAYOUT_STEREO;
        const int r =
            m_av->swr_alloc_set_opts2(&m_swr, &out, AV_SAMPLE_FMT_S16, static_cast<int>(m_rate), &in,
                                      static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr);
        m_av->av_channel_layout_uninit(&in);
        if (r < 0 || m_av->swr_init(m_swr) < 0) {
            m_av->swr_free(&m_swr);
            Fail("the sound of the movie cannot be converted", r);
            return true;
        }
        m_swrFormat = frame->format;
        m_swrRate = frame->sample_rate;
        m_swrChannels = channels;
    }
    const int room = m_av->swr_get_out_samples(m_swr, frame ? frame->nb_samples : 0);
    if (room <= 0) return false;
    // Samples given are dropped from the queue's front before it grows.
    if (m_queueStart > 0) {
        m_queue.erase(m_queue.begin(), m_queue.begin() + static_cast<std::ptrdiff_t>(m_queueStart));
        m_queueStart = 0;
    }
    const size_t used = m_queue.size();
    m_queue.resize(used + size_t(room) * 2);
    uint8_t* outPlanes[1] = {reinterpret_cast<uint8_t*>(m_queue.data() + used)};
    const int made =
        m_av->swr_convert(m_swr, outPlanes, room, const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
    if (made < 0) {
        m_queue.resize(used);
        Fail("the sound of the movie cannot be converted", made);
        return true;
    }
    m_queue.resize(used + size_t(made) * 2);
    return false;
}

bool FfmpegMovieSound::Refill() {
    if (!m_codec || m_ended) return false;
    for (;;) {
        int r = m_av->avcodec_receive_frame(m_codec, m_frame);
        if (r == 0) {
            if (!m_placed) {
                m_placed = true;
                const int64_t timestamp = m_frame->best_effort_timestamp;
                if (timestamp != AV_NOPTS_VALUE) {
                    const AVRational base = m_format->streams[m_stream]->time_base;
                    const double seconds = static_cast<double>(timestamp) * base.num / (base.den ? base.den : 1);
                    // Bounded, so that a wild timestamp costs no more than a minute of silence.
                    const double limit = 60.0 * m_rate;
                    const double offset = std::max(-limit, std::min(limit, (seconds - m_startSeconds) * m_rate));
                    const int64_t frames = static_cast<int64_t>(std::llround(offset));
                    if (frames > 0)
                        m_queue.insert(m_queue.end(), size_t(frames) * 2, int16_t(0));
                    else
                        m_skipFrames = static_cast<uint64_t>(-frames);
                }
            }
            const bool failed = Convert(m_frame);
            m_av->av_frame_unref(m_frame);
            if (failed) {
                m_ended = true;
                return false;
            }
            return true;
        }
        if (r != AVERROR(EAGAIN) || m_flushing) {
            if (r != AVERROR_EOF && r != AVERROR(EAGAIN)) Fail("the sound of the movie cannot be decoded", r);
            // What the converter still holds comes out last.
            if (m_swr) {
                const int room = m_av->swr_get_out_samples(m_swr, 0);
                if (room > 0) {
                    const size_t used = m_queue.size();
                    m_queue.resize(used + size_t(room) * 2);
                    uint8_t* outPlanes[1] = {reinterpret_cast<uint8_t*>(m_queue.data() + used)};
                    const int made = m_av->swr_convert(m_swr, outPlanes, room, nullptr, 0);
                    m_queue.resize(used + size_t(made > 0 ? made : 0) * 2);
                }
            }
            m_ended = true;
            return m_queue.size() > m_queueStart;
        }
        // A damaged packet is skipped: the sound goes on with the next one.
        (void)SendNextPacket(*m_av, m_format, m_codec, m_packet, m_stream, m_flushing);
    }
}

size_t FfmpegMovieSound::Read(int16_t* stereo, size_t frames) {
    size_t given = 0;
    while (given < frames) {
        const size_t queued = (m_queue.size() - m_queueStart) / 2;
        if (queued == 0) {
            if (!Refill()) break;
            continue;
        }
        if (m_skipFrames > 0) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(queued, m_skipFrames));
            m_queueStart += n * 2;
            m_skipFrames -= n;
            continue;
        }
        const size_t n = std::min(queued, frames - given);
        std::memcpy(stereo + 2 * given, m_queue.data() + m_queueStart, n * 2 * sizeof(int16_t));
        m_queueStart += n * 2;
        given += n;
    }
    return given;
}

}  // namespace kestrin
