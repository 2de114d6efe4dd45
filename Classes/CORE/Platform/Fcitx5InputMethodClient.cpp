#include "CORE/Platform/Fcitx5InputMethodClient.h"

#include <algorithm>
#include <chrono>

#include "CORE/CLogWindow.h"

namespace kestrin {

namespace {

const char kService[] = "org.fcitx.Fcitx5";
const char kContextInterface[] = "org.fcitx.Fcitx.InputContext1";

// A formatted text, a(si): its pieces' strings joined; false when the value has another shape.
bool ReadFormatted(const DbusValue& value, std::string& out) {
    const DbusValue& list = value.Unwrapped();
    if (list.type != 'a') return false;
    out.clear();
    for (const DbusValue& piece : list.items) {
        std::string text;
        if (piece.type != '(' || !piece.Item(0) || !piece.Item(0)->GetString(text)) return false;
        out += text;
    }
    return true;
}

}  // namespace

Fcitx5InputMethodClient::Fcitx5InputMethodClient(std::unique_ptr<IDbusConnection> sessionBus, std::string display)
    : m_connection(std::move(sessionBus)), m_display(std::move(display)) {}

Fcitx5InputMethodClient::~Fcitx5InputMethodClient() {
    if (m_usable) SendToContext("DestroyIC");
}

bool Fcitx5InputMethodClient::Open() {
    auto pair = [](const char* key, const std::string& value) {
        return DbusValue::Struct({DbusValue::String(key), DbusValue::String(value)});
    };
    SDbusMessage create{kService,
                        "/org/freedesktop/portal/inputmethod",
                        "org.fcitx.Fcitx.InputMethod1",
                        "CreateInputContext",
                        {DbusValue::Array("(ss)", {pair("program", "kestrin"), pair("display", "x11:" + m_display)})}};
    m_context = OpenInputContext(*m_connection, create, kContextInterface);
    if (m_context.empty()) return true;
    m_usable = true;
    SendToContext("SetCapability", {DbusValue::Uint64(kCapabilities)});
    return false;
}

void Fcitx5InputMethodClient::SendToContext(const char* member, std::vector<DbusValue> args) {
    if (!m_usable) return;
    SDbusMessage call{kService, m_context, kContextInterface, member, std::move(args)};
    if (!m_connection->Send(call)) GiveUp("the connection to fcitx5 broke");
}

void Fcitx5InputMethodClient::FocusIn() {
    SendToContext("FocusIn");
    // SDL's own context asks for the focus on the same window events, and fcitx5 may take its
    // request after ours: the next key asks again.
    m_focusAgain = true;
}

void Fcitx5InputMethodClient::FocusOut() {
    m_focusAgain = false;
    SendToContext("FocusOut");
}

void Fcitx5InputMethodClient::Reset() { SendToContext("Reset"); }

void Fcitx5InputMethodClient::SetCursorRect(int x, int y, int width, int height) {
    SendToContext("SetCursorRect",
                  {DbusValue::Int32(x), DbusValue::Int32(y), DbusValue::Int32(width), DbusValue::Int32(height)});
}

bool Fcitx5InputMethodClient::ProcessKey(const SInputMethodKey& key) {
    if (!m_usable) return false;
    if (m_focusAgain && !key.release) {
        m_focusAgain = false;
        SendToContext("FocusIn");
    }
    SDbusMessage call{kService,
                      m_context,
                      kContextInterface,
                      "ProcessKeyEvent",
                      {DbusValue::Uint32(key.keysym), DbusValue::Uint32(key.keycode), DbusValue::Uint32(key.state),
                       DbusValue::Bool(key.release), DbusValue::Uint32(0)}};
    std::vector<DbusValue> reply;
    switch (m_connection->Call(call, kCallTimeoutMs, reply)) {
        case EDbusReply::TimedOut:
            if (++m_timeouts >= kTimeoutsToClose) GiveUp("fcitx5 stopped answering");
            return false;
        case EDbusReply::Failed:
            if (!m_connection->IsConnected()) GiveUp("the connection to fcitx5 broke");
            return false;
        case EDbusReply::Replied: break;
    }
    m_timeouts = 0;
    bool handled = false;
    if (reply.empty() || !reply[0].GetBool(handled)) {
        NoteMalformed("key reply");
        return false;
    }
    return handled;
}

void Fcitx5InputMethodClient::Poll(std::vector<SWindowEvent>& out) {
    if (!m_usable) return;
    SDbusMessage signal;
    while (m_usable && m_connection->TakeSignal(signal)) Handle(signal);
    if (m_usable && !m_connection->IsConnected()) GiveUp("the connection to fcitx5 broke");
    m_events.Flush(out);
}

void Fcitx5InputMethodClient::Handle(const SDbusMessage& signal) {
    if (signal.interface == "org.freedesktop.DBus.Local" && signal.member == "Disconnected") {
        GiveUp("the session bus closed the connection");
        return;
    }
    if (signal.interface != kContextInterface || signal.path != m_context) return;
    const std::vector<DbusValue>& args = signal.args;
    const std::string& member = signal.member;
    if (member == "CommitString") {
        std::string text;
        if (args.empty() || !args[0].GetString(text)) return NoteMalformed("CommitString");
        m_events.AddCommit(text);
    } else if (member == "UpdateFormattedPreedit") {
        std::string text;
        if (args.empty() || !ReadFormatted(args[0], text)) return NoteMalformed("UpdateFormattedPreedit");
        m_events.SetComposition(text);
    } else if (member == "UpdateClientSideUI") {
        // preedit, cursor, auxiliary up and down (not shown), candidates as (label, text),
        // selected index, layout, previous and next page.
        std::string preedit, auxUp, auxDown;
        int32_t selected = -1;
        if (args.size() < 6 || !ReadFormatted(args[0], preedit) || !ReadFormatted(args[2], auxUp) ||
            !ReadFormatted(args[3], auxDown) || args[4].Unwrapped().type != 'a' || !args[5].GetInt32(selected)) {
            return NoteMalformed("UpdateClientSideUI");
        }
        std::vector<std::string> candidates;
        for (const DbusValue& candidate : args[4].Unwrapped().items) {
            std::string text;
            if (candidate.type != '(' || !candidate.Item(1) || !candidate.Item(1)->GetString(text))
                return NoteMalformed("UpdateClientSideUI");
            candidates.push_back(text);
        }
        m_events.SetComposition(preedit);
        m_events.SetCandidates(candidates, selected);
    } else if (member == "ForwardKey") {
        uint32_t keysym = 0, state = 0;
        bool release = false;
        if (args.size() < 3 || !args[0].GetUint32(keysym) || !args[1].GetUint32(state) || !args[2].GetBool(release))
            return NoteMalformed("ForwardKey");
        m_events.AddKey(keysym, state, release);
    }
}

void Fcitx5InputMethodClient::NoteMalformed(const char* what) {
    if (m_notedMalformed) return;
    m_notedMalformed = true;
    Log(ELogLevel::Warning, "input method", "fcitx5 sent a malformed %s; it is ignored", what);
}

void Fcitx5InputMethodClient::GiveUp(const char* why) {
    if (!m_usable) return;
    m_usable = false;
    Log(ELogLevel::Note, "input method", "%s; text input goes back to SDL's own", why);
}

}  // namespace kestrin
