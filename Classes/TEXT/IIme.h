#pragma once
// Text typed through the keyboard and the input method into a message layer.
#include <cstdint>
#include <functional>
#include <string>

namespace kestrin {

class CTextRenderer;

class IIme {
public:
    virtual ~IIme() = default;
    // The two integers are not used. Returns false.
    virtual bool Open(CTextRenderer* target, int32_t unused1, int32_t unused2, const std::string& text) = 0;
    // In the game's encoding.
    virtual std::string GetText() const = 0;
    virtual void SetOnChange(std::function<void(const std::string&)> handler) = 0;
    virtual void SetOnEnter(std::function<void()> handler) = 0;
};

}  // namespace kestrin
