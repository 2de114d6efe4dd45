// Input-method signals and key replies of any shape, as IBus and fcitx5 might send them,
// through both clients and their event building.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>

#include "CORE/Platform/Fcitx5InputMethodClient.h"
#include "CORE/Platform/IbusInputMethodClient.h"

using namespace kestrin;

namespace {

const char kIbusContext[] = "/ic";
const char kFcitxContext[] = "/fc";

class SBytes {
public:
    SBytes(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool Empty() const { return m_at >= m_size; }
    uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    uint32_t Word() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | Byte();
        return v;
    }
    std::string Text() {
        std::string s;
        for (uint8_t n = Byte(); n > 0 && !Empty(); --n) s += static_cast<char>(Byte());
        return s;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

DbusValue Value(SBytes& in, int depth) {
    const uint8_t kind = in.Byte() % (depth < 8 ? 9 : 5);
    switch (kind) {
        case 0: return DbusValue::String(in.Text());
        case 1: return DbusValue::Uint32(in.Word());
        case 2: return DbusValue::Bool(in.Byte() & 1);
        case 3: return DbusValue::Int32(static_cast<int32_t>(in.Word()));
        case 4: return DbusValue::ObjectPath(in.Text());
        case 5: {
            std::vector<DbusValue> items;
            for (uint8_t n = in.Byte() % 12; n > 0 && !in.Empty(); --n) items.push_back(Value(in, depth + 1));
            return DbusValue::Struct(std::move(items));
        }
        case 6: {
            std::vector<DbusValue> items;
            const std::string signature = in.Text();
            for (uint8_t n = in.Byte() % 12; n > 0 && !in.Empty(); --n) items.push_back(Value(in, depth + 1));
            return DbusValue::Array(signature, std::move(items));
        }
        case 7: return DbusValue::Variant(Value(in, depth + 1));
        default: return DbusValue::DictEntry(Value(in, depth + 1), Value(in, depth + 1));
    }
}

struct SFeed {
    std::deque<SDbusMessage> signals;
    std::deque<std::vector<DbusValue>> replies;
};

class FuzzConnection : public IDbusConnection {
public:
    FuzzConnection(std::shared_ptr<SFeed> feed, const char* context) : m_feed(std::move(feed)), m_context(context) {}
    EDbusReply Call(const SDbusMessage& call, int, std::vector<DbusValue>& reply) override {
        reply.clear();
        if (call.member == "CreateInputContext") {
            reply.push_back(DbusValue::ObjectPath(m_context));
            return EDbusReply::Replied;
        }
        if (m_feed->replies.empty()) return EDbusReply::TimedOut;
        reply = m_feed->replies.front();
        m_feed->replies.pop_front();
        return EDbusReply::Replied;
    }
    bool Send(const SDbusMessage&) override { return true; }
    bool TakeSignal(SDbusMessage& out) override {
        if (m_feed->signals.empty()) return false;
        out = m_feed->signals.front();
        m_feed->signals.pop_front();
        return true;
    }
    bool IsConnected() override { return true; }

private:
    std::shared_ptr<SFeed> m_feed;
    const char* m_context;
};

const char* const kMembers[] = {
    "CommitText",          "UpdatePreeditText", "UpdatePreeditTextWithMode",
    "ShowPreeditText",     "HidePreeditText",   "UpdateLookupTable",
    "ShowLookupTable",     "HideLookupTable",   "ForwardKeyEvent",
    "UpdateAuxiliaryText", "CommitString",      "UpdateFormattedPreedit",
    "UpdateClientSideUI",  "ForwardKey",        "Disconnected",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SBytes in(data, size);
    const bool fcitx = in.Byte() & 1;
    auto feed = std::make_shared<SFeed>();
    std::unique_ptr<IInputMethodClient> client;
    if (fcitx) {
        client = std::make_unique<Fcitx5InputMethodClient>(std::make_unique<FuzzConnection>(feed, kFcitxContext), ":0");
    } else {
        client = std::make_unique<IbusInputMethodClient>(std::make_unique<FuzzConnection>(feed, kIbusContext));
    }
    if (client->Open()) return 0;
    std::vector<SWindowEvent> events;
    while (!in.Empty()) {
        const uint8_t op = in.Byte();
        if (op % 4 == 0) {
            // A key and the reply it gets.
            std::vector<DbusValue> reply;
            for (uint8_t n = in.Byte() % 3; n > 0; --n) reply.push_back(Value(in, 0));
            feed->replies.push_back(reply);
            SInputMethodKey key;
            key.keysym = in.Word();
            key.keycode = in.Byte();
            key.state = in.Word();
            key.release = in.Byte() & 1;
            client->ProcessKey(key);
        } else {
            SDbusMessage signal;
            signal.member = kMembers[in.Byte() % (sizeof kMembers / sizeof kMembers[0])];
            signal.path = fcitx ? kFcitxContext : kIbusContext;
            signal.interface = signal.member == "Disconnected" ? "org.freedesktop.DBus.Local"
                               : fcitx                         ? "org.fcitx.Fcitx.InputContext1"
                                                               : "org.freedesktop.IBus.InputContext";
            for (uint8_t n = in.Byte() % 10; n > 0 && !in.Empty(); --n) signal.args.push_back(Value(in, 0));
            feed->signals.push_back(std::move(signal));
        }
        if (op % 3 == 0) client->Poll(events);
    }
    client->Poll(events);
    return 0;
}
