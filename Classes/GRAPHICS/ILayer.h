#pragma once
// A display object that shows one image, with an optional mask, a hit threshold, dragging and
// six pointer-event handlers.
#include <cstdint>
#include <functional>
#include <memory>

#include "GRAPHICS/IDisplayObject.h"

namespace kestrin {

class ISurface;

// A pointer-event handler; an empty one is never called.
using LayerEventHandler = std::function<void()>;

class ILayer : public virtual IDisplayObject {
public:
    // Non-owning; null when there is none.
    virtual ISurface* GetSurface() const = 0;
    virtual ISurface* GetMask() const = 0;
    virtual int32_t GetHitAlpha() const = 0;
    virtual bool IsDraggable() const = 0;
    virtual LayerEventHandler GetOnClick() const = 0;
    virtual LayerEventHandler GetOnRollOver() const = 0;
    virtual LayerEventHandler GetOnRollOut() const = 0;
    virtual LayerEventHandler GetOnDragIn() const = 0;
    virtual LayerEventHandler GetOnDrag() const = 0;
    virtual LayerEventHandler GetOnDragOut() const = 0;
    virtual void SetSurface(const std::shared_ptr<ISurface>& surface) = 0;
    virtual void SetMask(const std::shared_ptr<ISurface>& mask) = 0;
    virtual void SetHitAlpha(int32_t alpha) = 0;
    virtual void SetDraggable(bool draggable) = 0;
    virtual void SetOnClick(const LayerEventHandler& handler) = 0;
    virtual void ClearOnClick() = 0;
    virtual void SetOnRollOver(const LayerEventHandler& handler) = 0;
    virtual void ClearOnRollOver() = 0;
    virtual void SetOnRollOut(const LayerEventHandler& handler) = 0;
    virtual void ClearOnRollOut() = 0;
    virtual void SetOnDragIn(const LayerEventHandler& handler) = 0;
    virtual void ClearOnDragIn() = 0;
    virtual void SetOnDrag(const LayerEventHandler& handler) = 0;
    virtual void ClearOnDrag() = 0;
    virtual void SetOnDragOut(const LayerEventHandler& handler) = 0;
    virtual void ClearOnDragOut() = 0;
};

}  // namespace kestrin
