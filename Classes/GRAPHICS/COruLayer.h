#pragma once
// The node class of the engine's layer tree: a progressive layer set that finds and collects
// nodes by dotted name, applies tag properties to the edited generation, keeps the ids of the
// tweens that animate it and gives a leaf layer's image back to the surface cache when it goes.
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "GRAPHICS/CProgressiveLayerSet.h"

namespace kestrin {

class CMja;
class CSurfaceManager;

class COruLayer : public CProgressiveLayerSet {
public:
    // Full dotted name to node (not owning), in name order.
    using LayerMap = std::map<std::string, COruLayer*>;

    // A group node (the root and every group).
    explicit COruLayer(const std::shared_ptr<CSurfaceManager>& surfaceManager);
    // A leaf holding a display object that is not a layer; immediate: edits go straight to the
    // current object (message layers placed in the tree).
    COruLayer(const std::shared_ptr<CSurfaceManager>& surfaceManager, const std::shared_ptr<IDisplayObject>& object,
              bool immediate = false);
    // A leaf holding an image layer.
    COruLayer(const std::shared_ptr<CSurfaceManager>& surfaceManager, const std::shared_ptr<ILayer>& layer);
    // A leaf holding a layer that shows a frame-sequence movie, kept alive with the node.
    COruLayer(const std::shared_ptr<CSurfaceManager>& surfaceManager, const std::shared_ptr<ILayer>& layer,
              const std::shared_ptr<CMja>& movie);
    ~COruLayer() override;

    // A leaf holding an image layer.
    static std::shared_ptr<COruLayer> COruLayerWithLayer(const std::shared_ptr<CSurfaceManager>& surfaceManager,
                                                         const std::shared_ptr<ILayer>& layer);
    // A leaf holding any display object.
    static std::shared_ptr<COruLayer> COruLayerWithObject(const std::shared_ptr<CSurfaceManager>& surfaceManager,
                                                          const std::shared_ptr<IDisplayObject>& object);
    // The immediate form of the display-object leaf.
    static std::shared_ptr<COruLayer> COruLayerImmediate(const std::shared_ptr<CSurfaceManager>& surfaceManager,
                                                         const std::shared_ptr<IDisplayObject>& object);

    IDisplayObject* BeginEdit() override;
    IDisplayObject* Clone(bool copyState) const override;
    // The movie, when there is one, moves to the frame due now before the node is drawn.
    void Draw(const CMatrix2D& parentMatrix, float parentAlpha) override;
    // A movie frame falling due changes the picture.
    void Update(const CMatrix2D& parentMatrix, float parentAlpha) override;

    // True when nothing is at the path (out untouched).
    virtual bool FindLayer(const std::string& path, std::shared_ptr<COruLayer>& out);
    // Empty path: every node of the next generation under prefix + its dotted name, parents
    // before children. Otherwise the node at the path and everything below it, by full name.
    virtual void CollectLayers(const std::string& path, LayerMap& out, const std::string& prefix);
    virtual void CollectLayersNoPrefix(const std::string& path, LayerMap& out);
    // Tag properties, applied to the object being edited (shown after the next commit unless
    // the node is immediate).
    virtual void SetProperties(const std::map<std::string, std::string>& attributes);
    virtual void AddTween(int32_t id);
    virtual void StopTweens();
    virtual void FinishTweens();
    // A visible node with a running tween, or a visible group with a tweening child.
    virtual bool IsTweening();
    // A group passes the flag to every child; a leaf sets its layer's flag.
    void SetDraggable(bool draggable) override;

    // The alpha the script gave the node ("lyprop"); fading the node in goes up to it.
    int32_t GetOwnAlpha() const { return m_ownAlpha; }
    void SetOwnAlpha(int32_t alpha) { m_ownAlpha = alpha; }

    bool IsImmediate() const { return m_immediate; }
    const std::set<int32_t>& GetTweenIds() const { return m_tweenIds; }
    const std::shared_ptr<CSurfaceManager>& GetSurfaceManager() const { return m_surfaceManager; }
    const std::shared_ptr<CMja>& GetAttachment() const { return m_attachment; }

protected:
    CProgressiveDisplayObjectSet* CreateGroup() const override;

private:
    std::shared_ptr<CSurfaceManager> m_surfaceManager;
    std::shared_ptr<CMja> m_attachment;
    bool m_immediate = false;
    std::set<int32_t> m_tweenIds;
    int32_t m_ownAlpha = 255;
};

}  // namespace kestrin
