#pragma once
// The text field of the "ime" tag: a white single-line box drawn by the engine over the game
// window, taking the keyboard and input-method messages of the game window through a message
// hook. The text is kept in the game's encoding; the composition being typed shows underlined
// at the cursor, and the cursor blinks. The box is in window client pixels, like a child
// window; the screen draws it above everything else.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "CORE/Platform/IWindowSystem.h"
#include "GRAPHICS/CDisplayObject.h"
#include "TEXT/ITextField.h"

namespace kestrin {

class CFontRenderer;
class CTextRenderer;
class ILayer;
class ILayerFactory;
class ISurfaceFactory;

class CTextField : public ITextField, public CDisplayObject {
public:
    static constexpr size_t kMaxTextBytes = 1023;
    // Enter this soon after the field was made does not finish the input.
    static constexpr uint32_t kEnterDelayMs = 1000;
    static constexpr uint32_t kBlinkMs = 530;
    // "ＭＳ ゴシック" in Shift_JIS; the font alias table maps it to an installed face.
    static constexpr const char* kFace = "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E";

    // Without factories the field takes input but draws nothing. charset: the game's encoding.
    CTextField(ILayerFactory* layers, ISurfaceFactory* surfaces, std::shared_ptr<CFontRenderer> font, int32_t charset);
    ~CTextField() override;
    CTextField(const CTextField&) = delete;
    CTextField& operator=(const CTextField&) = delete;

    bool Open(int32_t left, int32_t top, int32_t width, int32_t height, const std::string& text) override;
    int32_t GetLeft() const override { return m_left; }
    int32_t GetTop() const override { return m_top; }
    int32_t GetWidth() const override { return m_width; }
    int32_t GetHeight() const override { return m_height; }
    std::string GetText() const override { return m_text; }
    void SetOnChange(std::function<void(const std::string&)> handler) override { m_onChange = std::move(handler); }
    void SetOnEnter(std::function<void()> handler) override { m_onEnter = std::move(handler); }

    // The hook on the game window; false when the message was handled here.
    bool OnMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t* result);

    void OnUpdate(const CMatrix2D& worldMatrix, float alpha, int32_t flags) override;
    void OnDraw(const CMatrix2D& worldMatrix, float alpha, int32_t flags) override;

    // Byte offset of the cursor in the text; the composition in the game's encoding.
    size_t GetCursor() const { return m_cursor; }
    const std::string& GetComposition() const { return m_composition; }

private:
    // Inserts whole characters of text at the cursor while the text stays within the limit.
    void Insert(const std::string& text);
    size_t NextChar(const std::string& text, size_t at) const;
    size_t PreviousChar(const std::string& text, size_t at) const;
    void Changed();
    void Redraw();
    void Hook(bool on);

    int32_t m_left = 0;
    int32_t m_top = 0;
    int32_t m_width = 0;
    int32_t m_height = 0;
    std::function<void(const std::string&)> m_onChange;
    std::function<void()> m_onEnter;
    uint32_t m_creationTime = 0;
    bool m_open = false;
    WindowHandle m_host = 0;
    int m_hookId = 0;

    int32_t m_charset;
    std::string m_text;
    size_t m_cursor = 0;
    std::string m_composition;
    size_t m_firstShown = 0;  // scrolled-off bytes of the shown text
    uint32_t m_blinkStart = 0;
    bool m_cursorShown = true;

    ILayerFactory* m_layers;
    ISurfaceFactory* m_surfaces;
    std::shared_ptr<CFontRenderer> m_font;
    std::shared_ptr<ILayer> m_background;
    std::shared_ptr<ILayer> m_underline;
    std::shared_ptr<ILayer> m_caret;
    std::unique_ptr<CTextRenderer> m_renderer;
};

}  // namespace kestrin
