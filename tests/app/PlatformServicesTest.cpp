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

#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
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

// A test stands in for one service by changing that member of the set in effect: the
// installed set's other members stay, and without one the real services are what it changes.
TEST(PlatformServices, OneMemberChangedKeepsTheRestOfTheSetInEffect) {
    struct SilentOpener : IShellOpener {
        void Run(const std::vector<std::string>&) override {}
    } opener;
    const SPlatformServices outer = HeadlessPlatformServices();
    {
        PlatformServicesScope outerScope(outer);
        SPlatformServices changed = PlatformServicesInEffect();
        changed.shellOpener = Unowned(opener);
        PlatformServicesScope scope(changed);
        ASSERT_FALSE(scope.Failed());
        EXPECT_EQ(GetShellOpener(), &opener);
        EXPECT_EQ(GetFileSystem(), outer.fileSystem.get());
    }
    EXPECT_EQ(MissingPlatformServices(InstalledPlatformServices()).size(), PlatformServiceNames().size());
    const SPlatformServices fallback = PlatformServicesInEffect();
    EXPECT_TRUE(MissingPlatformServices(fallback).empty());
    EXPECT_NE(fallback.fileSystem.get(), outer.fileSystem.get());
}

// Only InstallPlatformServices plugs a service: a call of an area's registration point
// anywhere else (a test swapping one service by hand) would bring back a second way, and one
// set the harness or a fixture forgot. However it is spelled, a call is a name and a "(".
TEST(PlatformServices, OnlyTheInstallerCallsTheRegistrationPoints) {
    const std::regex call(
        R"(\b(SetClock|SetWallClock|SetWindowSystem|SetFileSystem|SetMessageBox|SetShellOpener|SetCloseSignals)"
        R"(|SetSocketService|SetSharedMemoryService|SetRenderDeviceMaker|SetFramePresenterMaker|SetVideoDecoderMaker)"
        R"(|SetTextRasterizerFactory|SetAudioOutputMaker)\s*\()");
    std::vector<std::string> offenders;
    for (const char* folder : {"/Application", "/Classes", "/tests", "/bench", "/fuzz", "/tools"}) {
        const std::string root = std::string(KESTRIN_SOURCE_DIR) + folder;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
            const std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
            const std::string path = entry.path().string();
            const std::string name = entry.path().filename().string();
            if (name == "PlatformServices.cpp" || name == "PlatformServicesTest.cpp") continue;
            std::ifstream in(path);
            std::string line;
            for (int number = 1; std::getline(in, line); ++number) {
                std::smatch found;
                if (!std::regex_search(line, found, call)) continue;
                // Declarations and definitions of the points themselves are not calls.
                const bool declares = line.find("void ") != std::string::npos;
                if (!declares)
                    offenders.push_back(path.substr(root.size() - std::strlen(folder)) + ":" + std::to_string(number) +
                                        ": " + found.str(0));
            }
        }
    }
    std::string list;
    for (const auto& offender : offenders) list += "\n  " + offender;
    EXPECT_TRUE(offenders.empty()) << "plug services with a set (PlatformServicesInEffect, PlatformServicesScope):"
                                   << list;
}
