#pragma once
// The part of a window system that lends the keyboard to an input-method client while the game
// draws the typed text itself: the client is made on first use, owns the input while that
// text input is on and has the focus, and is dropped for good once it gives up.
#include <functional>
#include <memory>
#include <vector>

#include "CORE/Platform/IInputMethodClient.h"

namespace kestrin {

class InputMethodSession {
public:
    // factory: makes and opens the client (null when none answers); called at most once.
    explicit InputMethodSession(std::function<std::unique_ptr<IInputMethodClient>()> factory)
        : m_factory(std::move(factory)) {}

    // Starts the game-drawn text input; true when the client owns the keyboard from now on,
    // false when the window system's own text input must serve.
    bool Start(bool focused);
    void Stop();
    bool Owns() const { return m_owns; }
    void FocusChanged(bool gained);
    void SetCursorRect(int x, int y, int width, int height);
    // A key while the client owns the keyboard: true when the input method took it.
    bool Key(const SInputMethodKey& key);
    // Appends the client's events; false when the client gave up just now (the window system's
    // own text input takes over).
    bool Poll(std::vector<SWindowEvent>& out);

private:
    std::function<std::unique_ptr<IInputMethodClient>()> m_factory;
    std::unique_ptr<IInputMethodClient> m_client;
    bool m_tried = false;
    bool m_owns = false;
};

}  // namespace kestrin
