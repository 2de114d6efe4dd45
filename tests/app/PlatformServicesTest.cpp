#include "Application/PlatformServices.h"
#include "Application/PlatformServicesScope.h"
#include "CORE/CLogWindow.h"
#include "CORE/CTimer.h"
#include "CORE/Platform/HeadlessClock.h"
#include "CORE/Platform/HeadlessTextRasterizer.h"
#include "CORE/Platform/ICloseSignals.h"
#include "CORE/Platform/IFileSystem.h"
#include "CORE/Platform/IMessageBox.h"
#include "CORE/Platform/IShellOpener.h"
#include "CORE/WindowMessages.h"
#include "GRAPHICS/Platform/HeadlessFramePresenter.h"
#include "GRAPHICS/Platform/HeadlessRenderDevice.h"
#include "GRAPHICS/Platform/HeadlessVideoDecoder.h"
#include "NETWORK/Platform/ISharedMemoryService.h"
#include "NETWORK/Platform/ISocketService.h"
#include "support/AggregateSlots.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kestrin;

namespace {

// The instance members and what the engine finds through each one's getter.
std::vector<std::pair<const void*, const void*>> InstancesInUse(const SPlatformServices& s) {
    return {{s.clock.get(), &CTimer::GetClock()},        {s.windowSystem.get(), &GetWindowSystem()},
            {s.fileSystem.get(), GetFileSystem()},       {s.messageBox.get(), GetMessageBox()},
            {s.shellOpener.get(), GetShellOpener()},     {s.closeSignals.get(), GetCloseSignals()},
            {s.socketService.get(), GetSocketService()}, {s.sharedMemoryService.get(), GetSharedMemoryService()}};
}

}  // namespace

// A member added to the set without its name, or left empty by either maker, fails here.
TEST(PlatformServices, EveryMemberIsNamedAndFilledByBothMakers) {
    constexpr size_t members = kestrin_test::AggregateSlots<SPlatformServices>();
    EXPECT_EQ(PlatformServiceNames().size(), members);
    EXPECT_EQ(MissingPlatformServices(SPlatformServices()), PlatformServiceNames());
    EXPECT_EQ(MissingPlatformServices(HeadlessPlatformServices()), std::vector<std::string>());
    EXPECT_EQ(MissingPlatformServices(RealPlatformServices()), std::vector<std::string>());
}

TEST(PlatformServices, TheHeadlessSetReplacesEveryRealService) {
    SPlatformServices services = HeadlessPlatformServices();
    services.wallClock = std::make_shared<HeadlessClock>(4242);
    int audioOutputs = 0;
    auto silent = services.audioOutput;
    services.audioOutput = [&audioOutputs, silent]() {
        ++audioOutputs;
        return silent();
    };
    {
        PlatformServicesScope scope(services);
        ASSERT_FALSE(scope.Failed());
        for (const auto& instance : InstancesInUse(services)) EXPECT_EQ(instance.first, instance.second);
        EXPECT_EQ(CTimer::GetInstance()->GetWallTime(), 4242u);
        CTimer::ReleaseInstance();
        EXPECT_TRUE(std::dynamic_pointer_cast<HeadlessRenderDevice>(CreateRenderDevice()));
        EXPECT_TRUE(std::dynamic_pointer_cast<HeadlessFramePresenter>(CreateFramePresenter()));
        EXPECT_TRUE(dynamic_cast<HeadlessVideoDecoder*>(CreateVideoDecoder().get()));
        EXPECT_TRUE(dynamic_cast<HeadlessTextRasterizer*>(MakeTextRasterizer().get()));
        CloseAudioOutput();
        EXPECT_TRUE(GetAudioMixer());
        EXPECT_EQ(audioOutputs, 1);
        CloseAudioOutput();
    }
    // Gone with the scope: every area is back on its own default.
    for (const auto& instance : InstancesInUse(services)) EXPECT_NE(instance.first, instance.second);
    EXPECT_FALSE(std::dynamic_pointer_cast<HeadlessRenderDevice>(CreateRenderDevice()));
    EXPECT_FALSE(dynamic_cast<HeadlessVideoDecoder*>(CreateVideoDecoder().get()));
    EXPECT_EQ(MissingPlatformServices(InstalledPlatformServices()), PlatformServiceNames());
}

// The harness once ran without its shell opener: a set missing a member changes nothing.
TEST(PlatformServices, AnIncompleteSetIsRefusedAndScopesNest) {
    std::vector<std::string> lines;
    CLogWindow::SetLineSink([&lines](const std::string& line) { lines.push_back(line); });
    const SPlatformServices outer = HeadlessPlatformServices();
    {
        PlatformServicesScope outerScope(outer);
        SPlatformServices incomplete = HeadlessPlatformServices();
        incomplete.shellOpener.reset();
        {
            PlatformServicesScope refused(incomplete);
            EXPECT_TRUE(refused.Failed());
            EXPECT_EQ(GetMessageBox(), outer.messageBox.get());
        }
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find("shellOpener"), std::string::npos) << lines[0];

        const SPlatformServices inner = HeadlessPlatformServices();
        {
            PlatformServicesScope innerScope(inner);
            EXPECT_EQ(GetShellOpener(), inner.shellOpener.get());
        }
        for (const auto& instance : InstancesInUse(outer)) EXPECT_EQ(instance.first, instance.second);
    }
    CLogWindow::SetLineSink(nullptr);
    CLogWindow::ReleaseInstance();
}
