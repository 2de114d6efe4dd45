#include "GRAPHICS/CProgressiveLayerSet.h"

namespace kestrin {

CProgressiveLayerSet::CProgressiveLayerSet(const std::shared_ptr<IDisplayObject>& object)
    : CProgressiveDisplayObjectSet(object) {}

CProgressiveLayerSet::CProgressiveLayerSet(const std::shared_ptr<ILayer>& layer)
    : CProgressiveDisplayObjectSet(std::static_pointer_cast<IDisplayObject>(layer)) {
    m_kind = kLayer;
    m_layers[0] = layer;
}

CProgressiveLayerSet::~CProgressiveLayerSet() = default;

IDisplayObject* CProgressiveLayerSet::BeginEdit() {
    if (m_kind != kLayer) return CProgressiveDisplayObjectSet::BeginEdit();
    if (m_nextObject == m_currentObject) {
        const int32_t other = 1 - m_currentObject;
        std::shared_ptr<ILayer> clone;
        if (ILayer* current = m_layers[m_currentObject].get()) {
            IDisplayObject* copy = current->Clone(true);
            clone.reset(dynamic_cast<ILayer*>(copy));
            if (!clone) delete copy;
        }
        m_layers[other] = clone;
        m_objects[other] = clone;
        m_nextObject = other;
    }
    return m_objects[m_nextObject].get();
}

void CProgressiveLayerSet::Commit() {
    const int32_t old = m_currentObject;
    const bool replaced = m_nextObject != m_currentObject;
    CProgressiveDisplayObjectSet::Commit();
    // The layer slot goes with its object slot.
    if (replaced) m_layers[old].reset();
}

CProgressiveDisplayObjectSet* CProgressiveLayerSet::CreateGroup() const { return new CProgressiveLayerSet(); }

void CProgressiveLayerSet::CopyLayerSetFrom(const CProgressiveLayerSet& other) {
    CopySetFrom(other);
    m_layers[0] = other.m_layers[0];
    m_layers[1] = other.m_layers[1];
}

IDisplayObject* CProgressiveLayerSet::Clone(bool copyState) const {
    auto* copy = static_cast<CProgressiveLayerSet*>(CreateGroup());
    if (copyState) copy->CopyLayerSetFrom(*this);
    return copy;
}

ISurface* CProgressiveLayerSet::GetSurface() const {
    ILayer* l = GetCurrentLayer();
    return l ? l->GetSurface() : nullptr;
}

ISurface* CProgressiveLayerSet::GetMask() const {
    ILayer* l = GetCurrentLayer();
    return l ? l->GetMask() : nullptr;
}

int32_t CProgressiveLayerSet::GetHitAlpha() const {
    ILayer* l = GetCurrentLayer();
    return l ? l->GetHitAlpha() : 0;
}

bool CProgressiveLayerSet::IsDraggable() const {
    ILayer* l = GetCurrentLayer();
    return l ? l->IsDraggable() : false;
}

#define KESTRIN_LAYERSET_HANDLER(name)                     \
    LayerEventHandler CProgressiveLayerSet::name() const { \
        ILayer* l = GetCurrentLayer();                     \
        return l ? l->name() : LayerEventHandler();        \
    }
KESTRIN_LAYERSET_HANDLER(GetOnClick)
KESTRIN_LAYERSET_HANDLER(GetOnRollOver)
KESTRIN_LAYERSET_HANDLER(GetOnRollOut)
KESTRIN_LAYERSET_HANDLER(GetOnDragIn)
KESTRIN_LAYERSET_HANDLER(GetOnDrag)
KESTRIN_LAYERSET_HANDLER(GetOnDragOut)
#undef KESTRIN_LAYERSET_HANDLER

#define KESTRIN_LAYERSET_SETTER(name, type)                   \
    void CProgressiveLayerSet::name(type value) {             \
        ForEachLiveLayer([&](ILayer* l) { l->name(value); }); \
    }
#define KESTRIN_LAYERSET_CLEAR(name)                     \
    void CProgressiveLayerSet::name() {                  \
        ForEachLiveLayer([&](ILayer* l) { l->name(); }); \
    }
KESTRIN_LAYERSET_SETTER(SetSurface, const std::shared_ptr<ISurface>&)
KESTRIN_LAYERSET_SETTER(SetMask, const std::shared_ptr<ISurface>&)
KESTRIN_LAYERSET_SETTER(SetHitAlpha, int32_t)
KESTRIN_LAYERSET_SETTER(SetDraggable, bool)
KESTRIN_LAYERSET_SETTER(SetOnClick, const LayerEventHandler&)
KESTRIN_LAYERSET_CLEAR(ClearOnClick)
KESTRIN_LAYERSET_SETTER(SetOnRollOver, const LayerEventHandler&)
KESTRIN_LAYERSET_CLEAR(ClearOnRollOver)
KESTRIN_LAYERSET_SETTER(SetOnRollOut, const LayerEventHandler&)
KESTRIN_LAYERSET_CLEAR(ClearOnRollOut)
KESTRIN_LAYERSET_SETTER(SetOnDragIn, const LayerEventHandler&)
KESTRIN_LAYERSET_CLEAR(ClearOnDragIn)
KESTRIN_LAYERSET_SETTER(SetOnDrag, const LayerEventHandler&)
KESTRIN_LAYERSET_CLEAR(ClearOnDrag)
KESTRIN_LAYERSET_SETTER(SetOnDragOut, const LayerEventHandler&)
KESTRIN_LAYERSET_CLEAR(ClearOnDragOut)
#undef KESTRIN_LAYERSET_SETTER
#undef KESTRIN_LAYERSET_CLEAR

}  // namespace kestrin
