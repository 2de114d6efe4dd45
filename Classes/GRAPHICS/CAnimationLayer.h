#pragma once
// A flip-book: shows one of its frames (display objects) at a time, each from its start time in
// milliseconds after SetFrame. A frame entry without an object ends the loop: the animation
// starts over from there. Paced by the timer, whatever the frame rate.
#include <cstdint>
#include <map>
#include <memory>

#include "GRAPHICS/CDisplayObject.h"

namespace kestrin {

class CAnimationLayer : public CDisplayObject {
public:
    using FrameMap = std::map<int32_t, std::shared_ptr<IDisplayObject>>;

    CAnimationLayer() = default;
    ~CAnimationLayer() override = default;

    void OnDraw(const CMatrix2D& worldMatrix, float alpha, int32_t flags) override;
    // Marks the picture changed when time has brought another frame.
    void OnUpdate(const CMatrix2D& worldMatrix, float alpha, int32_t flags) override;
    // Starts the animation now with this frame at time 0; drops every other frame.
    virtual void SetFrame(const std::shared_ptr<IDisplayObject>& frame);
    // Stores a frame (or, with an empty pointer, the loop end) at a time, replacing one there.
    virtual void AddFrame(const std::shared_ptr<IDisplayObject>& frame, int32_t time);

    // The extent is that of the frame at time 0.
    int32_t GetRight() const override;
    int32_t GetBottom() const override;
    int32_t GetWidth() const override;
    int32_t GetHeight() const override;
    IDisplayObject* Clone(bool copyState) const override;

    const FrameMap& GetFrames() const { return m_frames; }
    // Timer reading at which the current loop began.
    uint32_t GetStartTime() const { return m_startTime; }

private:
    IDisplayObject* FirstFrame() const;
    // The frame due at now (null: nothing is shown); a loop end moves the start on.
    IDisplayObject* FrameDue(uint32_t now);

    FrameMap m_frames;
    uint32_t m_startTime = 0;
    IDisplayObject* m_shown = nullptr;
};

}  // namespace kestrin
