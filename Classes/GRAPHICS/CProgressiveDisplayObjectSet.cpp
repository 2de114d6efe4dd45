#include "GRAPHICS/CProgressiveDisplayObjectSet.h"

#include "CORE/CLogWindow.h"
#include "CORE/StringHelpers.h"
#include "GRAPHICS/CPictureChanges.h"
#include "GRAPHICS/CRect.h"

namespace kestrin {

void CProgressiveDisplayObjectSet::CPropertyHolder::OnUpdate(const CMatrix2D& worldMatrix, float alpha, int32_t) {
    if (m_owner) m_owner->UpdateChildren(worldMatrix, alpha);
}

void CProgressiveDisplayObjectSet::CPropertyHolder::OnDraw(const CMatrix2D& worldMatrix, float alpha, int32_t) {
    if (m_owner) m_owner->DrawChildren(worldMatrix, alpha);
}

IDisplayObject* CProgressiveDisplayObjectSet::CPropertyHolder::Clone(bool copyState) const {
    auto* copy = new CPropertyHolder(m_owner);
    if (copyState) copy->CopyFrom(*this);
    return copy;
}

CProgressiveDisplayObjectSet::CProgressiveDisplayObjectSet() : m_kind(kGroup) {
    m_objects[0] = std::make_shared<CPropertyHolder>(this);
}

CProgressiveDisplayObjectSet::CProgressiveDisplayObjectSet(const std::shared_ptr<IDisplayObject>& object)
    : m_kind(kObject) {
    m_objects[0] = object;
}

CProgressiveDisplayObjectSet::~CProgressiveDisplayObjectSet() = default;

void CProgressiveDisplayObjectSet::UpdateFrame(const CMatrix2D& matrix, float alpha) {
    m_inFrame = true;
    if (IDisplayObject* next = m_objects[m_nextObject].get()) next->Update(matrix, alpha);
    m_inFrame = false;
}

void CProgressiveDisplayObjectSet::DrawFrame(const CMatrix2D& matrix, float alpha) {
    m_inFrame = true;
    if (IDisplayObject* next = m_objects[m_nextObject].get()) next->Draw(matrix, alpha);
    m_inFrame = false;
}

int32_t CProgressiveDisplayObjectSet::CountNames(const std::string& path) {
    int32_t names = 1;
    for (const char* p = path.c_str();; ++names) {
        const char* dot = FindCharMultibyte(p, '.', 0, nullptr);
        if (*dot == '\0') return names;
        p = dot + 1;
    }
}

// The walks below go down the path one name at a time without recursion or copies of the
// rest of the path, so that an absurdly deep path costs neither stack nor quadratic memory.
bool CProgressiveDisplayObjectSet::FindChild(const std::string& path,
                                             std::shared_ptr<CProgressiveDisplayObjectSet>& out) {
    CProgressiveDisplayObjectSet* node = this;
    const char* p = path.c_str();
    std::string first;
    for (;;) {
        const char* dot = FindCharMultibyte(p, '.', 0, &first);
        const ChildMap& next = *node->m_children[node->m_nextChildren];
        auto it = next.find(first);
        if (it == next.end() || !it->second) return true;
        if (*dot == '\0') {
            out = it->second;
            return false;
        }
        if (it->second->GetKind() != kGroup) return true;
        node = it->second.get();
        p = dot + 1;
    }
}

CProgressiveDisplayObjectSet* CProgressiveDisplayObjectSet::GetChild(const std::string& path) {
    std::shared_ptr<CProgressiveDisplayObjectSet> found;
    return FindChild(path, found) ? nullptr : found.get();
}

IDisplayObject* CProgressiveDisplayObjectSet::BeginEdit() {
    if (m_nextObject == m_currentObject) {
        const int32_t other = 1 - m_currentObject;
        IDisplayObject* current = m_objects[m_currentObject].get();
        m_objects[other].reset(current ? current->Clone(true) : nullptr);
        m_nextObject = other;
    }
    return m_objects[m_nextObject].get();
}

const std::shared_ptr<CProgressiveDisplayObjectSet::ChildMap>& CProgressiveDisplayObjectSet::EmptyChildren() {
    static const std::shared_ptr<ChildMap> empty = std::make_shared<ChildMap>();
    return empty;
}

CProgressiveDisplayObjectSet::ChildMap& CProgressiveDisplayObjectSet::EditChildren() {
    if (m_nextChildren == m_currentChildren) {
        const int32_t other = 1 - m_currentChildren;
        m_children[other] = std::make_shared<ChildMap>(*m_children[m_currentChildren]);
        m_nextChildren = other;
    } else if (m_children[m_nextChildren].use_count() > 1) {
        m_children[m_nextChildren] = std::make_shared<ChildMap>(*m_children[m_nextChildren]);
    }
    return *m_children[m_nextChildren];
}

void CProgressiveDisplayObjectSet::AddChild(const std::string& path,
                                            const std::shared_ptr<CProgressiveDisplayObjectSet>& node) {
    CPictureChanges::Mark();
    // Passes, commits and destruction go down the tree recursively: no absurd depth is built.
    if (node && CountNames(path) > kMaxPathNames) {
        Log(ELogLevel::Error, "layer", "Layer path with more than %d names refused", kMaxPathNames);
        return;
    }
    CProgressiveDisplayObjectSet* parent = this;
    const char* p = path.c_str();
    std::string first;
    for (;;) {
        const char* dot = FindCharMultibyte(p, '.', 0, &first);
        if (*dot == '\0') {
            ChildMap& next = parent->EditChildren();
            if (node)
                next[first] = node;
            else
                next.erase(first);
            return;
        }
        const ChildMap& next = *parent->m_children[parent->m_nextChildren];
        auto it = next.find(first);
        CProgressiveDisplayObjectSet* entry;
        if (it != next.end() && it->second) {
            if (it->second->GetKind() != kGroup) return;
            entry = it->second.get();
        } else {
            if (!node) return;
            // A new group of the parent's class.
            std::shared_ptr<CProgressiveDisplayObjectSet> group(parent->CreateGroup());
            parent->EditChildren()[first] = group;
            entry = group.get();
        }
        parent = entry;
        p = dot + 1;
    }
}

void CProgressiveDisplayObjectSet::Commit() {
    CPictureChanges::Mark();
    const std::shared_ptr<ChildMap> next = m_children[m_nextChildren];
    for (auto& child : *next)
        if (child.second) child.second->Commit();
    if (m_nextObject != m_currentObject) m_objects[m_currentObject].reset();
    // Replaced, not emptied in place: a pass walking the old map keeps it.
    if (m_nextChildren != m_currentChildren) m_children[m_currentChildren] = EmptyChildren();
    m_currentObject = m_nextObject;
    m_currentChildren = m_nextChildren;
}

void CProgressiveDisplayObjectSet::UpdateChildren(const CMatrix2D& matrix, float alpha) {
    // Handlers run inside the pass and may edit the tree: holding the map makes an edit change a
    // copy, so the walk sees the map as it was and its nodes stay alive.
    const std::shared_ptr<ChildMap> children = m_inFrame ? m_children[m_nextChildren] : m_children[m_currentChildren];
    for (auto it = children->rbegin(); it != children->rend(); ++it) {
        if (!it->second) continue;
        if (m_inFrame)
            it->second->UpdateFrame(matrix, alpha);
        else
            it->second->Update(matrix, alpha);
    }
}

void CProgressiveDisplayObjectSet::DrawChildren(const CMatrix2D& matrix, float alpha) {
    const std::shared_ptr<ChildMap> children = m_inFrame ? m_children[m_nextChildren] : m_children[m_currentChildren];
    for (const auto& child : *children) {
        if (!child.second) continue;
        if (m_inFrame)
            child.second->DrawFrame(matrix, alpha);
        else
            child.second->Draw(matrix, alpha);
    }
}

CProgressiveDisplayObjectSet* CProgressiveDisplayObjectSet::CreateGroup() const {
    return new CProgressiveDisplayObjectSet();
}

void CProgressiveDisplayObjectSet::CopySetFrom(const CProgressiveDisplayObjectSet& other) {
    m_kind = other.m_kind;
    m_objects[0] = other.m_objects[0];
    m_objects[1] = other.m_objects[1];
    m_children[0] = other.m_children[0];
    m_children[1] = other.m_children[1];
    m_currentObject = other.m_currentObject;
    m_nextObject = other.m_nextObject;
    m_currentChildren = other.m_currentChildren;
    m_nextChildren = other.m_nextChildren;
    m_inFrame = other.m_inFrame;
}

IDisplayObject* CProgressiveDisplayObjectSet::Clone(bool copyState) const {
    CProgressiveDisplayObjectSet* copy = CreateGroup();
    if (copyState) copy->CopySetFrom(*this);
    return copy;
}

void CProgressiveDisplayObjectSet::Update(const CMatrix2D& parentMatrix, float parentAlpha) {
    if (IDisplayObject* o = GetCurrentObject()) o->Update(parentMatrix, parentAlpha);
}

void CProgressiveDisplayObjectSet::Draw(const CMatrix2D& parentMatrix, float parentAlpha) {
    if (IDisplayObject* o = GetCurrentObject()) o->Draw(parentMatrix, parentAlpha);
}

#define KESTRIN_SET_GETTER(type, name, fallback)      \
    type CProgressiveDisplayObjectSet::name() const { \
        const IDisplayObject* o = GetCurrentObject(); \
        return o ? o->name() : fallback;              \
    }

KESTRIN_SET_GETTER(int32_t, GetX, 0)
KESTRIN_SET_GETTER(int32_t, GetY, 0)
KESTRIN_SET_GETTER(int32_t, GetRight, 0)
KESTRIN_SET_GETTER(int32_t, GetBottom, 0)
KESTRIN_SET_GETTER(int32_t, GetWidth, 0)
KESTRIN_SET_GETTER(int32_t, GetHeight, 0)
KESTRIN_SET_GETTER(int32_t, GetAlpha, 0)
KESTRIN_SET_GETTER(int32_t, GetAnchorX, 0)
KESTRIN_SET_GETTER(int32_t, GetAnchorY, 0)
KESTRIN_SET_GETTER(int32_t, GetXScale, 0)
KESTRIN_SET_GETTER(int32_t, GetYScale, 0)
KESTRIN_SET_GETTER(int32_t, GetRotate, 0)
KESTRIN_SET_GETTER(bool, IsReverseX, false)
KESTRIN_SET_GETTER(bool, IsReverseY, false)
KESTRIN_SET_GETTER(int32_t, GetLayerMode, 0)
KESTRIN_SET_GETTER(bool, IsVisible, false)
KESTRIN_SET_GETTER(int32_t, GetDirtyFlags, 0)
#undef KESTRIN_SET_GETTER

const IRect& CProgressiveDisplayObjectSet::GetClip() const {
    static const CRect empty;
    const IDisplayObject* o = GetCurrentObject();
    return o ? o->GetClip() : empty;
}

#define KESTRIN_SET_SETTER(name, type)                                 \
    void CProgressiveDisplayObjectSet::name(type value) {              \
        ForEachLiveObject([&](IDisplayObject* o) { o->name(value); }); \
    }

KESTRIN_SET_SETTER(SetX, int32_t)
KESTRIN_SET_SETTER(SetY, int32_t)
KESTRIN_SET_SETTER(SetAlpha, int32_t)
KESTRIN_SET_SETTER(SetAnchorX, int32_t)
KESTRIN_SET_SETTER(SetAnchorY, int32_t)
KESTRIN_SET_SETTER(SetXScale, int32_t)
KESTRIN_SET_SETTER(SetYScale, int32_t)
KESTRIN_SET_SETTER(SetRotate, int32_t)
KESTRIN_SET_SETTER(SetReverseX, bool)
KESTRIN_SET_SETTER(SetReverseY, bool)
KESTRIN_SET_SETTER(SetClip, const IRect&)
KESTRIN_SET_SETTER(SetLayerMode, int32_t)
KESTRIN_SET_SETTER(SetVisible, bool)
#undef KESTRIN_SET_SETTER

}  // namespace kestrin
