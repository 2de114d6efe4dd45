#include "GRAPHICS/Platform/HeadlessVideoDecoder.h"

#include <algorithm>
#include <cstring>

namespace kestrin {

HeadlessVideoDecoder::HeadlessVideoDecoder(const SMovie& movie, std::shared_ptr<SLog> log)
    : m_movie(movie), m_log(std::move(log)) {}

bool HeadlessVideoDecoder::Open(const std::string& path) {
    if (m_log) m_log->opened.push_back(path);
    m_given = -1;
    m_soundGiven = 0;
    m_open = !m_movie.openFails && m_movie.fps > 0 && m_movie.frames > 0;
    if (!m_open) m_error = "cannot open " + path;
    return !m_open;
}

IVideoDecoder::EFrame HeadlessVideoDecoder::FrameAt(uint32_t ms, uint8_t* pixels, int32_t pitch) {
    if (m_log) m_log->times.push_back(ms);
    if (!m_open) return EFrame::kError;
    const uint64_t frame = uint64_t(ms) * m_movie.fps / 1000;
    if (frame >= m_movie.frames) return EFrame::kEnd;
    if (frame >= m_movie.errorAtFrame) {
        m_error = "damaged picture";
        return EFrame::kError;
    }
    if (int64_t(frame) == m_given) return EFrame::kSame;
    const uint32_t color = ColorOf(static_cast<uint32_t>(frame));
    for (int32_t y = 0; y < m_movie.height; ++y) {
        uint8_t* row = pixels + static_cast<ptrdiff_t>(y) * pitch;
        for (int32_t x = 0; x < m_movie.width; ++x) std::memcpy(row + 4 * x, &color, 4);
    }
    m_given = static_cast<int64_t>(frame);
    return EFrame::kNew;
}

size_t HeadlessVideoDecoder::ReadSound(uint32_t rate, int16_t* stereo, size_t frames) {
    if (!m_open || m_movie.soundLevel == 0) return 0;
    const uint64_t total = uint64_t(m_movie.frames) * rate / m_movie.fps;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(frames, total - std::min(total, m_soundGiven)));
    for (size_t i = 0; i < 2 * n; ++i) stereo[i] = m_movie.soundLevel;
    m_soundGiven += n;
    return n;
}

}  // namespace kestrin
