#pragma once
// Text typed into a message layer: the game window's keyboard characters and input-method
// messages (through a message hook) build the committed text, shown in the layer as game text
// with the composition underlined after it and then a cursor sign, or the candidate list on
// a new line. Closed -> open (Open) -> finished (Enter) -> closed (Close).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "CORE/Platform/IWindowSystem.h"
#include "TEXT/IIme.h"

namespace kestrin {

class CIme : public IIme {
public:
    CIme() = default;
    ~CIme() override;
    CIme(const CIme&) = delete;
    CIme& operator=(const CIme&) = delete;

    bool Open(CTextRenderer* target, int32_t unused1, int32_t unused2, const std::string& text) override;
    std::string GetText() const override { return m_text; }
    void SetOnChange(std::function<void(const std::string&)> handler) override { m_onChange = std::move(handler); }
    void SetOnEnter(std::function<void()> handler) override { m_onEnter = std::move(handler); }

    // The hook on the game window; false when the message was handled here.
    bool OnMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t* result);
    void Redraw();
    void Close();

    const std::string& GetComposition() const { return m_composition; }
    const std::vector<std::string>& GetCandidates() const { return m_candidates; }
    bool IsFinished() const { return m_finished; }

private:
    CTextRenderer* m_target = nullptr;
    std::string m_text;
    std::function<void(const std::string&)> m_onChange;
    std::function<void()> m_onEnter;
    WindowHandle m_host = 0;
    int m_hookId = 0;
    bool m_finished = false;
    bool m_imeOpen = false;
    std::string m_composition;
    std::vector<std::string> m_candidates;
};

}  // namespace kestrin
