// The SDL window system on SDL's dummy video driver (the test environment sets it).
#include "CORE/Platform/SdlWindowSystem.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using kestrin::SdlWindowSystem;

TEST(SdlWindowSystem, ScancodesMapToVirtualKeys) {
    struct Case {
        int scancode, vk;
        // clang-format off
    } cases[] = {{SDL_SCANCODE_A, 65},      {SDL_SCANCODE_Z, 90},         {SDL_SCANCODE_0, 48},
                 {SDL_SCANCODE_RETURN, 13}, {SDL_SCANCODE_KP_ENTER, 13},  {SDL_SCANCODE_LSHIFT, 16},
                 {SDL_SCANCODE_RCTRL, 17},  {SDL_SCANCODE_ESCAPE, 27},    {SDL_SCANCODE_SPACE, 32},
                 {SDL_SCANCODE_UP, 38},     {SDL_SCANCODE_DOWN, 40},      {SDL_SCANCODE_F1, 112},
                 {SDL_SCANCODE_F4, 115},    {SDL_SCANCODE_F12, 123},      {SDL_SCANCODE_BACKSPACE, 8},
                 {SDL_SCANCODE_KP_5, 101},  {SDL_SCANCODE_SEMICOLON, 186}, {SDL_SCANCODE_UNKNOWN, 0},
                 {-1, 0},                   {SDL_NUM_SCANCODES, 0}};
    // clang-format on
    for (const Case& c : cases) EXPECT_EQ(SdlWindowSystem::VirtualKeyFromScancode(c.scancode), c.vk) << c.scancode;
}

TEST(SdlWindowSystem, DummyDriverRunsWindowsHeadless) {
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (!driver || std::strcmp(driver, "dummy") != 0) GTEST_SKIP() << "needs SDL_VIDEODRIVER=dummy";
    // Start-up hides the session bus address from SDL only while it starts, when there is none.
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    SdlWindowSystem ws;
    ASSERT_FALSE(ws.Init());
    EXPECT_EQ(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr);
    EXPECT_FALSE(ws.HasDisplay());
    int dw = 0, dh = 0;
    ws.GetDesktopSize(dw, dh);
    EXPECT_GT(dw, 0);
    EXPECT_GT(dh, 0);
    kestrin::SWindowDesc desc;
    desc.width = 320;
    desc.height = 240;
    desc.resizable = true;
    const kestrin::WindowHandle h = ws.CreateWindow(desc);
    ASSERT_NE(h, 0u);
    ASSERT_NE(ws.GetNativeWindow(h), nullptr);
    int w = 0, hh = 0;
    ws.GetClientSize(h, w, hh);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(hh, 240);
    ws.SetClientSize(h, 400, 300);
    ws.GetClientSize(h, w, hh);
    EXPECT_EQ(w, 400);
    EXPECT_TRUE(ws.HasKeyboardFocus(h)) << "headless: nothing else can be in front";
    EXPECT_FALSE(ws.IsKeyDown(65));
    EXPECT_FALSE(ws.IsKeyDown(999));
    bool down[256];
    ws.GetKeysDown(down);
    for (int key = 0; key < 256; ++key) EXPECT_EQ(down[key], ws.IsKeyDown(key)) << key;
    uint32_t pixels[4 * 3] = {};
    ws.PresentPixels(h, pixels, 4, 3, 16);
    kestrin::SWindowEvent e;
    int events = 0;
    while (ws.PollEvent(e) && events < 100) ++events;
    // SDL cannot sleep on this driver's events (it would poll every millisecond): the pacer sleeps.
    EXPECT_FALSE(ws.WaitEvent(60000));
    ws.DestroyWindow(h);
    EXPECT_EQ(ws.GetNativeWindow(h), nullptr);
}

TEST(SdlWindowSystem, PressesAreKeptUntilTakenAlsoWhenReleased) {
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (!driver || std::strcmp(driver, "dummy") != 0) GTEST_SKIP() << "needs SDL_VIDEODRIVER=dummy";
    SdlWindowSystem ws;
    ASSERT_FALSE(ws.Init());
    auto key = [](Uint32 type, SDL_Scancode code, Uint8 repeat) {
        SDL_Event e{};
        e.type = type;
        e.key.windowID = 7;
        e.key.keysym.scancode = code;
        e.key.repeat = repeat;
        SDL_PushEvent(&e);
    };
    auto button = [](Uint32 type, Uint8 which, int x) {
        SDL_Event e{};
        e.type = type;
        e.button.windowID = 7;
        e.button.button = which;
        e.button.x = x;
        e.button.y = 5;
        SDL_PushEvent(&e);
    };
    key(SDL_KEYDOWN, SDL_SCANCODE_LSHIFT, 0);
    key(SDL_KEYUP, SDL_SCANCODE_LSHIFT, 0);
    key(SDL_KEYDOWN, SDL_SCANCODE_A, 1);  // a repeat of a held key is no new press
    key(SDL_KEYUP, SDL_SCANCODE_RETURN, 0);
    // Two quick clicks of one button are two presses, each where it was made.
    button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 10);
    button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 10);
    button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 20);
    button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 20);
    button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 0);
    kestrin::SWindowEvent e;
    int events = 0;
    while (ws.PollEvent(e) && events < 100) ++events;
    std::vector<kestrin::SKeyPress> presses;
    ws.TakeKeyPresses(presses);
    std::string seen;
    for (const kestrin::SKeyPress& p : presses) {
        seen += std::to_string(p.key) + "@" + std::to_string(p.window);
        if (p.hasPoint) seen += "(" + std::to_string(p.x) + "," + std::to_string(p.y) + ")";
        seen += " ";
    }
    EXPECT_EQ(seen, "16@7 160@7 2@7(10,5) 2@7(20,5) ");
    ws.TakeKeyPresses(presses);
    EXPECT_TRUE(presses.empty());
}
