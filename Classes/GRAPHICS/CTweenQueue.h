#pragma once
// Tweens run one after the other, front first; registered as one tween.
#include <cstdint>
#include <deque>
#include <memory>

#include "GRAPHICS/ITween.h"

namespace kestrin {

class CTweenQueue : public ITween {
public:
    CTweenQueue() = default;
    ~CTweenQueue() override;
    CTweenQueue(const CTweenQueue&) = delete;
    CTweenQueue& operator=(const CTweenQueue&) = delete;

    // Takes ownership; appended at the back.
    void Push(ITween* tween);
    bool IsEmpty() const { return m_tweens.empty() && !m_current; }

    bool Update(uint32_t now) override;
    // Stop or Finish every queued tween in order and drop them all.
    void Stop() override;
    void Finish() override;

private:
    std::deque<ITween*> m_tweens;
    // The front tween while its Update runs, so that Stop or Finish called from inside
    // it never deletes it under its own feet.
    std::unique_ptr<ITween> m_current;
    bool m_dropped = false;
};

}  // namespace kestrin
