#include "GRAPHICS/CUISlider.h"

#include <cmath>
#include <limits>

#include "CORE/CInput.h"
#include "GRAPHICS/CGraphicLoaders.h"
#include "GRAPHICS/ILayer.h"
#include "GRAPHICS/ILayerFactory.h"
#include "GRAPHICS/ISurface.h"
#include "GRAPHICS/ISurfaceFactory.h"

namespace kestrin {

namespace {

constexpr int32_t kLeftButton = 1;

template <typename T>
bool Read(const CUISlider::Parameters& p, const char* key, T& out) {
    auto it = p.find(key);
    if (it == p.end()) return false;
    const T* value = std::any_cast<T>(&it->second);
    if (!value) return false;
    out = *value;
    return true;
}

int32_t Saturate(int64_t v) {
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

}  // namespace

CUISlider::CUISlider(ILayerFactory* layerFactory, ISurfaceFactory* surfaceFactory, CGraphicLoaders* loaders)
    : m_layerFactory(layerFactory), m_surfaceFactory(surfaceFactory), m_loaders(loaders) {
    if (m_layerFactory) {
        m_background = m_layerFactory->Create();
        m_controller = m_layerFactory->Create();
    }
}

CUISlider::~CUISlider() = default;

int32_t CUISlider::ScaleOffset(int64_t offset, int64_t numerator, int64_t denominator) const {
    // An empty range or a knob no smaller than its track has no scale: the value is held at 0.
    if (m_range == 0 || m_travel <= 0 || denominator == 0) return 0;
    // 128-bit product: offsets and ranges may each take up to 33 bits.
    const __int128 q = static_cast<__int128>(offset) * numerator / denominator;
    if (q > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (q < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(q);
}

bool CUISlider::SetParameters(const Parameters& p) {
    if (p.count("width"))
        m_vertical = false;
    else if (p.count("height"))
        m_vertical = true;
    else
        return true;
    int32_t x = 0, y = 0, varMin = 0, varMax = 0, varNow = 0;
    std::string backgroundPath, controllerPath;
    SlideHandler onSlide;
    if (!Read(p, "x", x) || !Read(p, "y", y) || !Read(p, "var_min", varMin) || !Read(p, "var_max", varMax) ||
        !Read(p, "var_now", varNow) || !Read(p, "background_path", backgroundPath) ||
        !Read(p, "controller_path", controllerPath) || !Read(p, "onslide", onSlide))
        return true;
    if (!m_background || !m_controller || !m_surfaceFactory || !m_loaders) return true;
    m_varMin = varMin;
    m_range = static_cast<int64_t>(varMax) - varMin;
    m_onSlide = onSlide;

    std::shared_ptr<ISurface> background = m_surfaceFactory->Create();
    if (!background || m_loaders->LoadFile(background.get(), backgroundPath)) return true;
    m_background->SetX(x);
    m_background->SetY(y);
    m_background->SetSurface(background);

    std::shared_ptr<ISurface> controller = m_surfaceFactory->Create();
    if (!controller || m_loaders->LoadFile(controller.get(), controllerPath)) return true;
    m_controller->SetSurface(controller);

    const int64_t offset = static_cast<int64_t>(varNow) - varMin;
    if (!m_vertical) {
        m_travel = m_background->GetWidth() - m_controller->GetWidth();
        m_controller->SetX(Saturate(x + static_cast<int64_t>(ScaleOffset(offset, m_travel, m_range))));
        m_controller->SetY(y);
    } else {
        m_travel = m_background->GetHeight() - m_controller->GetHeight();
        m_controller->SetX(x);
        m_controller->SetY(Saturate(y + static_cast<int64_t>(ScaleOffset(offset, m_travel, m_range))));
    }
    return false;
}

void CUISlider::OnDraw(const CMatrix2D& worldMatrix, float alpha, int32_t) {
    if (m_background) m_background->Draw(worldMatrix, alpha);
    if (m_controller) m_controller->Draw(worldMatrix, alpha);
}

void CUISlider::OnUpdate(const CMatrix2D& worldMatrix, float, int32_t) {
    CInput* input = m_input ? m_input : CInput::GetInstance();
    if (!input || !m_background || !m_controller) return;
    if (!input->IsDown(kLeftButton)) {
        m_dragging = false;
        return;
    }
    // The mouse in the slider's own space.
    const CPoint m = input->GetClientMousePoint();
    const CMatrix2D inverse(worldMatrix, true);
    float mx = 0, my = 0;
    inverse.Transform(static_cast<float>(m.GetX()) + 0.5f, static_cast<float>(m.GetY()) + 0.5f, mx, my);
    if (!std::isfinite(mx) || !std::isfinite(my)) return;
    // The pointer holds the knob at its centre.
    if (m_vertical)
        my -= static_cast<float>(m_controller->GetHeight() / 2);
    else
        mx -= static_cast<float>(m_controller->GetWidth() / 2);

    if (m_dragging) {
        const float pos = m_vertical ? my : mx;
        if (pos == m_lastPosition) return;
        m_lastPosition = pos;
        const int32_t low = m_vertical ? m_background->GetY() : m_background->GetX();
        const int32_t size = m_vertical ? m_controller->GetHeight() : m_controller->GetWidth();
        const int32_t end = m_vertical ? m_background->GetBottom() : m_background->GetRight();
        int64_t place;
        if (static_cast<double>(low) <= pos && pos < static_cast<double>(low) + m_travel)
            place = static_cast<int64_t>(std::floor(pos));
        else if (pos < static_cast<double>(low))
            place = low;
        else
            place = static_cast<int64_t>(end) - size + 1;
        if (m_vertical)
            m_controller->SetY(Saturate(place));
        else
            m_controller->SetX(Saturate(place));
        const int32_t knob = m_vertical ? m_controller->GetY() : m_controller->GetX();
        if (m_onSlide) m_onSlide(ScaleOffset(static_cast<int64_t>(knob) - low, m_range, m_travel));
        return;
    }
    if (input->IsDownEdge(kLeftButton)) {
        const float bx = static_cast<float>(m_background->GetX());
        const float by = static_cast<float>(m_background->GetY());
        if (bx <= mx && mx <= static_cast<float>(m_background->GetRight()) && by <= my &&
            my <= static_cast<float>(m_background->GetBottom())) {
            m_dragging = true;
            // The knob follows from the next frame on, wherever the pointer then is.
            m_lastPosition = std::numeric_limits<float>::quiet_NaN();
        }
    }
}

IDisplayObject* CUISlider::Clone(bool copyState) const {
    auto* copy = new CUISlider(m_layerFactory, m_surfaceFactory, m_loaders);
    if (copyState) {
        copy->CopyFrom(*this);
        copy->m_input = m_input;
        copy->m_vertical = m_vertical;
        copy->m_background = m_background;
        copy->m_controller = m_controller;
        copy->m_travel = m_travel;
        copy->m_varMin = m_varMin;
        copy->m_range = m_range;
        copy->m_onSlide = m_onSlide;
        copy->m_dragging = m_dragging;
        copy->m_lastPosition = m_lastPosition;
    }
    return copy;
}

}  // namespace kestrin
