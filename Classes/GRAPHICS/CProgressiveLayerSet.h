#pragma once
// A progressive node that also speaks the layer interface: for a node holding a layer, the
// getters answer from the current layer and the setters change the current layer and a pending
// next one; for other nodes they do nothing and answer empty values.
#include <cstdint>
#include <memory>

#include "GRAPHICS/CProgressiveDisplayObjectSet.h"
#include "GRAPHICS/ILayer.h"

namespace kestrin {

class CProgressiveLayerSet : public CProgressiveDisplayObjectSet, public ILayer {
public:
    // A group node.
    CProgressiveLayerSet() = default;
    // A leaf holding a display object that is not a layer.
    explicit CProgressiveLayerSet(const std::shared_ptr<IDisplayObject>& object);
    // A leaf holding a layer.
    explicit CProgressiveLayerSet(const std::shared_ptr<ILayer>& layer);
    ~CProgressiveLayerSet() override;

    IDisplayObject* BeginEdit() override;
    void Commit() override;
    IDisplayObject* Clone(bool copyState) const override;

    // The current layer (non-owning; null unless the node holds a layer).
    ILayer* GetCurrentLayer() const { return m_kind == kLayer ? m_layers[m_currentObject].get() : nullptr; }
    // The layer of the next generation (non-owning; null unless the node holds a layer).
    ILayer* GetNextLayer() const { return m_kind == kLayer ? m_layers[m_nextObject].get() : nullptr; }

    // ILayer
    ISurface* GetSurface() const override;
    ISurface* GetMask() const override;
    int32_t GetHitAlpha() const override;
    bool IsDraggable() const override;
    LayerEventHandler GetOnClick() const override;
    LayerEventHandler GetOnRollOver() const override;
    LayerEventHandler GetOnRollOut() const override;
    LayerEventHandler GetOnDragIn() const override;
    LayerEventHandler GetOnDrag() const override;
    LayerEventHandler GetOnDragOut() const override;
    void SetSurface(const std::shared_ptr<ISurface>& surface) override;
    void SetMask(const std::shared_ptr<ISurface>& mask) override;
    void SetHitAlpha(int32_t alpha) override;
    void SetDraggable(bool draggable) override;
    void SetOnClick(const LayerEventHandler& handler) override;
    void ClearOnClick() override;
    void SetOnRollOver(const LayerEventHandler& handler) override;
    void ClearOnRollOver() override;
    void SetOnRollOut(const LayerEventHandler& handler) override;
    void ClearOnRollOut() override;
    void SetOnDragIn(const LayerEventHandler& handler) override;
    void ClearOnDragIn() override;
    void SetOnDrag(const LayerEventHandler& handler) override;
    void ClearOnDrag() override;
    void SetOnDragOut(const LayerEventHandler& handler) override;
    void ClearOnDragOut() override;

protected:
    CProgressiveDisplayObjectSet* CreateGroup() const override;
    void CopyLayerSetFrom(const CProgressiveLayerSet& other);
    template <class F>
    void ForEachLiveLayer(F f) {
        if (m_kind != kLayer) return;
        if (ILayer* l = m_layers[m_currentObject].get()) f(l);
        if (m_nextObject != m_currentObject)
            if (ILayer* l = m_layers[m_nextObject].get()) f(l);
    }

    std::shared_ptr<ILayer> m_layers[2];
};

}  // namespace kestrin
