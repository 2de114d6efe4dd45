#include "GRAPHICS/CDisplayObject.h"

namespace kestrin {

void CDisplayObject::ApplyTransform(CMatrix2D& m) {
    m.Translate(static_cast<float>(m_x), static_cast<float>(m_y));
    m.Translate(static_cast<float>(m_anchorX), static_cast<float>(m_anchorY));
    m.Rotate(static_cast<float>(m_rotate) / 180.0f * 3.1415927f);
    m.Scale(static_cast<float>(m_xScale) / 65536.0f, static_cast<float>(m_yScale) / 65536.0f);
    if (m_reverseX) m.Scale(-1.0f, 1.0f);
    if (m_reverseY) m.Scale(1.0f, -1.0f);
    m.Translate(-static_cast<float>(m_anchorX), -static_cast<float>(m_anchorY));
}

void CDisplayObject::Process(const CMatrix2D& parentMatrix, float parentAlpha, bool draw) {
    if (m_xScale <= 0 || m_yScale <= 0) return;
    int32_t f = m_dirtyFlags;
    if (parentMatrix.IsNotEqual(m_parentMatrix)) {
        f |= kDirtyMatrix;
        if (!parentMatrix.IsEqualLinear(m_parentMatrix, true)) f |= kDirtyContent;
        m_parentMatrix = parentMatrix;
    }
    if (f & kDirtyMatrix) {
        m_worldMatrix = parentMatrix;
        ApplyTransform(m_worldMatrix);
        m_dirtyFlags &= ~kDirtyMatrix;
    }
    if (!m_visible) return;
    const float a = static_cast<float>(m_alpha) * parentAlpha / 255.0f;
    if (!draw) {
        OnUpdate(m_worldMatrix, a, f);
    } else if (a >= CMatrix2D::kEpsilon) {
        OnDraw(m_worldMatrix, a, f);
        m_dirtyFlags &= ~kDirtyContent;
    }
}

void CDisplayObject::OnUpdate(const CMatrix2D&, float, int32_t) {}
void CDisplayObject::OnDraw(const CMatrix2D&, float, int32_t) {}

IDisplayObject* CDisplayObject::Clone(bool copyState) const {
    auto* copy = new CDisplayObject();
    if (copyState) copy->CopyFrom(*this);
    return copy;
}

void CDisplayObject::CopyFrom(const CDisplayObject& other) {
    if (this != &other) *this = other;
    CPictureChanges::Mark();
}

void CDisplayObject::SetAlpha(int32_t alpha) {
    if (alpha != m_alpha) {
        m_alpha = alpha;
        CPictureChanges::Mark();
    }
}

void CDisplayObject::SetVisible(bool visible) {
    if (visible != m_visible) {
        m_visible = visible;
        CPictureChanges::Mark();
    }
}

void CDisplayObject::Update(const CMatrix2D& parentMatrix, float parentAlpha) {
    Process(parentMatrix, parentAlpha, false);
}

void CDisplayObject::Draw(const CMatrix2D& parentMatrix, float parentAlpha) {
    Process(parentMatrix, parentAlpha, true);
}

int32_t CDisplayObject::GetDirtyFlags() const {
    if (m_xScale > 0 && m_yScale > 0 && m_alpha > 0 && m_visible) return m_dirtyFlags;
    return 0;
}

void CDisplayObject::SetX(int32_t x) {
    if (x != m_x) {
        m_x = x;
        SetDirty(kDirtyMatrix);
    }
}

void CDisplayObject::SetY(int32_t y) {
    if (y != m_y) {
        m_y = y;
        SetDirty(kDirtyMatrix);
    }
}

void CDisplayObject::SetAnchorX(int32_t x) {
    if (x != m_anchorX) {
        m_anchorX = x;
        SetDirty(kDirtyMatrix);
    }
}

void CDisplayObject::SetAnchorY(int32_t y) {
    if (y != m_anchorY) {
        m_anchorY = y;
        SetDirty(kDirtyMatrix);
    }
}

void CDisplayObject::SetXScale(int32_t scale) {
    if (scale != m_xScale) {
        m_xScale = scale;
        SetDirty(kDirtyMatrix | kDirtyContent);
    }
}

void CDisplayObject::SetYScale(int32_t scale) {
    if (scale != m_yScale) {
        m_yScale = scale;
        SetDirty(kDirtyMatrix | kDirtyContent);
    }
}

void CDisplayObject::SetRotate(int32_t degrees) {
    degrees %= 360;  // keeps the sign of the value: -450 becomes -90
    if (degrees != m_rotate) {
        m_rotate = degrees;
        SetDirty(kDirtyMatrix | kDirtyContent);
    }
}

void CDisplayObject::SetReverseX(bool reverse) {
    if (reverse != m_reverseX) {
        m_reverseX = reverse;
        SetDirty(kDirtyMatrix | kDirtyContent);
    }
}

void CDisplayObject::SetReverseY(bool reverse) {
    if (reverse != m_reverseY) {
        m_reverseY = reverse;
        SetDirty(kDirtyMatrix | kDirtyContent);
    }
}

void CDisplayObject::SetClip(const IRect& clip) {
    if (!m_clip.IsEqual(clip)) {
        m_clip.SetFromRect(clip);
        SetDirty(kDirtyContent);
    }
}

void CDisplayObject::SetLayerMode(int32_t mode) {
    if (mode != m_layerMode) {
        m_layerMode = mode;
        CPictureChanges::Mark();
        if (mode == 3) m_dirtyFlags |= kDirtyImage;
    }
}

}  // namespace kestrin
