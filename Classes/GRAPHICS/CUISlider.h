#pragma once
// A horizontal or vertical slider of two images, the track (background) and the knob
// (controller), dragged with the left mouse button. Reports the knob's offset from the low end,
// 0 to the value range, through its slide handler.
#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "GRAPHICS/CDisplayObject.h"

namespace kestrin {

class CGraphicLoaders;
class CInput;
class ILayer;
class ILayerFactory;
class ISurfaceFactory;

class CUISlider : public CDisplayObject {
public:
    using SlideHandler = std::function<void(int32_t)>;
    // Keys: "width" or "height" (presence only: horizontal or vertical), "x", "y", "var_min",
    // "var_max", "var_now" (int32_t), "background_path", "controller_path" (std::string),
    // "onslide" (SlideHandler).
    using Parameters = std::map<std::string, std::any>;

    CUISlider(ILayerFactory* layerFactory, ISurfaceFactory* surfaceFactory, CGraphicLoaders* loaders);
    ~CUISlider() override;

    void OnUpdate(const CMatrix2D& worldMatrix, float alpha, int32_t flags) override;
    void OnDraw(const CMatrix2D& worldMatrix, float alpha, int32_t flags) override;
    // Loads both images and places the knob at var_now; true on failure.
    virtual bool SetParameters(const Parameters& parameters);

    IDisplayObject* Clone(bool copyState) const override;

    bool IsVertical() const { return m_vertical; }
    bool IsDragging() const { return m_dragging; }
    int32_t GetTravel() const { return m_travel; }
    const std::shared_ptr<ILayer>& GetBackground() const { return m_background; }
    const std::shared_ptr<ILayer>& GetController() const { return m_controller; }
    // The input object the slider reads the mouse from; null: the process-wide one.
    void SetInput(CInput* input) { m_input = input; }

private:
    // offset x range / travel in 64 bits; 0 when the range or the travel is empty.
    int32_t ScaleOffset(int64_t offset, int64_t numerator, int64_t denominator) const;

    ILayerFactory* m_layerFactory;
    ISurfaceFactory* m_surfaceFactory;
    CGraphicLoaders* m_loaders;
    CInput* m_input = nullptr;
    bool m_vertical = false;
    std::shared_ptr<ILayer> m_background;
    std::shared_ptr<ILayer> m_controller;
    int32_t m_travel = 0;
    int32_t m_varMin = 0;
    int64_t m_range = 0;  // var_max - var_min, which may not fit 32 bits
    SlideHandler m_onSlide;
    bool m_dragging = false;
    float m_lastPosition = 0.0f;
};

}  // namespace kestrin
