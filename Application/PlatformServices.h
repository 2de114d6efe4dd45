#pragma once
// Every platform service the engine uses, in one place: the program installs the real ones,
// the harness and the test fixtures start from the headless ones and keep real only what they
// mean to. A service added to the engine gets a member here, filled by both makers below;
// InstallPlatformServices refuses a set with an empty member, so none can be left out.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "GRAPHICS/IVideoDecoder.h"
#include "GRAPHICS/Platform/IFramePresenter.h"
#include "GRAPHICS/Platform/IRenderDevice.h"
#include "SOUND/AudioSystem.h"

namespace kestrin {

class IClock;
class ICloseSignals;
class IFileSystem;
class IMessageBox;
class ISharedMemoryService;
class IShellOpener;
class ISocketService;
class ITextRasterizer;
class IWindowSystem;

// Instances are shared: the set owns them, and an installed set stays alive until replaced.
// Makers make an object for each use (a renderer's device, a movie's decoder).
struct SPlatformServices {
    std::shared_ptr<IClock> clock;      // frame time (CTimer::GetTime)
    std::shared_ptr<IClock> wallClock;  // real-time limits (CTimer::GetWallTime)
    std::shared_ptr<IWindowSystem> windowSystem;
    std::shared_ptr<IFileSystem> fileSystem;
    std::shared_ptr<IMessageBox> messageBox;
    std::shared_ptr<IShellOpener> shellOpener;
    std::shared_ptr<ICloseSignals> closeSignals;
    std::shared_ptr<ISocketService> socketService;
    std::shared_ptr<ISharedMemoryService> sharedMemoryService;
    RenderDeviceMaker renderDevice;
    FramePresenterMaker framePresenter;
    VideoDecoderMaker videoDecoder;
    std::function<std::unique_ptr<ITextRasterizer>()> textRasterizer;
    AudioOutputMaker audioOutput;
};

// The desktop's services: SDL windows and boxes, POSIX files, sockets and signals, FreeType,
// FFmpeg, the SDL sound device.
SPlatformServices RealPlatformServices();
// Test doubles only: virtual clocks, a headless window system, an in-memory folder tree,
// in-process sockets and shared memory, recording boxes and opener, a 640 x 480 headless
// device and presenter, fake movies and faces, a silent sound output.
SPlatformServices HeadlessPlatformServices();

// The set in effect now: the one installed, or where none is, the real services each area
// falls back to. A test takes it, replaces the members it fakes and installs the result for a
// while with a PlatformServicesScope.
SPlatformServices PlatformServicesInEffect();
// A member for an object its caller keeps alive (a test's fake on its stack): the set refers
// to it without owning it.
template <class T>
std::shared_ptr<T> Unowned(T& object) {
    return std::shared_ptr<T>(std::shared_ptr<T>(), &object);
}

// Every member's name, in declaration order.
const std::vector<std::string>& PlatformServiceNames();
// The names of the empty members; none for a complete set.
std::vector<std::string> MissingPlatformServices(const SPlatformServices& services);

// Puts every member in place through its area's registration point and keeps the set alive.
// A set with an empty member is refused (logged, nothing changed): true then.
bool InstallPlatformServices(const SPlatformServices& services);
// The set installed last; all empty before the first, or after the defaults came back.
const SPlatformServices& InstalledPlatformServices();
// Empties every registration point: each area goes back to its built-in default.
void UninstallPlatformServices();

}  // namespace kestrin
