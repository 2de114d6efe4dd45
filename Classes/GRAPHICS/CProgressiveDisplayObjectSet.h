#pragma once
// A node of the double-buffered layer tree. It holds its display object (a property holder
// for a group) and its children by name, each in two generations: scripts edit the next one,
// the screen shows the current one, and Commit makes the next generation current in the whole
// subtree at once. Edits are copy-on-write: a node's object or child map is copied only when it
// is first edited after a commit, or when a pass walking that map is under way.
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "GRAPHICS/CDisplayObject.h"
#include "GRAPHICS/IDisplayObject.h"

namespace kestrin {

class CProgressiveDisplayObjectSet : public virtual IDisplayObject {
public:
    enum Kind : int32_t { kGroup = 0, kObject = 1, kLayer = 2 };
    // Most names a path stored by AddChild may have.
    static constexpr int32_t kMaxPathNames = 128;
    // Ordered by plain byte comparison of the names: that order is the stacking order.
    using ChildMap = std::map<std::string, std::shared_ptr<CProgressiveDisplayObjectSet>>;

    // Stands for a group's own position, alpha and so on; its hooks walk the group's children
    // under its world matrix and combined alpha.
    class CPropertyHolder : public CDisplayObject {
    public:
        explicit CPropertyHolder(CProgressiveDisplayObjectSet* owner) : m_owner(owner) {}
        void OnUpdate(const CMatrix2D& worldMatrix, float alpha, int32_t flags) override;
        void OnDraw(const CMatrix2D& worldMatrix, float alpha, int32_t flags) override;
        IDisplayObject* Clone(bool copyState) const override;
        CProgressiveDisplayObjectSet* GetOwner() const { return m_owner; }

    private:
        CProgressiveDisplayObjectSet* m_owner;
    };

    // A group node.
    CProgressiveDisplayObjectSet();
    // A leaf holding a display object.
    explicit CProgressiveDisplayObjectSet(const std::shared_ptr<IDisplayObject>& object);
    ~CProgressiveDisplayObjectSet() override;
    CProgressiveDisplayObjectSet(const CProgressiveDisplayObjectSet&) = delete;
    CProgressiveDisplayObjectSet& operator=(const CProgressiveDisplayObjectSet&) = delete;

    // Update / draw pass over the next generation.
    virtual void UpdateFrame(const CMatrix2D& matrix, float alpha);
    virtual void DrawFrame(const CMatrix2D& matrix, float alpha);
    virtual int32_t GetKind() const { return m_kind; }
    // Dotted path on the next generation; true when not found (out untouched).
    virtual bool FindChild(const std::string& path, std::shared_ptr<CProgressiveDisplayObjectSet>& out);
    // The node at the dotted path of the next generation, or null.
    virtual CProgressiveDisplayObjectSet* GetChild(const std::string& path);
    virtual const ChildMap& GetChildren() const { return *m_children[m_currentChildren]; }
    virtual const ChildMap& GetNextChildren() const { return *m_children[m_nextChildren]; }
    virtual IDisplayObject* GetNextObject() const { return m_objects[m_nextObject].get(); }
    // The object to change for the next generation, cloned from the current one on first use.
    virtual IDisplayObject* BeginEdit();
    // Stores the node at the dotted path of the next generation, making missing groups; an
    // empty node removes the path. A path through a leaf changes nothing.
    virtual void AddChild(const std::string& path, const std::shared_ptr<CProgressiveDisplayObjectSet>& node);
    // Makes the next generation current in the whole subtree.
    virtual void Commit();
    // Children of the next generation while a frame pass runs, else of the current one.
    // Updates visit the top-most (last) name first; draws the bottom-most first.
    virtual void UpdateChildren(const CMatrix2D& matrix, float alpha);
    virtual void DrawChildren(const CMatrix2D& matrix, float alpha);

    // True while an edit of the object or of the child map waits for a commit.
    bool IsEdited() const { return m_nextObject != m_currentObject || m_nextChildren != m_currentChildren; }
    // The current object (non-owning).
    IDisplayObject* GetCurrentObject() const { return m_objects[m_currentObject].get(); }

    // IDisplayObject: getters answer from the current object; setters change the current
    // object and a pending next one, so that a direct change shows at once and survives the
    // next commit.
    int32_t GetX() const override;
    int32_t GetY() const override;
    int32_t GetRight() const override;
    int32_t GetBottom() const override;
    int32_t GetWidth() const override;
    int32_t GetHeight() const override;
    // A new group node of the same class; with copyState it shares this node's objects and
    // child nodes.
    IDisplayObject* Clone(bool copyState) const override;
    void Update(const CMatrix2D& parentMatrix, float parentAlpha) override;
    void Draw(const CMatrix2D& parentMatrix, float parentAlpha) override;
    int32_t GetAlpha() const override;
    int32_t GetAnchorX() const override;
    int32_t GetAnchorY() const override;
    int32_t GetXScale() const override;
    int32_t GetYScale() const override;
    int32_t GetRotate() const override;
    bool IsReverseX() const override;
    bool IsReverseY() const override;
    const IRect& GetClip() const override;
    int32_t GetLayerMode() const override;
    bool IsVisible() const override;
    int32_t GetDirtyFlags() const override;
    void SetX(int32_t x) override;
    void SetY(int32_t y) override;
    void SetAlpha(int32_t alpha) override;
    void SetAnchorX(int32_t x) override;
    void SetAnchorY(int32_t y) override;
    void SetXScale(int32_t scale) override;
    void SetYScale(int32_t scale) override;
    void SetRotate(int32_t degrees) override;
    void SetReverseX(bool reverse) override;
    void SetReverseY(bool reverse) override;
    void SetClip(const IRect& clip) override;
    void SetLayerMode(int32_t mode) override;
    void SetVisible(bool visible) override;

protected:
    // A new empty group node of this node's class (what Clone and AddChild make).
    virtual CProgressiveDisplayObjectSet* CreateGroup() const;
    // Copies the state Clone(true) copies.
    void CopySetFrom(const CProgressiveDisplayObjectSet& other);
    // Applies a change to the current object and to a pending next one.
    template <class F>
    void ForEachLiveObject(F f) {
        if (IDisplayObject* o = m_objects[m_currentObject].get()) f(o);
        if (m_nextObject != m_currentObject)
            if (IDisplayObject* o = m_objects[m_nextObject].get()) f(o);
    }
    // The next child map, ready to change: copied first when it is the current one or when
    // anyone else (a pass walking it, a clone) holds it.
    ChildMap& EditChildren();
    // The empty map every node starts with, shared (and so never changed in place).
    static const std::shared_ptr<ChildMap>& EmptyChildren();
    // Number of names in a dotted path.
    static int32_t CountNames(const std::string& path);

    int32_t m_kind = kGroup;
    std::shared_ptr<IDisplayObject> m_objects[2];
    // Held by pointer so that a pass walks a map without copying it: an edit meanwhile
    // changes a copy, and the map walked stays alive as it was.
    std::shared_ptr<ChildMap> m_children[2] = {EmptyChildren(), EmptyChildren()};
    int32_t m_currentObject = 0;
    int32_t m_nextObject = 0;
    int32_t m_currentChildren = 0;
    int32_t m_nextChildren = 0;
    bool m_inFrame = false;
};

}  // namespace kestrin
