#include "CORE/Platform/IbusInputMethodClient.h"

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>

#include "CORE/CLogWindow.h"

namespace kestrin {

namespace {

const char kService[] = "org.freedesktop.IBus";
const char kContextInterface[] = "org.freedesktop.IBus.InputContext";
constexpr uint32_t kReleaseMask = 1u << 30;

std::string Env(const EnvironmentLookup& lookup, const char* name) {
    const char* value = lookup ? lookup(name) : std::getenv(name);
    return value ? value : "";
}

std::string FirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\t')) line.pop_back();
    return line;
}

// The text of a serialized IBusText: (name, attachments, text, attributes); false when the
// value has another shape.
bool ReadText(const DbusValue& value, std::string& out) {
    const DbusValue& text = value.Unwrapped();
    std::string name;
    if (text.type != '(' || !text.Item(0) || !text.Item(0)->GetString(name) || name != "IBusText") return false;
    const DbusValue* body = text.Item(2);
    return body && body->GetString(out);
}

}  // namespace

IbusInputMethodClient::IbusInputMethodClient(std::unique_ptr<IDbusConnection> connection)
    : m_connection(std::move(connection)) {}

IbusInputMethodClient::~IbusInputMethodClient() {
    if (m_usable) SendToContext("Destroy");
}

std::string IbusInputMethodClient::FindAddress(const EnvironmentLookup& lookup) {
    const std::string direct = Env(lookup, "IBUS_ADDRESS");
    if (!direct.empty()) return direct;
    std::string file = Env(lookup, "IBUS_ADDRESS_FILE");
    if (file.empty()) {
        std::string machine = FirstLine("/var/lib/dbus/machine-id");
        if (machine.empty()) machine = FirstLine("/etc/machine-id");
        if (machine.empty()) machine = "machine-id";
        // DISPLAY is host:number.screen; the host defaults to "unix", the number to 0.
        const std::string display = Env(lookup, "DISPLAY");
        const size_t colon = display.find(':');
        std::string host = display.substr(0, colon);
        std::string number = "0";
        if (colon != std::string::npos) {
            number = display.substr(colon + 1);
            number = number.substr(0, number.find('.'));
        }
        if (host.empty()) host = "unix";
        std::string config = Env(lookup, "XDG_CONFIG_HOME");
        if (config.empty()) {
            const std::string home = Env(lookup, "HOME");
            if (home.empty()) return std::string();
            config = home + "/.config";
        }
        file = config + "/ibus/bus/" + machine + "-" + host + "-" + number;
    }
    std::ifstream in(file);
    std::string line, address;
    long pid = -1;
    while (std::getline(in, line)) {
        if (line.compare(0, 13, "IBUS_ADDRESS=") == 0) address = line.substr(13);
        if (line.compare(0, 16, "IBUS_DAEMON_PID=") == 0) pid = std::strtol(line.c_str() + 16, nullptr, 10);
    }
    // A file left behind by a daemon that has gone leads nowhere.
    if (pid <= 0 || kill(static_cast<pid_t>(pid), 0) != 0) return std::string();
    return address;
}

bool IbusInputMethodClient::Open() {
    SDbusMessage create{
        kService, "/org/freedesktop/IBus", kService, "CreateInputContext", {DbusValue::String("Kestrin")}};
    m_context = OpenInputContext(*m_connection, create, kContextInterface);
    if (m_context.empty()) return true;
    m_usable = true;
    SendToContext("SetCapabilities", {DbusValue::Uint32(kCapabilities)});
    return false;
}

void IbusInputMethodClient::SendToContext(const char* member, std::vector<DbusValue> args) {
    if (!m_usable) return;
    SDbusMessage call{kService, m_context, kContextInterface, member, std::move(args)};
    if (!m_connection->Send(call)) GiveUp("the connection to IBus broke");
}

void IbusInputMethodClient::FocusIn() {
    m_focused = true;
    const auto now = std::chrono::steady_clock::now();
    m_nextFocusCheck = now + std::chrono::milliseconds(kFocusCheckMs);
    m_focusChecksEnd = now + std::chrono::milliseconds(kFocusChecksMs);
    TakeFocus();
    // SDL's own context asks for the focus on the same window events, and the daemon may take
    // its request after ours: the next key looks again.
    m_focusAgain = true;
}

void IbusInputMethodClient::TakeFocus() {
    // The daemon keeps a context whose focus another context took marked as focused and
    // ignores its FocusIn: a FocusOut first makes the FocusIn count.
    SendToContext("FocusOut");
    SendToContext("FocusIn");
}

bool IbusInputMethodClient::HoldsFocus() {
    std::vector<DbusValue> reply;
    SDbusMessage call{kService, "/org/freedesktop/IBus", kService, "CurrentInputContext", {}};
    const EDbusReply answer = m_connection->Call(call, kCallTimeoutMs, reply);
    // Only keys count time-outs; a daemon that is late here is not asked again until a key
    // gets its answer in time.
    if (answer == EDbusReply::TimedOut) m_focusUnknown = true;
    std::string focused;
    // An answer that names nothing says nothing.
    return answer != EDbusReply::Replied || reply.empty() || !reply[0].GetString(focused) || focused == m_context;
}

void IbusInputMethodClient::FocusOut() {
    m_focused = false;
    m_focusAgain = false;
    SendToContext("FocusOut");
}

void IbusInputMethodClient::Reset() { SendToContext("Reset"); }

void IbusInputMethodClient::SetCursorRect(int x, int y, int width, int height) {
    SendToContext("SetCursorLocation",
                  {DbusValue::Int32(x), DbusValue::Int32(y), DbusValue::Int32(width), DbusValue::Int32(height)});
}

bool IbusInputMethodClient::ProcessKey(const SInputMethodKey& key) {
    if (!m_usable) return false;
    // A key goes to the engine of the focused context: SDL's own must not have the focus.
    if (!key.release && (m_focusAgain || (!m_focusUnknown && !HoldsFocus()))) {
        m_focusAgain = false;
        if (!m_usable) return false;
        TakeFocus();
    }
    if (!m_usable) return false;
    // IBus counts key codes from the evdev code, 8 below X's.
    const uint32_t keycode = key.keycode >= 8 ? key.keycode - 8 : 0;
    const uint32_t state = key.state | (key.release ? kReleaseMask : 0u);
    SDbusMessage call{kService,
                      m_context,
                      kContextInterface,
                      "ProcessKeyEvent",
                      {DbusValue::Uint32(key.keysym), DbusValue::Uint32(keycode), DbusValue::Uint32(state)}};
    std::vector<DbusValue> reply;
    switch (m_connection->Call(call, kCallTimeoutMs, reply)) {
        case EDbusReply::TimedOut:
            if (++m_timeouts >= kTimeoutsToClose) GiveUp("IBus stopped answering");
            return false;
        case EDbusReply::Failed:
            if (!m_connection->IsConnected()) GiveUp("the connection to IBus broke");
            return false;
        case EDbusReply::Replied: break;
    }
    m_timeouts = 0;
    m_focusUnknown = false;
    bool handled = false;
    if (reply.empty() || !reply[0].GetBool(handled)) {
        NoteMalformed("key reply");
        return false;
    }
    return handled;
}

void IbusInputMethodClient::Poll(std::vector<SWindowEvent>& out) {
    if (!m_usable) return;
    // SDL's context may take the focus a little after ours got it; what the engine says then
    // would go there.
    const auto now = std::chrono::steady_clock::now();
    if (m_focused && !m_focusUnknown && now >= m_nextFocusCheck && now < m_focusChecksEnd) {
        m_nextFocusCheck = now + std::chrono::milliseconds(kFocusCheckMs);
        if (!HoldsFocus() && m_usable) TakeFocus();
    }
    SDbusMessage signal;
    while (m_usable && m_connection->TakeSignal(signal)) Handle(signal);
    if (m_usable && !m_connection->IsConnected()) GiveUp("the connection to IBus broke");
    m_events.SetComposition(m_preeditVisible ? m_preedit : std::string());
    if (m_tableVisible) {
        m_events.SetCandidates(m_page, m_pageSelection);
    } else {
        m_events.SetCandidates({}, -1);
    }
    m_events.Flush(out);
}

void IbusInputMethodClient::Handle(const SDbusMessage& signal) {
    if (signal.interface == "org.freedesktop.DBus.Local" && signal.member == "Disconnected") {
        GiveUp("IBus closed the connection");
        return;
    }
    if (signal.interface != kContextInterface || signal.path != m_context) return;
    const std::vector<DbusValue>& args = signal.args;
    const std::string& member = signal.member;
    if (member == "CommitText") {
        std::string text;
        if (args.empty() || !ReadText(args[0], text)) return NoteMalformed("CommitText");
        m_events.AddCommit(text);
    } else if (member == "UpdatePreeditText" || member == "UpdatePreeditTextWithMode") {
        std::string text;
        bool visible = false;
        if (args.size() < 3 || !ReadText(args[0], text) || !args[2].GetBool(visible))
            return NoteMalformed("UpdatePreeditText");
        m_preedit = text;
        m_preeditVisible = visible;
    } else if (member == "ShowPreeditText" || member == "HidePreeditText") {
        m_preeditVisible = member == "ShowPreeditText";
    } else if (member == "UpdateLookupTable") {
        // (name, attachments, page size, cursor, cursor shown, round, orientation, candidates,
        // labels); the game shows the cursor's page.
        bool visible = false;
        const DbusValue& table = args.empty() ? DbusValue() : args[0].Unwrapped();
        uint32_t pageSize = 0, cursor = 0;
        bool cursorShown = false;
        std::string name;
        const DbusValue* list = table.Item(7);
        if (args.size() < 2 || !args[1].GetBool(visible) || table.type != '(' || !table.Item(0) ||
            !table.Item(0)->GetString(name) || name != "IBusLookupTable" || !table.Item(2) ||
            !table.Item(2)->GetUint32(pageSize) || !table.Item(3) || !table.Item(3)->GetUint32(cursor) ||
            !table.Item(4) || !table.Item(4)->GetBool(cursorShown) || !list || list->type != 'a') {
            return NoteMalformed("UpdateLookupTable");
        }
        const size_t count = list->items.size();
        const size_t size = pageSize > 0 ? pageSize : (count > 0 ? count : 1);
        const size_t first = cursor < count ? cursor - cursor % size : 0;
        std::vector<std::string> page;
        for (size_t i = first; i < count && i < first + size; ++i) {
            std::string text;
            if (!ReadText(list->items[i], text)) return NoteMalformed("UpdateLookupTable");
            page.push_back(text);
        }
        m_page = page;
        m_pageSelection = cursorShown && cursor < count ? static_cast<int>(cursor - first) : -1;
        m_tableVisible = visible;
    } else if (member == "ShowLookupTable" || member == "HideLookupTable") {
        m_tableVisible = member == "ShowLookupTable";
    } else if (member == "ForwardKeyEvent") {
        uint32_t keysym = 0, keycode = 0, state = 0;
        if (args.size() < 3 || !args[0].GetUint32(keysym) || !args[1].GetUint32(keycode) || !args[2].GetUint32(state))
            return NoteMalformed("ForwardKeyEvent");
        m_events.AddKey(keysym, state & ~kReleaseMask, (state & kReleaseMask) != 0);
    }
    // The auxiliary text (UpdateAuxiliaryText, Show/HideAuxiliaryText) is taken and not shown.
}

void IbusInputMethodClient::NoteMalformed(const char* what) {
    if (m_notedMalformed) return;
    m_notedMalformed = true;
    Log(ELogLevel::Warning, "input method", "IBus sent a malformed %s; it is ignored", what);
}

void IbusInputMethodClient::GiveUp(const char* why) {
    if (!m_usable) return;
    m_usable = false;
    Log(ELogLevel::Note, "input method", "%s; text input goes back to SDL's own", why);
}

}  // namespace kestrin
