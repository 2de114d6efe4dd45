#include "GRAPHICS/CAnimationLayer.h"

#include <algorithm>
#include <climits>

#include "CORE/CFrameDemand.h"
#include "CORE/CTimer.h"

namespace kestrin {

void CAnimationLayer::SetFrame(const std::shared_ptr<IDisplayObject>& frame) {
    CPictureChanges::Mark();
    m_startTime = CTimer::GetInstance()->GetTime();
    m_frames.clear();
    m_frames[0] = frame;
}

void CAnimationLayer::AddFrame(const std::shared_ptr<IDisplayObject>& frame, int32_t time) {
    CPictureChanges::Mark();
    m_frames[time] = frame;
}

void CAnimationLayer::OnUpdate(const CMatrix2D&, float, int32_t) {
    const uint32_t now = CTimer::GetInstance()->GetTime();
    IDisplayObject* due = FrameDue(now);
    if (due != m_shown) {
        m_shown = due;
        CPictureChanges::Mark();
    }
    // The next entry (a frame or the loop's end) is the next change; FrameDue left the start
    // inside the loop, so the elapsed time is below the last entry while one is still ahead.
    const int64_t elapsed = static_cast<uint32_t>(now - m_startTime);
    auto next = m_frames.upper_bound(static_cast<int32_t>(std::min<int64_t>(elapsed, INT32_MAX)));
    if (next != m_frames.end()) CFrameDemand::Within(static_cast<uint32_t>(next->first - elapsed));
}

void CAnimationLayer::OnDraw(const CMatrix2D& worldMatrix, float alpha, int32_t) {
    m_shown = FrameDue(CTimer::GetInstance()->GetTime());
    if (m_shown) m_shown->Draw(worldMatrix, alpha);
}

IDisplayObject* CAnimationLayer::FrameDue(uint32_t now) {
    // Two passes at most: a loop end moves the start on by every whole loop at once, after which
    // the elapsed time lies inside the loop.
    for (int pass = 0; pass < 2; ++pass) {
        // The clock wraps at 2^32: the difference is taken in 32 unsigned bits.
        const int64_t elapsed = static_cast<uint32_t>(now - m_startTime);
        int32_t previous = 0;
        bool restarted = false;
        for (const auto& [time, frame] : m_frames) {
            if (elapsed < time) {
                // Looked up without inserting: a missing frame under 0 simply draws nothing.
                auto it = m_frames.find(previous);
                return it != m_frames.end() ? it->second.get() : nullptr;
            }
            if (!frame) {
                // A loop end at time 0 (or before) would restart for ever: nothing is shown.
                if (time <= 0) return nullptr;
                const int64_t loops = elapsed / time;
                m_startTime += static_cast<uint32_t>(loops * time);
                restarted = true;
                break;
            }
            previous = time;
        }
        // Past the last entry, which only ends the frame before it: nothing is drawn.
        if (!restarted) return nullptr;
    }
    return nullptr;
}

IDisplayObject* CAnimationLayer::FirstFrame() const {
    auto it = m_frames.find(0);
    return it != m_frames.end() ? it->second.get() : nullptr;
}

int32_t CAnimationLayer::GetRight() const {
    IDisplayObject* f = FirstFrame();
    return f ? f->GetRight() : GetX();
}

int32_t CAnimationLayer::GetBottom() const {
    IDisplayObject* f = FirstFrame();
    return f ? f->GetBottom() : GetY();
}

int32_t CAnimationLayer::GetWidth() const {
    IDisplayObject* f = FirstFrame();
    return f ? f->GetWidth() : 0;
}

int32_t CAnimationLayer::GetHeight() const {
    IDisplayObject* f = FirstFrame();
    return f ? f->GetHeight() : 0;
}

IDisplayObject* CAnimationLayer::Clone(bool copyState) const {
    auto* copy = new CAnimationLayer();
    if (copyState) {
        copy->CopyFrom(*this);
        copy->m_frames = m_frames;
        copy->m_startTime = m_startTime;
    }
    return copy;
}

}  // namespace kestrin
