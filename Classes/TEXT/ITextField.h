#pragma once
// A single-line text field laid over the game window.
#include <cstdint>
#include <functional>
#include <string>

namespace kestrin {

class ITextField {
public:
    virtual ~ITextField() = default;
    // Window client pixels; a non-empty text replaces the field's text. True on failure.
    virtual bool Open(int32_t left, int32_t top, int32_t width, int32_t height, const std::string& text) = 0;
    virtual int32_t GetLeft() const = 0;
    virtual int32_t GetTop() const = 0;
    virtual int32_t GetWidth() const = 0;
    virtual int32_t GetHeight() const = 0;
    // In the game's encoding.
    virtual std::string GetText() const = 0;
    virtual void SetOnChange(std::function<void(const std::string&)> handler) = 0;
    virtual void SetOnEnter(std::function<void()> handler) = 0;
};

}  // namespace kestrin
