#include "GRAPHICS/COruLayer.h"

#include <vector>

#include "GRAPHICS/CDisplayObject.h"
#include "GRAPHICS/CMja.h"
#include "GRAPHICS/CSurfaceManager.h"
#include "GRAPHICS/DisplayObjectProperties.h"
#include "GRAPHICS/TweenRegistry.h"

namespace kestrin {

COruLayer::COruLayer(const std::shared_ptr<CSurfaceManager>& surfaceManager) : m_surfaceManager(surfaceManager) {}

COruLayer::COruLayer(const std::shared_ptr<CSurfaceManager>& surfaceManager,
                     const std::shared_ptr<IDisplayObject>& object, bool immediate)
    : CProgressiveLayerSet(object), m_surfaceManager(surfaceManager), m_immediate(immediate) {}

COruLayer::COruLayer(const std::shared_ptr<CSurfaceManager>& surfaceManager, const std::shared_ptr<ILayer>& layer)
    : CProgressiveLayerSet(layer), m_surfaceManager(surfaceManager) {}

std::shared_ptr<COruLayer> COruLayer::COruLayerWithLayer(const std::shared_ptr<CSurfaceManager>& surfaceManager,
                                                         const std::shared_ptr<ILayer>& layer) {
    return std::make_shared<COruLayer>(surfaceManager, layer);
}

std::shared_ptr<COruLayer> COruLayer::COruLayerWithObject(const std::shared_ptr<CSurfaceManager>& surfaceManager,
                                                          const std::shared_ptr<IDisplayObject>& object) {
    return std::make_shared<COruLayer>(surfaceManager, object);
}
COruLayer::COruLayer(const std::shared_ptr<CSurfaceManager>& surfaceManager, const std::shared_ptr<ILayer>& layer,
                     const std::shared_ptr<CMja>& movie)
    : CProgressiveLayerSet(layer), m_surfaceManager(surfaceManager), m_attachment(movie) {}

std::shared_ptr<COruLayer> COruLayer::COruLayerImmediate(const std::shared_ptr<CSurfaceManager>& surfaceManager,
                                                         const std::shared_ptr<IDisplayObject>& object) {
    return std::make_shared<COruLayer>(surfaceManager, object, true);
}

COruLayer::~COruLayer() {
    StopTweens();
    if (m_kind != kGroup && m_surfaceManager) {
        // The current and a pending next object usually share one image (an edit clones the
        // layer): each image the node holds is given back once.
        std::vector<ISurface*> given;
        auto giveBack = [&](IDisplayObject* object) {
            auto* layer = dynamic_cast<ILayer*>(object);
            ISurface* surface = layer ? layer->GetSurface() : nullptr;
            if (!surface) return;
            for (ISurface* s : given)
                if (s == surface) return;
            given.push_back(surface);
            m_surfaceManager->ReleaseSurface(surface);
        };
        giveBack(m_objects[m_currentObject].get());
        if (m_nextObject != m_currentObject) giveBack(m_objects[m_nextObject].get());
    }
}

IDisplayObject* COruLayer::BeginEdit() {
    if (m_immediate) return m_objects[m_currentObject].get();
    return CProgressiveLayerSet::BeginEdit();
}

CProgressiveDisplayObjectSet* COruLayer::CreateGroup() const { return new COruLayer(m_surfaceManager); }

IDisplayObject* COruLayer::Clone(bool copyState) const {
    auto* copy = new COruLayer(m_surfaceManager);
    if (copyState) {
        copy->CopyLayerSetFrom(*this);
        copy->m_attachment = m_attachment;
        copy->m_immediate = m_immediate;
        copy->m_tweenIds = m_tweenIds;
        copy->m_ownAlpha = m_ownAlpha;
    }
    return copy;
}

void COruLayer::Update(const CMatrix2D& parentMatrix, float parentAlpha) {
    if (m_attachment && m_attachment->IsFrameDue()) CPictureChanges::Mark();
    CProgressiveLayerSet::Update(parentMatrix, parentAlpha);
}

void COruLayer::Draw(const CMatrix2D& parentMatrix, float parentAlpha) {
    // A new frame is new content for a layer that keeps a resampled copy of its image.
    if (m_attachment && m_attachment->Update()) {
        ForEachLiveLayer([](ILayer* layer) {
            if (auto* object = dynamic_cast<CDisplayObject*>(layer))
                object->AddDirtyFlags(CDisplayObject::kDirtyContent);
        });
    }
    CProgressiveLayerSet::Draw(parentMatrix, parentAlpha);
}

bool COruLayer::FindLayer(const std::string& path, std::shared_ptr<COruLayer>& out) {
    std::shared_ptr<CProgressiveDisplayObjectSet> found;
    if (FindChild(path, found)) return true;
    auto layer = std::dynamic_pointer_cast<COruLayer>(found);
    if (!layer) return true;
    out = layer;
    return false;
}

void COruLayer::CollectLayers(const std::string& path, LayerMap& out, const std::string& prefix) {
    if (path.empty()) {
        for (const auto& child : GetNextChildren()) {
            auto* node = dynamic_cast<COruLayer*>(child.second.get());
            if (!node) continue;
            const std::string name = prefix + child.first;
            out[name] = node;
            if (node->GetKind() == kGroup) node->CollectLayers(std::string(), out, name + ".");
        }
        return;
    }
    auto* node = dynamic_cast<COruLayer*>(GetChild(path));
    if (!node) return;
    out[path] = node;
    if (node->GetKind() == kGroup) node->CollectLayers(std::string(), out, path + ".");
}

void COruLayer::CollectLayersNoPrefix(const std::string& path, LayerMap& out) {
    CollectLayers(path, out, std::string());
}

void COruLayer::SetProperties(const std::map<std::string, std::string>& attributes) {
    SetDisplayObjectProperties(BeginEdit(), attributes);
}

void COruLayer::AddTween(int32_t id) { m_tweenIds.insert(id); }

void COruLayer::StopTweens() {
    // Stopping may run code that touches this node: work from a copy.
    const std::set<int32_t> ids = std::move(m_tweenIds);
    m_tweenIds.clear();
    for (int32_t id : ids) StopTween(id);
}

void COruLayer::FinishTweens() {
    const std::set<int32_t> ids = std::move(m_tweenIds);
    m_tweenIds.clear();
    for (int32_t id : ids) FinishTween(id);
}

bool COruLayer::IsTweening() {
    IDisplayObject* next = GetNextObject();
    if (!next || !next->IsVisible()) return false;
    for (int32_t id : m_tweenIds)
        if (IsTweenRegistered(id)) return true;
    if (m_kind != kGroup) return false;
    for (const auto& child : GetNextChildren()) {
        auto* node = dynamic_cast<COruLayer*>(child.second.get());
        if (node && node->IsTweening()) return true;
    }
    return false;
}

void COruLayer::SetDraggable(bool draggable) {
    if (m_kind != kGroup) {
        CProgressiveLayerSet::SetDraggable(draggable);
        return;
    }
    for (const auto& child : GetNextChildren())
        if (auto* node = dynamic_cast<COruLayer*>(child.second.get())) node->SetDraggable(draggable);
}

}  // namespace kestrin
