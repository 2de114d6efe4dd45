#include "Application/PlatformServices.h"

#include "CORE/CLogWindow.h"
#include "CORE/CTimer.h"
#include "CORE/Platform/FreeTypeTextRasterizer.h"
#include "CORE/Platform/HeadlessClock.h"
#include "CORE/Platform/HeadlessCloseSignals.h"
#include "CORE/Platform/HeadlessFileSystem.h"
#include "CORE/Platform/HeadlessMessageBox.h"
#include "CORE/Platform/HeadlessShellOpener.h"
#include "CORE/Platform/HeadlessTextRasterizer.h"
#include "CORE/Platform/HeadlessWindowSystem.h"
#include "CORE/Platform/IClock.h"
#include "CORE/Platform/IFileSystem.h"
#include "CORE/Platform/IMessageBox.h"
#include "CORE/Platform/IShellOpener.h"
#include "CORE/Platform/ICloseSignals.h"
#include "CORE/Platform/ITextRasterizer.h"
#include "CORE/Platform/PosixCloseSignals.h"
#include "CORE/Platform/PosixFileSystem.h"
#include "CORE/Platform/PosixShellOpener.h"
#include "CORE/Platform/SdlMessageBox.h"
#include "CORE/WindowMessages.h"
#include "GRAPHICS/Platform/FfmpegVideoDecoder.h"
#include "GRAPHICS/Platform/HeadlessFramePresenter.h"
#include "GRAPHICS/Platform/HeadlessRenderDevice.h"
#include "GRAPHICS/Platform/HeadlessVideoDecoder.h"
#include "GRAPHICS/Platform/SdlFramePresenter.h"
#include "GRAPHICS/Platform/SdlRenderDevice.h"
#include "NETWORK/Platform/HeadlessSharedMemoryService.h"
#include "NETWORK/Platform/HeadlessSocketService.h"
#include "NETWORK/Platform/PosixSharedMemoryService.h"
#include "NETWORK/Platform/PosixSocketService.h"
#include "NETWORK/Platform/ISharedMemoryService.h"
#include "NETWORK/Platform/ISocketService.h"
#include "SOUND/Platform/SdlAudioOutput.h"
#include "SOUND/Platform/SilentAudioOutput.h"

namespace kestrin {

namespace {

// The headless device and presenter's client size when nothing else asks for one.
constexpr int32_t kHeadlessWidth = 640;
constexpr int32_t kHeadlessHeight = 480;

SPlatformServices& Installed() {
    static SPlatformServices installed;
    return installed;
}

// Whether each member is filled, in the order of PlatformServiceNames.
std::vector<bool> Filled(const SPlatformServices& s) {
    return {bool(s.clock),          bool(s.wallClock),      bool(s.windowSystem),
            bool(s.fileSystem),     bool(s.messageBox),     bool(s.shellOpener),
            bool(s.closeSignals),   bool(s.socketService),  bool(s.sharedMemoryService),
            bool(s.renderDevice),   bool(s.framePresenter), bool(s.videoDecoder),
            bool(s.textRasterizer), bool(s.audioOutput)};
}

// The desktop's makers: each use makes its own device, presenter, decoder, face or output.
void FillRealMakers(SPlatformServices& s) {
    s.renderDevice = []() -> std::shared_ptr<IRenderDevice> { return std::make_shared<SdlRenderDevice>(); };
    s.framePresenter = []() -> std::shared_ptr<IFramePresenter> { return std::make_shared<SdlFramePresenter>(); };
    s.videoDecoder = []() -> std::unique_ptr<IVideoDecoder> { return std::make_unique<FfmpegVideoDecoder>(); };
    s.textRasterizer = []() -> std::unique_ptr<ITextRasterizer> { return std::make_unique<FreeTypeTextRasterizer>(); };
    s.audioOutput = []() -> std::unique_ptr<IAudioOutput> { return std::make_unique<SdlAudioOutput>(); };
}

}  // namespace

SPlatformServices RealPlatformServices() {
    SPlatformServices s;
    s.clock = CreateSystemClock();
    s.wallClock = CreateSystemClock();
    s.windowSystem = CreateSystemWindowSystem();
    s.fileSystem = std::make_shared<PosixFileSystem>();
    s.messageBox = std::make_shared<SdlMessageBox>();
    s.shellOpener = std::make_shared<PosixShellOpener>();
    s.closeSignals = std::make_shared<PosixCloseSignals>();
    s.socketService = std::make_shared<PosixSocketService>();
    s.sharedMemoryService = std::make_shared<PosixSharedMemoryService>();
    FillRealMakers(s);
    return s;
}

SPlatformServices HeadlessPlatformServices() {
    SPlatformServices s;
    s.clock = std::make_shared<HeadlessClock>();
    s.wallClock = std::make_shared<HeadlessClock>();
    s.windowSystem = std::make_shared<HeadlessWindowSystem>();
    s.fileSystem = std::make_shared<HeadlessFileSystem>();
    s.messageBox = std::make_shared<HeadlessMessageBox>();
    s.shellOpener = std::make_shared<HeadlessShellOpener>();
    s.closeSignals = std::make_shared<HeadlessCloseSignals>();
    s.socketService = std::make_shared<HeadlessSocketService>();
    s.sharedMemoryService = std::make_shared<HeadlessSharedMemoryService>();
    s.renderDevice = []() -> std::shared_ptr<IRenderDevice> {
        return std::make_shared<HeadlessRenderDevice>(kHeadlessWidth, kHeadlessHeight);
    };
    s.framePresenter = []() -> std::shared_ptr<IFramePresenter> {
        return std::make_shared<HeadlessFramePresenter>(0, kHeadlessWidth, kHeadlessHeight);
    };
    s.videoDecoder = []() -> std::unique_ptr<IVideoDecoder> {
        return std::make_unique<HeadlessVideoDecoder>(HeadlessVideoDecoder::SMovie());
    };
    s.textRasterizer = []() -> std::unique_ptr<ITextRasterizer> { return std::make_unique<HeadlessTextRasterizer>(); };
    s.audioOutput = []() -> std::unique_ptr<IAudioOutput> { return std::make_unique<SilentAudioOutput>(); };
    return s;
}

SPlatformServices PlatformServicesInEffect() {
    const SPlatformServices& installed = Installed();
    if (MissingPlatformServices(installed).empty()) return installed;
    // Nothing installed: the objects each area falls back to, which may already hold state (an
    // open window, a clock's start), stay in use; they live as long as the program. The makers
    // make a new object for every use anyway.
    SPlatformServices s;
    s.clock = Unowned(CTimer::GetClock());
    s.wallClock = Unowned(CTimer::GetWallClock());
    s.windowSystem = Unowned(GetWindowSystem());
    s.fileSystem = Unowned(*GetFileSystem());
    s.messageBox = Unowned(*GetMessageBox());
    s.shellOpener = Unowned(*GetShellOpener());
    s.closeSignals = Unowned(*GetCloseSignals());
    s.socketService = Unowned(*GetSocketService());
    s.sharedMemoryService = Unowned(*GetSharedMemoryService());
    FillRealMakers(s);
    return s;
}

const std::vector<std::string>& PlatformServiceNames() {
    static const std::vector<std::string> names = {
        "clock",          "wallClock",    "windowSystem",   "fileSystem",          "messageBox",
        "shellOpener",    "closeSignals", "socketService",  "sharedMemoryService", "renderDevice",
        "framePresenter", "videoDecoder", "textRasterizer", "audioOutput"};
    return names;
}

std::vector<std::string> MissingPlatformServices(const SPlatformServices& services) {
    const std::vector<bool> filled = Filled(services);
    std::vector<std::string> missing;
    for (size_t i = 0; i < filled.size(); ++i)
        if (!filled[i]) missing.push_back(PlatformServiceNames()[i]);
    return missing;
}

bool InstallPlatformServices(const SPlatformServices& services) {
    const std::vector<std::string> missing = MissingPlatformServices(services);
    if (!missing.empty()) {
        std::string names;
        for (const auto& name : missing) names += (names.empty() ? "" : ", ") + name;
        Log(ELogLevel::Error, "platform", "a set of services without %s was not installed", names.c_str());
        return true;
    }
    // Kept first: the registration points below hold plain pointers into it.
    Installed() = services;
    const SPlatformServices& s = Installed();
    CTimer::SetClock(s.clock);
    CTimer::SetWallClock(s.wallClock);
    SetWindowSystem(s.windowSystem);
    SetFileSystem(s.fileSystem.get());
    SetMessageBox(s.messageBox.get());
    SetShellOpener(s.shellOpener.get());
    SetCloseSignals(s.closeSignals.get());
    SetSocketService(s.socketService.get());
    SetSharedMemoryService(s.sharedMemoryService.get());
    SetRenderDeviceMaker(s.renderDevice);
    SetFramePresenterMaker(s.framePresenter);
    SetVideoDecoderMaker(s.videoDecoder);
    SetTextRasterizerFactory(s.textRasterizer);
    SetAudioOutputMaker(s.audioOutput);
    return false;
}

const SPlatformServices& InstalledPlatformServices() { return Installed(); }

void UninstallPlatformServices() {
    CTimer::SetClock(nullptr);
    CTimer::SetWallClock(nullptr);
    SetWindowSystem(nullptr);
    SetFileSystem(nullptr);
    SetMessageBox(nullptr);
    SetShellOpener(nullptr);
    SetCloseSignals(nullptr);
    SetSocketService(nullptr);
    SetSharedMemoryService(nullptr);
    SetRenderDeviceMaker(nullptr);
    SetFramePresenterMaker(nullptr);
    SetVideoDecoderMaker(nullptr);
    SetTextRasterizerFactory(nullptr);
    SetAudioOutputMaker(nullptr);
    // Released last, once nothing points into it.
    Installed() = SPlatformServices();
}

}  // namespace kestrin
