#include "CORE/CInput.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/CKeyConfig.h"
#include "CORE/COruKeyConfig.h"
#include "CORE/CSerializer.h"
#include "CORE/Platform/HeadlessWindowSystem.h"
#include "CORE/WindowMessages.h"

using namespace kestrin;

namespace {
class InputTest : public ::testing::Test {
protected:
    void SetUp() override {
        ws = std::make_shared<HeadlessWindowSystem>();
        SPlatformServices fakes = PlatformServicesInEffect();
        fakes.windowSystem = ws;
        services.emplace(fakes);
        SWindowDesc desc;
        desc.x = 100;
        desc.y = 50;
        desc.width = 640;
        desc.height = 480;
        window = ws->CreateWindow(desc);
        input = CInput::CreateInstance(window);
    }
    void TearDown() override {
        CInput::ReleaseInstance();
        services.reset();
    }
    // Puts the mouse at a client point of the game window.
    void MouseAt(int x, int y) { ws->SetMouseScreenPoint(100 + x, 50 + y); }
    std::shared_ptr<HeadlessWindowSystem> ws;
    std::optional<PlatformServicesScope> services;
    WindowHandle window = 0;
    CInput* input = nullptr;
};
}  // namespace

TEST_F(InputTest, CreateInstanceKeepsTheFirst) {
    EXPECT_EQ(CInput::CreateInstance(999), input);
    EXPECT_EQ(CInput::GetInstance(), input);
}

TEST_F(InputTest, HeldKeyRepeatsAfter500Milliseconds) {
    // 600 ms at 60 frames per second; the frame clock of frame i is i * 1000 / 60.
    ws->SetKeyDown(32, true);
    std::string pushes;
    for (int i = 0; i < 36; ++i) {
        input->Update(static_cast<uint32_t>(10000 + i * 1000 / 60));
        pushes += input->IsPush(32) ? '1' : '0';
        EXPECT_TRUE(input->IsDown(32));
        EXPECT_EQ(input->IsDownEdge(32), i == 0);
    }
    // Frame 30 is exactly 500 ms: repeating starts strictly after the delay.
    EXPECT_EQ(pushes, "1" + std::string(30, '0') + std::string(5, '1'));
    ws->SetKeyDown(32, false);
    input->Update(20000);
    EXPECT_TRUE(input->IsUpEdge(32));
    EXPECT_FALSE(input->IsDown(32));
    input->Update(20016);
    EXPECT_FALSE(input->IsUpEdge(32));
    EXPECT_EQ(input->GetKeyState(32), CInput::kUp);
}

TEST_F(InputTest, TapBetweenPollsIsPressedOneFrameAndReleasedTheNext) {
    MouseAt(10, 10);
    for (int key : {65, 13, 1, 2, 4}) {
        SCOPED_TRACE(key);
        input->Update(0);
        ws->SetKeyDown(key, true);
        ws->SetKeyDown(key, false);  // up again before the frame polls
        input->Update(16);
        EXPECT_TRUE(input->IsDownEdge(key));
        EXPECT_TRUE(input->IsDown(key));
        EXPECT_TRUE(input->IsPush(key));
        EXPECT_FALSE(input->IsUpEdge(key));
        input->Update(33);
        EXPECT_TRUE(input->IsUpEdge(key));
        EXPECT_FALSE(input->IsDown(key));
        input->Update(50);
        EXPECT_EQ(input->GetKeyState(key), CInput::kUp) << "the press counts once";
    }
    // The same checks as for a held press: a tap outside the client area or while another
    // application is in front answers false.
    MouseAt(700, 10);
    ws->SetKeyDown(1, true);
    ws->SetKeyDown(1, false);
    input->Update(66);
    EXPECT_FALSE(input->IsDownEdge(1));
    MouseAt(10, 10);
    ws->SetFocus(0);
    ws->SetKeyDown(65, true);
    ws->SetKeyDown(65, false);
    input->Update(83);
    EXPECT_FALSE(input->IsDownEdge(65));
    ws->SetFocus(window);
}

TEST_F(InputTest, PressesQuickerThanFramesEachCountInTurn) {
    // Taps (down and up again) made before one poll: each is handed out in a poll of its own,
    // released in the next before the following one is pressed, a click where it was made.
    struct SCase {
        int key;
        int taps;
        int counted;
    };
    const SCase cases[] = {{1, 5, 5}, {13, 5, 5}, {2, 2, 2}, {1, 17, 16}, {13, 40, 16}};
    uint32_t now = 0;
    for (const SCase& c : cases) {
        SCOPED_TRACE("key " + std::to_string(c.key) + ", " + std::to_string(c.taps) + " taps");
        for (int i = 0; i < c.taps; ++i) {
            MouseAt(10 + i, 20);
            ws->SetKeyDown(c.key, true);
            ws->SetKeyDown(c.key, false);
        }
        MouseAt(300, 300);
        std::string states;
        std::vector<int> clickedAt;
        for (int poll = 0; poll < 2 * c.counted + 3; ++poll) {
            input->Update(now += 16);
            states += static_cast<char>('0' + input->GetKeyState(c.key));
            if (input->IsDecide(c.key)) clickedAt.push_back(input->GetMousePoint().GetX());
        }
        std::string expected;
        for (int i = 0; i < c.counted; ++i) expected += "14";
        EXPECT_EQ(states, expected + "000");
        if (c.key == 13) continue;
        std::vector<int> where;
        for (int i = 0; i < c.counted; ++i) where.push_back(10 + i);
        EXPECT_EQ(clickedAt, where);
    }
    EXPECT_EQ(input->GetPendingPresses(), 0u);
}

TEST_F(InputTest, SlowPressesHeldKeysAndDragsReadAsTheyAre) {
    // A human double click: two taps some frames apart, each pressed and released once.
    uint32_t now = 0;
    std::string states;
    MouseAt(10, 10);
    for (int poll = 0; poll < 10; ++poll) {
        if (poll == 0 || poll == 5) {
            ws->SetKeyDown(1, true);
            ws->SetKeyDown(1, false);
        }
        input->Update(now += 16);
        states += static_cast<char>('0' + input->GetKeyState(1));
    }
    EXPECT_EQ(states, "1400014000");
    // A drag: the button stays down while the pointer moves, and the point follows the pointer.
    ws->SetKeyDown(1, true);
    input->Update(now += 16);
    EXPECT_TRUE(input->IsDecide(1));
    MouseAt(50, 60);
    input->Update(now += 16);
    EXPECT_EQ(input->GetKeyState(1), CInput::kHeld);
    EXPECT_EQ(input->GetMousePoint().GetX(), 50);
    ws->SetKeyDown(1, false);
    input->Update(now += 16);
    EXPECT_TRUE(input->IsUpEdge(1));
    // A key held down past the repeat delay after a quick press of it: pressed, released, then
    // pressed and held as long as it is down.
    ws->SetKeyDown(13, true);
    ws->SetKeyDown(13, false);
    ws->SetKeyDown(13, true);
    states.clear();
    for (int poll = 0; poll < 6; ++poll) {
        input->Update(now += 200);
        states += static_cast<char>('0' + input->GetKeyState(13));
    }
    EXPECT_EQ(states, "141223");
}

TEST_F(InputTest, APressSeenDownBeforeItsEventCountsOnce) {
    // A window system that reads its devices before it hands on the press events: the key
    // reads as down one poll before its press arrives.
    struct SLateWindowSystem : HeadlessWindowSystem {
        void TakeKeyPresses(std::vector<SKeyPress>& presses) override {
            presses.swap(late);
            HeadlessWindowSystem::TakeKeyPresses(late);
        }
        std::vector<SKeyPress> late;
    };
    auto late = std::make_shared<SLateWindowSystem>();
    late->CreateWindow(SWindowDesc());
    SPlatformServices fakes = PlatformServicesInEffect();
    fakes.windowSystem = late;
    PlatformServicesScope scope(fakes);
    late->SetKeyDown(13, true);
    std::string states;
    for (int poll = 0; poll < 4; ++poll) {
        input->Update(static_cast<uint32_t>(poll * 16));
        states += static_cast<char>('0' + input->GetKeyState(13));
        if (poll == 1) late->SetKeyDown(13, false);
    }
    EXPECT_EQ(states, "1240");
}

TEST_F(InputTest, AClickInAnotherWindowIsNoClickInTheGame) {
    SWindowDesc desc;
    desc.width = 320;
    desc.height = 480;
    const WindowHandle log = ws->CreateWindow(desc);
    ws->SetFocus(log);
    MouseAt(10, 10);
    ws->SetKeyDown(1, true);
    ws->SetKeyDown(1, false);
    ws->SetFocus(window);
    input->Update(16);
    EXPECT_FALSE(input->IsDecide(1));
}

TEST_F(InputTest, FocusGatesEverything) {
    ws->SetKeyDown(13, true);
    input->Update(33);
    EXPECT_TRUE(input->IsActive());
    ws->SetFocus(0);  // another application in front
    EXPECT_FALSE(input->IsActive());
    EXPECT_FALSE(input->IsDown(13));
    EXPECT_FALSE(input->IsDownEdge(13));
    ws->SetFocus(window);
    EXPECT_TRUE(input->IsDownEdge(13));
    EXPECT_FALSE(input->IsDown(-1));
    EXPECT_FALSE(input->IsDown(256));
}

TEST_F(InputTest, MouseButtonsCountOnlyInsideTheClientArea) {
    ws->SetKeyDown(1, true);
    ws->SetKeyDown(4, true);
    input->Update(0);
    MouseAt(640, 480);  // right and bottom edges count as inside
    EXPECT_TRUE(input->IsMouseInClient());
    EXPECT_TRUE(input->IsDown(1));
    input->Update(16);  // the point is taken at most once a frame
    EXPECT_TRUE(input->IsDown(1));
    MouseAt(641, 10);
    EXPECT_TRUE(input->IsDown(1)) << "point of this frame already taken";
    input->Update(33);
    EXPECT_FALSE(input->IsMouseInClient());
    EXPECT_FALSE(input->IsDown(1));
    EXPECT_TRUE(input->IsDown(4)) << "the middle button is not checked";
}

TEST_F(InputTest, WheelNotchAnswersOnceAndWaitsForAQuery) {
    EXPECT_EQ(input->PushWheel(true), 136);
    input->Update(0);  // not polled: still pending
    input->Update(16);
    EXPECT_FALSE(input->IsUpEdge(136));
    EXPECT_TRUE(input->IsDown(136));
    EXPECT_FALSE(input->IsDown(136));
    EXPECT_FALSE(input->IsPush(136));
    EXPECT_EQ(input->PushWheel(false), 137);
    EXPECT_TRUE(input->IsPush(137));
    EXPECT_FALSE(input->IsDownEdge(137));
}

TEST_F(InputTest, MousePointInGamePixels) {
    input->SetScale(0.5f);
    input->SetOffset(80.0f, 0.0f);
    MouseAt(80, 10);
    EXPECT_EQ(input->GetClientMousePoint().GetX(), 80);
    EXPECT_EQ(input->GetMousePoint().GetX(), 0);
    EXPECT_EQ(input->GetMousePoint().GetY(), 5);
    // A minimised window's scale (game size / zero client size) is ignored.
    input->SetScale(1.0f / 0.0f);
    input->SetScale(0.0f);
    input->SetOffset(0.0f / 0.0f, 0.0f);
    input->Update(0);
    MouseAt(100, 20);
    EXPECT_EQ(input->GetMousePoint().GetX(), 10);
    EXPECT_EQ(input->GetMousePoint().GetY(), 10);
}

TEST_F(InputTest, KeyConfigRolesAndWheel) {
    COruKeyConfig config;
    config.SetDefaultBindings();
    EXPECT_EQ(config.GetKeys().at(0), (std::set<int>{1, 13}));
    EXPECT_EQ(config.GetKeys().at(4).size(), 11u);
    EXPECT_EQ(config.GetKeys().count(5), 1u);

    input->PushWheel(false);  // role 0 and role 8 are both bound to the wheel back
    EXPECT_TRUE(config.IsDecide(0));
    EXPECT_FALSE(config.IsDecide(8)) << "the notch was consumed";
    input->PushWheel(true);
    input->PushWheel(false);
    // Role 4 has both wheel bindings: both notches are consumed by one query.
    EXPECT_TRUE(config.IsDown(4));
    EXPECT_FALSE(config.IsDown(5));
    EXPECT_FALSE(config.IsDown(8));

    ws->SetKeyDown(40, true);
    input->Update(0);
    EXPECT_TRUE(config.IsDecide(8));
    EXPECT_FALSE(config.IsDecide(99));
    config.ClearKeys(8);
    EXPECT_FALSE(config.IsDown(8));
    config.AddKey(8, 40);
    EXPECT_TRUE(config.IsDown(8));
}

TEST_F(InputTest, KeyConfigSaveKeepsKeySetsButNotWheelBindings) {
    COruKeyConfig config;
    config.SetDefaultBindings();
    CSerializer out;
    config.Save(&out);
    CBinaryStream::CMemoryInfo* image = out.GetMemory();
    ASSERT_NE(image, nullptr);
    std::string bytes(reinterpret_cast<char*>(image->data), static_cast<size_t>(image->size));

    COruKeyConfig loaded;
    CSerializer in;
    in.Attach(bytes.data(), static_cast<unsigned>(bytes.size()));
    loaded.Load(&in);
    EXPECT_EQ(loaded.GetKeys(), config.GetKeys());
    input->PushWheel(true);
    EXPECT_FALSE(loaded.IsDown(5));
    EXPECT_TRUE(config.IsDown(5));
}
