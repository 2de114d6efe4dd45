// The application object builds the game's screen on its window (SDL dummy driver, software
// renderer) and the screen follows the window's client size.
#include "Application/CKestrinScreen.h"

#include <gtest/gtest.h>

#include "Application/CKestrin.h"
#include "CORE/CDynamicVariables.h"
#include "CORE/CInput.h"
#include "CORE/Platform/IWindowSystem.h"
#include "CORE/WindowMessages.h"
#include "GRAPHICS/CGraphicRenderer.h"
#include "GRAPHICS/CMainScreen.h"

using namespace kestrin;

TEST(KestrinScreen, BuiltOnTheWindowAndFollowsItsSize) {
    CDynamicVariables::GetInstance()->SetInt("ini.Width", 64);
    CDynamicVariables::GetInstance()->SetInt("ini.Height", 48);
    CKestrin::SetFactories(CKestrinScreen::Factory(), nullptr);
    {
        CKestrin app;
        ASSERT_FALSE(app.Create(kCentred, kCentred, 64, 48, "KestrinScreenApp", "", kWsFixedFrame, kSwShow, 0));
        auto* host = dynamic_cast<CKestrinScreen*>(app.GetScreen());
        ASSERT_NE(host, nullptr);
        CMainScreen* screen = host->GetScreen();
        ASSERT_TRUE(screen->IsReady());
        EXPECT_TRUE(host->IsSoftwareRender());
        EXPECT_EQ(screen->GetGameWindow(), &app);
        host->Update();
        host->Draw();

        GetWindowSystem().SetClientSize(app.GetHandle(), 128, 48);
        app.NoteClientSize(128, 48);
        host->Update();
        EXPECT_EQ(screen->GetRenderer()->GetWidth(), 128);
        EXPECT_FLOAT_EQ(screen->GetXOffset(), 32.0f);
        // Minimised: nothing to map onto, the screen keeps its size.
        app.NoteClientSize(0, 0);
        host->Update();
        EXPECT_EQ(screen->GetRenderer()->GetWidth(), 128);
        host->Draw();
    }
    CKestrin::SetFactories(nullptr, nullptr);
    CInput::ReleaseInstance();
    CDynamicVariables::ReleaseInstance();
}
