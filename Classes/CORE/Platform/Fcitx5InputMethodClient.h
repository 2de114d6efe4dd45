#pragma once
// The fcitx5 input method over the session bus: an input context whose input panel (preedit,
// candidates) the client draws itself.
#include <memory>
#include <string>

#include "CORE/Platform/IDbusConnection.h"
#include "CORE/Platform/IInputMethodClient.h"
#include "CORE/Platform/InputMethodEvents.h"

namespace kestrin {

class Fcitx5InputMethodClient : public IInputMethodClient {
public:
    // Capabilities asked for: preedit, formatted preedit, the input panel drawn by the client.
    static constexpr uint64_t kCapabilities = (1ull << 1) | (1ull << 4) | (1ull << 39);

    // display: the X display the game's window is on (for fcitx5's per-display state).
    Fcitx5InputMethodClient(std::unique_ptr<IDbusConnection> sessionBus, std::string display);
    ~Fcitx5InputMethodClient() override;

    const char* GetName() const override { return "fcitx5"; }
    bool Open() override;
    bool IsUsable() const override { return m_usable; }
    void FocusIn() override;
    void FocusOut() override;
    void Reset() override;
    void SetCursorRect(int x, int y, int width, int height) override;
    bool ProcessKey(const SInputMethodKey& key) override;
    void Poll(std::vector<SWindowEvent>& out) override;

private:
    void SendToContext(const char* member, std::vector<DbusValue> args = {});
    void Handle(const SDbusMessage& signal);
    void NoteMalformed(const char* what);
    void GiveUp(const char* why);

    std::unique_ptr<IDbusConnection> m_connection;
    std::string m_display;
    std::string m_context;
    bool m_usable = false;
    int m_timeouts = 0;
    bool m_focusAgain = false;  // ask for the focus again before the next key
    bool m_notedMalformed = false;
    InputMethodEvents m_events;
};

}  // namespace kestrin
