#pragma once
// The IBus input method over its own bus: an input context that asks for the preedit, the
// auxiliary text and the lookup table, so that IBus draws none of them itself.
#include <chrono>
#include <memory>
#include <string>

#include "CORE/Platform/IDbusConnection.h"
#include "CORE/Platform/IInputMethodClient.h"
#include "CORE/Platform/InputMethodEvents.h"

namespace kestrin {

class IbusInputMethodClient : public IInputMethodClient {
public:
    // Capabilities asked for: preedit, auxiliary text, lookup table, focus.
    static constexpr uint32_t kCapabilities = 1u | 2u | 4u | 8u;

    explicit IbusInputMethodClient(std::unique_ptr<IDbusConnection> connection);
    ~IbusInputMethodClient() override;

    // The address of the running IBus bus: IBUS_ADDRESS, else the address file that
    // ibus-daemon writes ($XDG_CONFIG_HOME/ibus/bus/<machine id>-<display host>-<display
    // number>, or IBUS_ADDRESS_FILE) while its process lives. Empty when there is none.
    static std::string FindAddress(const EnvironmentLookup& lookup);

    const char* GetName() const override { return "IBus"; }
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
    void TakeFocus();
    // False when the daemon names another context as focused.
    bool HoldsFocus();
    void Handle(const SDbusMessage& signal);
    void NoteMalformed(const char* what);
    void GiveUp(const char* why);

    std::unique_ptr<IDbusConnection> m_connection;
    std::string m_context;  // object path of our input context
    bool m_usable = false;
    int m_timeouts = 0;
    bool m_focusAgain = false;  // take the focus again before the next key
    // For a while after FocusIn the daemon is asked now and then whether ours is focused.
    static constexpr int kFocusCheckMs = 100;
    static constexpr int kFocusChecksMs = 1000;
    bool m_focused = false;
    bool m_focusUnknown = false;  // the last question about the focus went unanswered
    std::chrono::steady_clock::time_point m_nextFocusCheck, m_focusChecksEnd;
    bool m_notedMalformed = false;
    std::string m_preedit;
    bool m_preeditVisible = false;
    std::vector<std::string> m_page;
    int m_pageSelection = -1;
    bool m_tableVisible = false;
    InputMethodEvents m_events;
};

}  // namespace kestrin
