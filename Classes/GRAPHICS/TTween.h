#pragma once
// A tween that drives an integer property through one of the easing curves,
// with repeats (whole cycles) and yoyo turns (legs back and forth).
#include <cstdint>
#include <functional>

#include "GRAPHICS/ITween.h"

namespace kestrin {

// Truncation toward zero; values beyond int32 saturate.
int32_t TruncateTweenValue(double v);

template <typename T>
class TTween : public ITween {
public:
    using Setter = std::function<void(T)>;
    using Handler = std::function<void()>;

    // start/end: the values of the first leg; duration and delay in milliseconds.
    TTween(Setter setter, T start, T end, uint32_t duration, int32_t delay)
        : m_start(static_cast<double>(start)),
          m_end(static_cast<double>(end)),
          m_duration(duration),
          m_delay(delay),
          m_setter(std::move(setter)) {}

    // Curve kind: 0 linear, 1..30 the easing curves; others ease linearly.
    TTween& SetEase(int32_t kind) {
        m_ease = kind;
        return *this;
    }
    // Extra whole cycles; -1 for ever.
    TTween& SetRepeat(int32_t count) {
        m_repeat = count;
        return *this;
    }
    // Turns back and forth after the repeats; -1 for ever.
    TTween& SetYoyo(int32_t count) {
        m_yoyo = count;
        return *this;
    }
    void SetOnFinish(Handler handler) { m_onFinish = std::move(handler); }

    int32_t GetRepeat() const { return m_repeat; }
    bool IsBackward() const { return m_backward; }

    bool Update(uint32_t now) override;
    void Stop() override { m_done = true; }
    void Finish() override;

private:
    void Write(double v) {
        if (m_setter) m_setter(ToValue(v));
    }
    static T ToValue(double v) { return static_cast<T>(TruncateTweenValue(v)); }
    void RunOnFinish() {
        if (m_onFinish) {
            // A copy: the handler may replace itself through SetOnFinish.
            Handler handler = m_onFinish;
            handler();
        }
    }

    int32_t m_ease = 0;
    double m_start;
    double m_end;
    uint32_t m_duration;
    int32_t m_delay;
    uint32_t m_startTime = 0;
    uint32_t m_endTime = 0;
    int32_t m_repeat = 0;
    int32_t m_yoyo = 0;
    bool m_backward = false;
    Setter m_setter;
    Handler m_onFinish;
    bool m_done = false;
};

extern template class TTween<int32_t>;

}  // namespace kestrin
