// The input-method clients (IBus, fcitx5) as the window system drives them, over a fake bus:
// what they ask the input method for, and how its signals and key answers become the game's
// window events.
#include <gtest/gtest.h>

#include <deque>
#include <memory>

#include "CORE/Platform/Fcitx5InputMethodClient.h"
#include "CORE/Platform/HeadlessWindowSystem.h"
#include "CORE/Platform/IbusInputMethodClient.h"

namespace kestrin {
namespace {

const char kContext[] = "/org/freedesktop/IBus/InputContext_7";

// What the fake bus saw and what it answers; shared with the test after the client took the
// connection.
struct SFakeBus {
    std::vector<SDbusMessage> calls;  // with and without a reply wanted, in order
    std::deque<SDbusMessage> signals;
    std::deque<EDbusReply> keyOutcomes;  // Replied by default
    bool keyTaken = false;
    bool connected = true;
    std::vector<DbusValue> createReply{DbusValue::ObjectPath(kContext)};
    std::string focusedContext;  // what CurrentInputContext answers; empty: no answer

    std::vector<std::string> Members() const {
        std::vector<std::string> members;
        for (const SDbusMessage& m : calls) members.push_back(m.member);
        return members;
    }
    const SDbusMessage* Find(const std::string& member) const {
        for (const SDbusMessage& m : calls) {
            if (m.member == member) return &m;
        }
        return nullptr;
    }
};

class FakeDbusConnection : public IDbusConnection {
public:
    explicit FakeDbusConnection(std::shared_ptr<SFakeBus> bus) : m_bus(std::move(bus)) {}
    EDbusReply Call(const SDbusMessage& call, int, std::vector<DbusValue>& reply) override {
        m_bus->calls.push_back(call);
        reply.clear();
        if (call.member == "CreateInputContext") {
            reply = m_bus->createReply;
        } else if (call.member == "CurrentInputContext") {
            if (!m_bus->focusedContext.empty()) reply.push_back(DbusValue::ObjectPath(m_bus->focusedContext));
        } else if (call.member == "ProcessKeyEvent") {
            EDbusReply outcome = EDbusReply::Replied;
            if (!m_bus->keyOutcomes.empty()) {
                outcome = m_bus->keyOutcomes.front();
                m_bus->keyOutcomes.pop_front();
            }
            if (outcome != EDbusReply::Replied) return outcome;
            reply.push_back(DbusValue::Bool(m_bus->keyTaken));
        }
        return EDbusReply::Replied;
    }
    bool Send(const SDbusMessage& call) override {
        m_bus->calls.push_back(call);
        return m_bus->connected;
    }
    bool TakeSignal(SDbusMessage& out) override {
        if (m_bus->signals.empty()) return false;
        out = m_bus->signals.front();
        m_bus->signals.pop_front();
        return true;
    }
    bool IsConnected() override { return m_bus->connected; }

private:
    std::shared_ptr<SFakeBus> m_bus;
};

DbusValue IbusText(const std::string& text) {
    return DbusValue::Variant(DbusValue::Struct(
        {DbusValue::String("IBusText"), DbusValue::Array("{sv}", {}), DbusValue::String(text),
         DbusValue::Variant(DbusValue::Struct(
             {DbusValue::String("IBusAttrList"), DbusValue::Array("{sv}", {}), DbusValue::Array("v", {})}))}));
}

DbusValue LookupTable(const std::vector<std::string>& words, uint32_t pageSize, uint32_t cursor) {
    std::vector<DbusValue> candidates;
    for (const std::string& w : words) candidates.push_back(IbusText(w));
    return DbusValue::Variant(DbusValue::Struct(
        {DbusValue::String("IBusLookupTable"), DbusValue::Array("{sv}", {}), DbusValue::Uint32(pageSize),
         DbusValue::Uint32(cursor), DbusValue::Bool(true), DbusValue::Bool(true), DbusValue::Int32(0),
         DbusValue::Array("v", std::move(candidates)), DbusValue::Array("v", {})}));
}

SDbusMessage Signal(const char* member, std::vector<DbusValue> args, const std::string& path = kContext,
                    const char* interface = "org.freedesktop.IBus.InputContext") {
    SDbusMessage m;
    m.path = path;
    m.interface = interface;
    m.member = member;
    m.args = std::move(args);
    return m;
}

SInputMethodKey Key(uint32_t keysym, bool release = false, uint32_t state = 0) {
    SInputMethodKey key;
    key.keysym = keysym;
    key.keycode = 38;
    key.state = state;
    key.release = release;
    return key;
}

std::vector<SWindowEvent> Drain(HeadlessWindowSystem& ws) {
    std::vector<SWindowEvent> events;
    SWindowEvent e;
    while (ws.PollEvent(e)) events.push_back(e);
    return events;
}

class InputMethodClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = ws.CreateWindow(SWindowDesc{});
        ws.SetInputMethodClient(std::make_unique<IbusInputMethodClient>(std::make_unique<FakeDbusConnection>(bus)));
        ws.StartCandidateTextInput();
        ASSERT_TRUE(ws.InputMethodOwnsKeys());
        bus->calls.clear();
    }

    std::shared_ptr<SFakeBus> bus = std::make_shared<SFakeBus>();
    HeadlessWindowSystem ws;
    WindowHandle window = 0;
};

TEST(InputMethodClientOpenTest, IbusAsksForTheLookupTableAndTakesTheFocus) {
    auto bus = std::make_shared<SFakeBus>();
    HeadlessWindowSystem ws;
    ws.CreateWindow(SWindowDesc{});
    ws.SetInputMethodClient(std::make_unique<IbusInputMethodClient>(std::make_unique<FakeDbusConnection>(bus)));
    ws.StartCandidateTextInput();
    EXPECT_TRUE(ws.InputMethodOwnsKeys());
    EXPECT_FALSE(ws.IsTextInputOn());
    const SDbusMessage* create = bus->Find("CreateInputContext");
    ASSERT_NE(create, nullptr);
    const SDbusMessage* caps = bus->Find("SetCapabilities");
    ASSERT_NE(caps, nullptr);
    uint32_t value = 0;
    ASSERT_TRUE(caps->args.at(0).GetUint32(value));
    EXPECT_EQ(value, 1u | 2u | 4u | 8u);  // preedit, auxiliary text, lookup table, focus
    EXPECT_EQ(caps->path, kContext);
    ASSERT_NE(bus->Find("FocusIn"), nullptr);
    // Nothing switches the input method on or off.
    for (const std::string& member : bus->Members()) {
        EXPECT_TRUE(member != "Enable" && member != "Disable" && member != "SetEngine") << member;
    }
    ws.StopTextInput();
    EXPECT_FALSE(ws.InputMethodOwnsKeys());
    EXPECT_EQ(bus->Members().back(), "FocusOut");
}

TEST(InputMethodClientOpenTest, AContextThatIsRefusedLeavesThePlainTextInput) {
    for (std::vector<DbusValue> reply : {std::vector<DbusValue>{}, std::vector<DbusValue>{DbusValue::String("x")},
                                         std::vector<DbusValue>{DbusValue::Uint32(3)}}) {
        auto bus = std::make_shared<SFakeBus>();
        bus->createReply = reply;
        HeadlessWindowSystem ws;
        ws.CreateWindow(SWindowDesc{});
        ws.SetInputMethodClient(std::make_unique<IbusInputMethodClient>(std::make_unique<FakeDbusConnection>(bus)));
        ws.StartCandidateTextInput();
        EXPECT_FALSE(ws.InputMethodOwnsKeys());
        EXPECT_TRUE(ws.IsTextInputOn());
    }
}

TEST_F(InputMethodClientTest, PreeditAndLookupTableBecomeCompositionAndTheCursorsPage) {
    // Seven candidates, five to a page, the cursor on the seventh: the second page shows.
    bus->signals.push_back(Signal("UpdatePreeditText", {IbusText("ka"), DbusValue::Uint32(2), DbusValue::Bool(true)}));
    bus->signals.push_back(Signal("UpdateAuxiliaryText", {IbusText("1/7"), DbusValue::Bool(true)}));
    bus->signals.push_back(
        Signal("UpdateLookupTable", {LookupTable({"a", "b", "c", "d", "e", "f", "g"}, 5, 6), DbusValue::Bool(true)}));
    std::vector<SWindowEvent> events = Drain(ws);
    ASSERT_EQ(events.size(), 2u);  // the auxiliary text is not shown
    EXPECT_EQ(events[0].type, EWindowEvent::TextEditing);
    EXPECT_EQ(events[0].text, "ka");
    EXPECT_EQ(events[1].type, EWindowEvent::TextCandidates);
    EXPECT_EQ(events[1].candidates, (std::vector<std::string>{"f", "g"}));
    EXPECT_EQ(events[1].key, 1);

    // Two tables before a frame: only the last is drawn.
    bus->signals.push_back(Signal("UpdateLookupTable", {LookupTable({"x", "y"}, 5, 0), DbusValue::Bool(true)}));
    bus->signals.push_back(Signal("UpdateLookupTable", {LookupTable({"x", "y"}, 5, 1), DbusValue::Bool(true)}));
    events = Drain(ws);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].candidates, (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(events[0].key, 1);

    // A list that closes goes before the composition, so no old list stays on the screen.
    bus->signals.push_back(Signal("HideLookupTable", {}));
    bus->signals.push_back(Signal("UpdatePreeditText", {IbusText("k"), DbusValue::Uint32(1), DbusValue::Bool(true)}));
    events = Drain(ws);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].type, EWindowEvent::TextCandidates);
    EXPECT_TRUE(events[0].candidates.empty());
    EXPECT_EQ(events[1].type, EWindowEvent::TextEditing);
    EXPECT_EQ(events[1].text, "k");

    // Signals of another context are not ours.
    bus->signals.push_back(Signal("CommitText", {IbusText("z")}, "/org/freedesktop/IBus/InputContext_1"));
    EXPECT_TRUE(Drain(ws).empty());
}

TEST_F(InputMethodClientTest, CommittedTextAndForwardedKeysArriveInOrder) {
    bus->signals.push_back(Signal("UpdatePreeditText", {IbusText("ka"), DbusValue::Uint32(2), DbusValue::Bool(true)}));
    Drain(ws);
    bus->signals.push_back(Signal("CommitText", {IbusText("か")}));
    bus->signals.push_back(Signal("UpdatePreeditText", {IbusText(""), DbusValue::Uint32(0), DbusValue::Bool(false)}));
    bus->signals.push_back(
        Signal("ForwardKeyEvent", {DbusValue::Uint32(0xFF0D), DbusValue::Uint32(28), DbusValue::Uint32(0)}));
    const std::vector<SWindowEvent> events = Drain(ws);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].type, EWindowEvent::TextInput);
    EXPECT_EQ(events[0].text, "か");
    EXPECT_EQ(events[1].type, EWindowEvent::KeyDown);
    EXPECT_EQ(events[1].key, 13);
}

TEST_F(InputMethodClientTest, AKeyTheInputMethodTakesNeverReachesTheGame) {
    bus->keyTaken = true;
    ws.PushKey(window, Key(0xFF0D));  // Return confirming a candidate
    EXPECT_TRUE(Drain(ws).empty());
    const SDbusMessage* key = bus->Find("ProcessKeyEvent");
    ASSERT_NE(key, nullptr);
    uint32_t keysym = 0, keycode = 0, state = 0;
    ASSERT_TRUE(key->args.at(0).GetUint32(keysym) && key->args.at(1).GetUint32(keycode) &&
                key->args.at(2).GetUint32(state));
    EXPECT_EQ(keysym, 0xFF0Du);
    EXPECT_EQ(keycode, 30u);  // IBus counts from the evdev code
    EXPECT_EQ(state, 0u);

    bus->keyTaken = false;
    ws.PushKey(window, Key('a'));
    ws.PushKey(window, Key('a', true));
    const std::vector<SWindowEvent> events = Drain(ws);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].type, EWindowEvent::KeyDown);
    EXPECT_EQ(events[0].key, 65);
    EXPECT_EQ(events[1].type, EWindowEvent::TextInput);
    EXPECT_EQ(events[1].text, "a");
    EXPECT_EQ(events[2].type, EWindowEvent::KeyUp);
    uint32_t releaseState = 0;
    ASSERT_TRUE(bus->calls.back().args.at(2).GetUint32(releaseState));
    EXPECT_EQ(releaseState, 1u << 30);
}

TEST_F(InputMethodClientTest, AKeyTakesTheFocusBackFromAnotherContext) {
    auto focusCalls = [this] {
        std::vector<std::string> members;
        for (const SDbusMessage& m : bus->calls) {
            if (m.member == "FocusIn" || m.member == "FocusOut") members.push_back(m.member);
        }
        bus->calls.clear();
        return members;
    };
    const std::vector<std::string> retake = {"FocusOut", "FocusIn"};
    // Right after the window got the focus, the next key asks once more whatever the daemon says.
    ws.SetFocus(0);
    EXPECT_EQ(focusCalls(), std::vector<std::string>{"FocusOut"});
    ws.SetFocus(window);
    EXPECT_EQ(focusCalls(), retake);
    ws.PushKey(window, Key('a'));
    EXPECT_EQ(focusCalls(), retake);
    // Ours holds it: keys go as they are.
    bus->focusedContext = kContext;
    ws.PushKey(window, Key('b'));
    EXPECT_TRUE(focusCalls().empty());
    // SDL's context took it: the key takes it back first (the daemon ignores a plain FocusIn).
    bus->focusedContext = "/org/freedesktop/IBus/InputContext_2";
    ws.PushKey(window, Key('c'));
    ASSERT_FALSE(bus->calls.empty());
    EXPECT_EQ(bus->calls.back().member, "ProcessKeyEvent");
    EXPECT_EQ(focusCalls(), retake);
}

TEST_F(InputMethodClientTest, AHungInputMethodGivesTheKeysBackAfterThreeTimeOuts) {
    bus->keyOutcomes = {EDbusReply::TimedOut, EDbusReply::TimedOut, EDbusReply::TimedOut};
    ws.PushKey(window, Key('a'));
    ws.PushKey(window, Key('b'));
    EXPECT_TRUE(ws.InputMethodOwnsKeys());
    ws.PushKey(window, Key('c'));
    std::vector<SWindowEvent> events = Drain(ws);
    // Late keys count as passed on.
    std::string typed;
    for (const SWindowEvent& e : events) {
        if (e.type == EWindowEvent::TextInput) typed += e.text;
    }
    EXPECT_EQ(typed, "abc");
    EXPECT_FALSE(ws.InputMethodOwnsKeys());
    EXPECT_TRUE(ws.IsTextInputOn());
    const size_t asked = bus->calls.size();
    ws.PushKey(window, Key('d'));
    EXPECT_EQ(bus->calls.size(), asked);
}

TEST_F(InputMethodClientTest, AnAnswerInTimeStartsTheCountAgain) {
    bus->keyOutcomes = {EDbusReply::TimedOut, EDbusReply::TimedOut, EDbusReply::Replied, EDbusReply::TimedOut,
                        EDbusReply::TimedOut};
    for (char c : std::string("abcde")) ws.PushKey(window, Key(static_cast<uint32_t>(c)));
    Drain(ws);
    EXPECT_TRUE(ws.InputMethodOwnsKeys());
}

TEST_F(InputMethodClientTest, MalformedSignalsAreIgnored) {
    const DbusValue notText = DbusValue::Variant(DbusValue::String("IBusText"));
    const DbusValue wrongName = DbusValue::Variant(DbusValue::Struct(
        {DbusValue::String("IBusLookupTable"), DbusValue::Array("{sv}", {}), DbusValue::String("x")}));
    DbusValue shortTable = LookupTable({"a"}, 5, 0);
    shortTable.items[0].items.resize(7);
    DbusValue badCandidate = LookupTable({"a"}, 5, 0);
    badCandidate.items[0].items[7].items[0] = DbusValue::Uint32(1);
    const std::vector<SDbusMessage> bad = {
        Signal("CommitText", {}),
        Signal("CommitText", {notText}),
        Signal("CommitText", {wrongName}),
        Signal("UpdatePreeditText", {IbusText("k")}),
        Signal("UpdatePreeditText", {IbusText("k"), DbusValue::Uint32(1), DbusValue::String("yes")}),
        Signal("UpdateLookupTable", {notText, DbusValue::Bool(true)}),
        Signal("UpdateLookupTable", {shortTable, DbusValue::Bool(true)}),
        Signal("UpdateLookupTable", {badCandidate, DbusValue::Bool(true)}),
        Signal("UpdateLookupTable", {LookupTable({"a"}, 5, 0)}),
        Signal("ForwardKeyEvent", {DbusValue::Uint32(1)}),
        Signal("ProcessKeyEvent", {DbusValue::Variant(DbusValue::Variant(DbusValue()))}),
    };
    for (const SDbusMessage& signal : bad) bus->signals.push_back(signal);
    EXPECT_TRUE(Drain(ws).empty());
    // The client goes on with well-formed ones.
    bus->signals.push_back(Signal("CommitText", {IbusText("ok")}));
    const std::vector<SWindowEvent> events = Drain(ws);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].text, "ok");
    EXPECT_TRUE(ws.InputMethodOwnsKeys());
}

TEST_F(InputMethodClientTest, ABrokenConnectionGivesTheKeysBack) {
    bus->connected = false;
    Drain(ws);
    EXPECT_FALSE(ws.InputMethodOwnsKeys());
    EXPECT_TRUE(ws.IsTextInputOn());
}

DbusValue Formatted(const std::string& text) {
    if (text.empty()) return DbusValue::Array("(si)", {});
    return DbusValue::Array("(si)", {DbusValue::Struct({DbusValue::String(text), DbusValue::Int32(0)})});
}

TEST(Fcitx5InputMethodClientTest, ClientSideInputPanelBecomesCompositionAndCandidates) {
    auto bus = std::make_shared<SFakeBus>();
    bus->createReply = {DbusValue::ObjectPath("/org/freedesktop/portal/inputcontext/3"), DbusValue::Array("y", {})};
    HeadlessWindowSystem ws;
    const WindowHandle window = ws.CreateWindow(SWindowDesc{});
    ws.SetInputMethodClient(std::make_unique<Fcitx5InputMethodClient>(std::make_unique<FakeDbusConnection>(bus), ":0"));
    ws.StartCandidateTextInput();
    ASSERT_TRUE(ws.InputMethodOwnsKeys());
    const SDbusMessage* caps = bus->Find("SetCapability");
    ASSERT_NE(caps, nullptr);
    EXPECT_EQ(caps->args.at(0).Unwrapped().number & (1ull << 39), 1ull << 39);  // the client draws the panel

    auto signal = [](const char* member, std::vector<DbusValue> args) {
        return Signal(member, std::move(args), "/org/freedesktop/portal/inputcontext/3",
                      "org.fcitx.Fcitx.InputContext1");
    };
    auto candidate = [](const char* label, const char* text) {
        return DbusValue::Struct({DbusValue::String(label), DbusValue::String(text)});
    };
    bus->signals.push_back(
        signal("UpdateClientSideUI",
               {Formatted("か"), DbusValue::Int32(3), Formatted("aux"), Formatted(""),
                DbusValue::Array("(ss)", {candidate("1.", "か"), candidate("2.", "カ")}), DbusValue::Int32(1),
                DbusValue::Int32(0), DbusValue::Bool(false), DbusValue::Bool(false)}));
    std::vector<SWindowEvent> events = Drain(ws);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].type, EWindowEvent::TextEditing);
    EXPECT_EQ(events[0].text, "か");
    EXPECT_EQ(events[1].candidates, (std::vector<std::string>{"か", "カ"}));
    EXPECT_EQ(events[1].key, 1);

    bus->signals.push_back(signal("UpdateClientSideUI", {Formatted("x"), DbusValue::Int32(0)}));  // malformed
    bus->signals.push_back(signal("CommitString", {DbusValue::String("カ")}));
    bus->signals.push_back(
        signal("ForwardKey", {DbusValue::Uint32('q'), DbusValue::Uint32(0), DbusValue::Bool(false)}));
    events = Drain(ws);
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events[0].type, EWindowEvent::TextInput);
    EXPECT_EQ(events[0].text, "カ");
    EXPECT_EQ(events[1].type, EWindowEvent::KeyDown);
    EXPECT_EQ(events[2].text, "q");

    bus->keyTaken = true;
    ws.PushKey(window, Key(' '));
    EXPECT_TRUE(Drain(ws).empty());
    const SDbusMessage& key = bus->calls.back();
    ASSERT_EQ(key.member, "ProcessKeyEvent");
    uint32_t keycode = 0;
    ASSERT_TRUE(key.args.at(1).GetUint32(keycode));
    EXPECT_EQ(keycode, 38u);  // fcitx5 takes the X key code as it is
}

TEST(InputMethodKeysymTest, TextAndVirtualKeys) {
    EXPECT_EQ(TextOfKeysym('a'), "a");
    EXPECT_EQ(TextOfKeysym(0xE9), "\xC3\xA9");
    EXPECT_EQ(TextOfKeysym(0x01003042), "\xE3\x81\x82");
    EXPECT_EQ(TextOfKeysym(0xFFB7), "7");
    EXPECT_EQ(TextOfKeysym(0xFF0D), "");
    EXPECT_EQ(TextOfKeysym(0x0100D800), "");
    EXPECT_EQ(VirtualKeyOfKeysym('a'), 65);
    EXPECT_EQ(VirtualKeyOfKeysym('Z'), 90);
    EXPECT_EQ(VirtualKeyOfKeysym(0xFF08), 8);
    EXPECT_EQ(VirtualKeyOfKeysym(0xFFBE), 112);
    EXPECT_EQ(VirtualKeyOfKeysym(0x12345), 0);
}

}  // namespace
}  // namespace kestrin
