#include "GRAPHICS/TTween.h"

#include <cmath>
#include <limits>

#include "GRAPHICS/Easing.h"

namespace kestrin {

int32_t TruncateTweenValue(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

template <typename T>
bool TTween<T>::Update(uint32_t now) {
    if (m_done) return true;
    if (m_startTime == 0) {
        m_startTime = now + static_cast<uint32_t>(m_delay);
        m_endTime = m_startTime + m_duration;
    }
    double v;
    // A run of 0 ms is at its end as soon as it starts.
    if (now < m_startTime || (now == m_startTime && m_duration != 0)) {
        v = m_start;
    } else if (now >= m_endTime) {
        v = m_end;
    } else {
        const double e = static_cast<double>(now - m_startTime);
        const double d = static_cast<double>(m_endTime - m_startTime);
        v = Ease(m_ease, e, m_start, m_end - m_start, d);
    }
    Write(v);
    // The setter may have stopped or finished this tween.
    if (m_done) return true;
    if (v != m_end) return false;
    const uint32_t d = m_endTime - m_startTime;
    if (m_repeat != 0) {
        // The next cycle runs from the planned end, not from now.
        m_startTime = m_endTime;
        m_endTime += d;
        if (m_repeat != -1) --m_repeat;
        return false;
    }
    if (m_yoyo != 0) {
        std::swap(m_start, m_end);
        m_startTime = m_endTime;
        m_endTime += d;
        m_backward = !m_backward;
        if (m_yoyo != -1) --m_yoyo;
        return false;
    }
    m_done = true;
    RunOnFinish();
    return true;
}

template <typename T>
void TTween<T>::Finish() {
    if (m_done) return;
    // The end value the tween was created with, whichever leg runs.
    m_done = true;
    Write(m_backward ? m_start : m_end);
    RunOnFinish();
}

template class TTween<int32_t>;

}  // namespace kestrin
