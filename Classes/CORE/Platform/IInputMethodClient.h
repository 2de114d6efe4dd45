#pragma once
// A client of the desktop's input method (IBus, fcitx5) that owns an input context of its
// own, so that the game is told the composition and the candidate list and draws them
// itself. The window system drives it from the frame thread; no call waits long: opening
// takes at most kOpenTimeoutMs, every later call at most kCallTimeoutMs.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CORE/Platform/IWindowSystem.h"

namespace kestrin {

// A key as the X server reports it.
struct SInputMethodKey {
    uint32_t keysym = 0;   // the X keysym, Shift and the layout applied
    uint32_t keycode = 0;  // the X key code (evdev code + 8)
    uint32_t state = 0;    // the X modifier mask (Shift 1, Lock 2, Control 4, Mod1 8, ...)
    bool release = false;
};

class IInputMethodClient {
public:
    static constexpr int kOpenTimeoutMs = 200;
    static constexpr int kCallTimeoutMs = 50;
    // Calls that time out one after another before the client gives up.
    static constexpr int kTimeoutsToClose = 3;

    virtual ~IInputMethodClient() = default;

    // The input method's name for notes ("IBus", "fcitx5").
    virtual const char* GetName() const = 0;
    // Makes the input context and asks for the composition and candidate list; true on failure
    // (the input method refused, did not answer in time, or the connection broke).
    virtual bool Open() = 0;
    // False once the client has given up (the connection broke, or kTimeoutsToClose calls in a
    // row timed out): the window system goes back to its own text input then.
    virtual bool IsUsable() const = 0;
    // The context gets or loses the input method's keyboard focus. The input method's on/off
    // state is left as the player set it.
    virtual void FocusIn() = 0;
    virtual void FocusOut() = 0;
    // Drops the composition and the candidate list on the input method's side.
    virtual void Reset() = 0;
    // Where the typed text is, in the window's client pixels.
    virtual void SetCursorRect(int x, int y, int width, int height) = 0;
    // Hands a key to the input method first; true when it took the key, which then must not
    // reach the game. A late answer counts as not taken and is dropped when it comes.
    virtual bool ProcessKey(const SInputMethodKey& key) = 0;
    // Appends what the input method said since the last call, without waiting, as events with
    // window 0: TextInput (committed text), TextEditing (the composition, empty when it ends),
    // TextCandidates (the page of candidates shown, key = the selected one or -1; empty when
    // the list closes), and KeyDown/KeyUp plus TextInput for keys it hands back. Of several
    // compositions and lists only the last counts; a list that closes comes before the
    // composition, a list that opens after it.
    virtual void Poll(std::vector<SWindowEvent>& out) = 0;
};

// Reads the environment by name; null when the variable is not set.
using EnvironmentLookup = std::function<const char*(const char*)>;

// The input method that the desktop runs, chosen as SDL chooses (SDL_IM_MODULE, then
// XMODIFIERS and GTK_IM_MODULE, else IBus before fcitx5), connected and opened; null when none
// answers. At most one note goes to the log.
std::unique_ptr<IInputMethodClient> CreateSystemInputMethodClient(const EnvironmentLookup& lookup = nullptr);

class IDbusConnection;
struct SDbusMessage;
// For the clients: asks the framework for an input context with create (a call whose reply
// begins with the context's object path), then the bus for that context's signals of
// contextInterface, within kOpenTimeoutMs in all. The context's path; empty when the
// framework refused or did not answer in time.
std::string OpenInputContext(IDbusConnection& bus, const SDbusMessage& create, const std::string& contextInterface);

// Text a key types, from its X keysym: Latin-1 and Unicode keysyms; empty for the others.
std::string TextOfKeysym(uint32_t keysym);
// The Windows virtual-key number of an X keysym; 0 when it has none.
int VirtualKeyOfKeysym(uint32_t keysym);

}  // namespace kestrin
