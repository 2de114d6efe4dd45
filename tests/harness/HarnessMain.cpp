// kestrin-harness: runs a game headless with a virtual clock at exactly 60 frames
// per second, scripted input, and captured trace, variables and screenshots.
// See README.md in this folder for the command line.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "Application/CKestrin.h"
#include "Application/EngineFactories.h"
#include "Application/PlatformServicesScope.h"
#include "Application/RunApplication.h"
#include "CORE/CDynamicVariables.h"
#include "CORE/CFps.h"
#include "CORE/CLogWindow.h"
#include "CORE/CInput.h"
#include "CORE/CTimer.h"
#include "CORE/Platform/HeadlessWindowSystem.h"
#include "CORE/WindowMessages.h"
#include "CORE/Platform/HeadlessClock.h"
#include "CORE/Platform/HeadlessShellOpener.h"
#include "CORE/Platform/IMessageBox.h"
#include "CORE/Platform/ProcessPaths.h"
#include "CORE/RuntimeConfiguration.h"
#include "CORE/StartUp.h"
#include "HarnessOptions.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/CPng.h"
#include "GRAPHICS/CSurface.h"
#include "GRAPHICS/CGraphicRenderer.h"
#include "GRAPHICS/CDxRenderer.h"
#include "GRAPHICS/Platform/HeadlessFramePresenter.h"
#include "GRAPHICS/Platform/SdlRenderDevice.h"
#include "babel/babel.h"
#include "GRAPHICS/TweenRegistry.h"
#include "SOUND/AudioSystem.h"
#include "SOUND/Platform/PullAudioOutput.h"

namespace fs = std::filesystem;
using namespace kestrin;
using namespace kestrin_harness;

namespace {

bool ReadFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    out = text.str();
    return true;
}

// Message boxes answered from the input script (then with the default answer); each
// box is written to the log so that traces show it.
class HarnessMessageBox : public IMessageBox {
public:
    int Show(const std::string& text, const std::string& caption, int type) override {
        int answer = DefaultMessageBoxAnswer(type);
        if (!answers.empty()) {
            answer = answers.front() ? kAnswerYes : kAnswerNo;
            answers.erase(answers.begin());
            if ((type & 0xF) != kMessageBoxYesNo) answer = kAnswerOk;
        }
        LogPrintf("kestrin-harness: message box \"%s\": %s -> %s", caption.c_str(), text.c_str(),
                  answer == kAnswerYes  ? "yes"
                  : answer == kAnswerNo ? "no"
                                        : "ok");
        return answer;
    }
    std::vector<bool> answers;
};

// Web pages and files the game opens never reach the desktop: each request is written to
// the log instead.
class HarnessShellOpener : public HeadlessShellOpener {
public:
    void Run(const std::vector<std::string>& arguments) override {
        HeadlessShellOpener::Run(arguments);
        std::string command;
        for (const auto& argument : arguments) command += (command.empty() ? "" : " ") + argument;
        LogPrintf("kestrin-harness: would run: %s", command.c_str());
    }
};

// Lines captured from the log, in the game's encoding until written out.
struct SCapture {
    std::vector<std::string> lines;
};

bool IsValidUtf8(const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t trail = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 4;
        if (trail == 4 || i + trail >= text.size() + (trail == 0 ? 1 : 0)) return false;
        for (size_t k = 1; k <= trail; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) >> 6) != 2) return false;
        }
        i += trail + 1;
    }
    return true;
}

// Engine messages are UTF-8 already; script text of a Shift_JIS game is converted.
std::string ToUtf8(const std::string& text, int encoding) {
    return encoding == 2 || IsValidUtf8(text) ? text : babel::sjis_to_utf8(text);
}

bool WriteLines(const std::string& path, const std::vector<std::string>& lines) {
    std::ofstream out(path, std::ios::binary);
    if (!out) return false;
    for (const auto& line : lines) out << line << '\n';
    return static_cast<bool>(out);
}

// The screen as it is now, as a PNG file. True on failure.
bool SaveScreenshot(CMainScreen* screen, const std::string& path) {
    if (!screen) return true;
    screen->TakeScreenshot();
    CPng png;
    CPng::SOutputBuffer buffer;
    buffer.capacity = 1 << 16;
    buffer.data = new uint8_t[buffer.capacity];
    bool failed = png.Save(screen->GetScreenshotSurface().get(), buffer, -1);
    std::unique_ptr<uint8_t[]> bytes(buffer.data);
    if (failed) return true;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.get()), buffer.length);
    return !out;
}

// The mixed sound as a 16-bit stereo WAVE file, written as the frames run; the sizes in
// the header are set when it is closed.
class WaveWriter {
public:
    bool Open(const std::string& path, uint32_t rate) {
        m_out.open(path, std::ios::binary | std::ios::trunc);
        m_rate = rate;
        WriteHeader();
        return !m_out;
    }
    void Append(const std::vector<int16_t>& samples) {
        for (int16_t sample : samples) {
            uint16_t v = static_cast<uint16_t>(sample);
            char bytes[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
            m_out.write(bytes, 2);
        }
        m_bytes += samples.size() * 2;
    }
    // False when all of it was written.
    bool Close() {
        m_out.seekp(0);
        WriteHeader();
        m_out.close();
        return !m_out;
    }

private:
    void Put32(uint32_t v) {
        char bytes[4] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                         static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
        m_out.write(bytes, 4);
    }
    void Put16(uint16_t v) {
        char bytes[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
        m_out.write(bytes, 2);
    }
    void WriteHeader() {
        const uint32_t data = static_cast<uint32_t>(std::min<uint64_t>(m_bytes, 0xFFFFFFFFu - 36));
        m_out.write("RIFF", 4);
        Put32(36 + data);
        m_out.write("WAVEfmt ", 8);
        Put32(16);
        Put16(1);  // PCM
        Put16(2);
        Put32(m_rate);
        Put32(m_rate * 4);
        Put16(4);
        Put16(16);
        m_out.write("data", 4);
        Put32(data);
    }

    std::ofstream m_out;
    uint32_t m_rate = 0;
    uint64_t m_bytes = 0;
};

std::vector<std::string> DumpVariables(COruVariables& variables, int encoding) {
    std::vector<std::pair<std::string, std::string>> entries;
    for (const auto& entry : variables.GetTable()) {
        CVariant value = entry.second;
        entries.emplace_back(entry.first, value.GetString());
    }
    std::sort(entries.begin(), entries.end());
    std::vector<std::string> lines;
    for (const auto& entry : entries) lines.push_back(ToUtf8(entry.first + "=" + entry.second, encoding));
    return lines;
}

}  // namespace

int main(int argc, char** argv) {
    SOptions options;
    std::string error;
    if (ParseCommandLine(argc, argv, options, error)) {
        std::fprintf(stderr, "kestrin-harness: %s\n%s", error.c_str(), kUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    std::vector<SInputEvent> input;
    if (!options.inputFile.empty()) {
        std::string text;
        if (!ReadFile(options.inputFile, text)) {
            std::fprintf(stderr, "kestrin-harness: cannot read %s\n", options.inputFile.c_str());
            return 2;
        }
        if (ParseInput(text, input, error)) {
            std::fprintf(stderr, "kestrin-harness: %s\n", error.c_str());
            return 2;
        }
    }

    // Output paths are taken relative to where the harness was started.
    auto absolute = [](std::string& path) {
        if (!path.empty()) path = fs::absolute(path).string();
    };
    absolute(options.traceFile);
    absolute(options.dumpVarsFile);
    absolute(options.audioOutFile);
    absolute(options.saveDir);
    for (auto& shot : options.screenshots) absolute(shot.file);

    // The hardware renderer draws with OpenGL into a hidden window of SDL's off-screen driver.
    setenv("SDL_VIDEODRIVER", options.hardware ? "offscreen" : "dummy", 1);
    if (options.hardware) setenv("SDL_RENDER_DRIVER", "opengl", 1);
    RuntimeConfiguration configuration = ReadRuntimeConfiguration();
    // Asked for by name: kept even on a software rasteriser such as Mesa's llvmpipe.
    if (options.hardware) configuration.hardwareRender = true;
    SetRuntimeConfiguration(configuration);
    setenv("SDL_AUDIODRIVER", "dummy", 1);

    // GAME takes every form the program takes (a folder, a game's ".exe", a ".pfs"), and
    // goes through the same start-up steps: variables, current folder, root archive.
    GameLocation location;
    if (EnterGame(options.game, GetExecutablePath(argv[0]), location, error)) {
        std::fprintf(stderr, "kestrin-harness: %s\n", error.c_str());
        CDynamicVariables::ReleaseInstance();
        return 1;
    }
    std::error_code ec;

    // Every service starts headless; what the harness keeps real is named here. A run
    // never reaches a desktop service by a member left out: an incomplete set is refused.
    SPlatformServices services = HeadlessPlatformServices();
    const SPlatformServices real = RealPlatformServices();
    // Time moves only when the frame pacer sleeps: exactly 60 frames per second.
    // From 1 ms: the frame pacer takes a tick of 0 for "not started".
    auto clock = std::make_shared<HeadlessClock>(1);
    if (options.setUnixTime) clock->SetUnixTime(options.unixTime);
    services.clock = clock;
    // Real waits (network, the run limit of a Lua call) stay on real time.
    services.wallClock = real.wallClock;
    // Windows, keyboard and mouse come from the headless window system; the input script
    // sets its keys and mouse.
    auto windows = std::make_shared<HeadlessWindowSystem>();
    services.windowSystem = windows;
    auto messageBox = std::make_shared<HarnessMessageBox>();
    services.messageBox = messageBox;
    services.shellOpener = std::make_shared<HarnessShellOpener>();
    // Sockets, shared memory and files stay the system's: tests play servers and debuggers
    // in other processes, and games are read from disk.
    services.fileSystem = real.fileSystem;
    services.socketService = real.socketService;
    services.sharedMemoryService = real.sharedMemoryService;
    // Pictures are the real ones: the system's fonts, movies decoded by FFmpeg, and "hw" drawing
    // with OpenGL into a hidden window of SDL's off-screen driver.
    services.textRasterizer = real.textRasterizer;
    services.videoDecoder = real.videoDecoder;
    if (options.hardware) {
        services.renderDevice = []() -> std::shared_ptr<IRenderDevice> {
            return std::make_shared<SdlRenderDevice>(true);
        };
    } else {
        services.renderDevice = real.renderDevice;
    }
    PlatformServicesScope installed(services);
    if (installed.Failed()) {
        std::fprintf(stderr, "kestrin-harness: the platform services are incomplete\n");
        CDynamicVariables::ReleaseInstance();
        return 1;
    }
    SCapture capture;
    CLogWindow::SetLineSink([&capture](const std::string& line) { capture.lines.push_back(line); });
    // Sound is mixed only when a frame has run, exactly one frame's worth: the sound keeps
    // pace with the virtual clock, with or without a file to write it to.
    auto pull = std::make_unique<PullAudioOutput>();
    PullAudioOutput* audio = pull.get();
    UseAudioOutput(std::move(pull), kDefaultAudioRate);
    WaveWriter wave;
    std::vector<int16_t> samples;
    if (!options.audioOutFile.empty() && wave.Open(options.audioOutFile, audio->GetRate())) {
        std::fprintf(stderr, "kestrin-harness: cannot write %s\n", options.audioOutFile.c_str());
        CLogWindow::SetLineSink(nullptr);
        CloseAudioOutput();
        CDynamicVariables::ReleaseInstance();
        return 1;
    }

    // Saves go to a scratch folder, so that runs never depend on one another, unless the
    // caller names a folder that outlives the run.
    const bool keepSaves = !options.saveDir.empty();
    fs::path saves = keepSaves
                         ? fs::path(options.saveDir)
                         : fs::temp_directory_path() / ("kestrin-harness-" + std::to_string(std::random_device()()));
    fs::create_directories(saves, ec);

    CDynamicVariables* dynamic = CDynamicVariables::GetInstance();
    // "fsr": the software renderer, drawing into the headless window.
    if (options.hardware) {
        dynamic->SetMap("ApplicationArguments", {{"0", options.game}});
    } else {
        dynamic->SetMap("ApplicationArguments", {{"0", options.game}, {"fsr", ""}});
    }
    LoadSystemIni();
    dynamic->SetString("SaveDataPath", saves.string());

    const int width = dynamic->GetInt("ini.Width");
    const int height = dynamic->GetInt("ini.Height");
    CKestrin::SetFactories(PresentingScreenFactory([&](CKestrin& application) -> std::shared_ptr<IFramePresenter> {
                               // The window as made: one that does not fit the desktop is refused by
                               // the application, as in the program, instead of sizing this picture.
                               return std::make_shared<HeadlessFramePresenter>(application.GetHandle(),
                                                                               application.GetClientWidth(),
                                                                               application.GetClientHeight());
                           }),
                           MainScriptFactory());

    int status = 0;
    int encoding = 0;
    CKestrin* application = new CKestrin();
    if (application->Create(kCentred, kCentred, width, height, "Kestrin", "", WindowStyleFromIni(), 1, 0)) {
        std::fprintf(stderr, "kestrin-harness: start-up failed (the window, or the boot script)\n");
        status = 1;
    } else {
        CMainScript* script = GetMainScript(application->GetScript());
        CMainScreen* screen = GetMainScreen(application->GetScreen());
        if (options.hardware && screen && !std::dynamic_pointer_cast<CDxRenderer>(screen->GetRenderer()->GetRenderer()))
            std::fprintf(stderr,
                         "kestrin-harness: the hardware renderer did not start here (no OpenGL context); "
                         "drawing with the software renderer\n");
        encoding = script->GetTextEncoding();
        if (!options.traceFile.empty()) {
            script->SetDebugMode(1);
            script->SetTraceLevel(3);
        }
        windows->SetFocus(application->GetHandle());
        int windowX = 0, windowY = 0;
        windows->GetPosition(application->GetHandle(), windowX, windowY);

        std::vector<int> releaseNext;
        bool composing = false;
        size_t next = 0;
        // Real waits (network) run on the wall clock: --frames 0 runs until the script ends,
        // and --timeout bounds the run whatever the frame count.
        const auto started = std::chrono::steady_clock::now();
        for (uint32_t frame = 0; options.frames == 0 || frame < options.frames; ++frame) {
            if (options.timeoutSeconds != 0 &&
                std::chrono::steady_clock::now() - started >= std::chrono::seconds(options.timeoutSeconds)) {
                std::fprintf(stderr, "kestrin-harness: the script did not end within %u seconds (frame %u)\n",
                             options.timeoutSeconds, frame);
                status = 3;
                break;
            }
            // Keys and buttons pressed in a frame are released in the next one.
            for (int key : releaseNext) windows->SetKeyDown(key, false);
            releaseNext.clear();
            for (; next < input.size() && input[next].frame <= frame; ++next) {
                const SInputEvent& event = input[next];
                switch (event.kind) {
                    case SInputEvent::Click:
                    case SInputEvent::RightClick: {
                        int button = event.kind == SInputEvent::Click ? 1 : 2;
                        // Game pixels map onto client pixels one to one at the window's own size.
                        windows->SetMouseScreenPoint(windowX + event.x, windowY + event.y);
                        windows->SetKeyDown(button, true);
                        releaseNext.push_back(button);
                        break;
                    }
                    case SInputEvent::Tap:
                        // Down and up again before the frame polls, as a touchpad tap comes.
                        windows->SetMouseScreenPoint(windowX + event.x, windowY + event.y);
                        windows->SetKeyDown(1, true);
                        windows->SetKeyDown(1, false);
                        releaseNext.erase(std::remove(releaseNext.begin(), releaseNext.end(), 1), releaseNext.end());
                        break;
                    case SInputEvent::Move: windows->SetMouseScreenPoint(windowX + event.x, windowY + event.y); break;
                    case SInputEvent::Press:
                    case SInputEvent::Release: {
                        // The left button stays down from a press to its release: a drag.
                        const bool down = event.kind == SInputEvent::Press;
                        windows->SetMouseScreenPoint(windowX + event.x, windowY + event.y);
                        windows->SetKeyDown(1, down);
                        releaseNext.erase(std::remove(releaseNext.begin(), releaseNext.end(), 1), releaseNext.end());
                        break;
                    }
                    case SInputEvent::Wheel: {
                        // Through the window's event queue, as a wheel mouse's notches come.
                        SWindowEvent wheel;
                        wheel.type = EWindowEvent::MouseWheel;
                        wheel.window = application->GetHandle();
                        wheel.wheel = event.notches;
                        windows->PushEvent(wheel);
                        break;
                    }
                    case SInputEvent::Key:
                    case SInputEvent::KeyTap: {
                        windows->SetKeyDown(event.key, true);
                        if (event.kind == SInputEvent::Key) {
                            releaseNext.push_back(event.key);
                        } else {
                            // Released before the frame polls, as "xdotool key --delay 0" types.
                            windows->SetKeyDown(event.key, false);
                            releaseNext.erase(std::remove(releaseNext.begin(), releaseNext.end(), event.key),
                                              releaseNext.end());
                        }
                        // The press also comes as a key event, as a keyboard's does (a text field reads those).
                        SWindowEvent down;
                        down.type = EWindowEvent::KeyDown;
                        down.window = application->GetHandle();
                        down.key = event.key;
                        windows->PushEvent(down);
                        break;
                    }
                    case SInputEvent::Text:
                        // As an input method commits: the composition ends, then the text comes.
                        if (composing) windows->PushComposition(application->GetHandle(), "");
                        composing = false;
                        windows->PushText(application->GetHandle(), event.text);
                        break;
                    case SInputEvent::Compose:
                        windows->PushComposition(application->GetHandle(), event.text);
                        composing = !event.text.empty();
                        break;
                    case SInputEvent::Dialog: messageBox->answers.push_back(event.yes); break;
                }
            }
            const bool ended = application->RunFrame();
            // Frame n (from 0) covers the samples from n x rate / 60 up to (n + 1) x rate / 60.
            samples.clear();
            audio->RenderToVideoFrame(uint64_t(frame) + 1, options.audioOutFile.empty() ? nullptr : &samples);
            if (!samples.empty()) wave.Append(samples);
            if (ended) break;
            for (const auto& shot : options.screenshots) {
                if (shot.frame == frame && SaveScreenshot(screen, shot.file)) {
                    std::fprintf(stderr, "kestrin-harness: cannot write the screenshot %s\n", shot.file.c_str());
                    status = 1;
                }
            }
        }
        if (!options.dumpVarsFile.empty() &&
            !WriteLines(options.dumpVarsFile, DumpVariables(script->GetVariables(), encoding))) {
            std::fprintf(stderr, "kestrin-harness: cannot write %s\n", options.dumpVarsFile.c_str());
            status = 1;
        }
    }
    delete application;
    CKestrin::SetFactories(nullptr, nullptr);
    CloseAudioOutput();
    if (!options.audioOutFile.empty() && wave.Close()) {
        std::fprintf(stderr, "kestrin-harness: cannot write %s\n", options.audioOutFile.c_str());
        status = 1;
    }

    CLogWindow::SetLineSink(nullptr);
    for (auto& line : capture.lines) line = ToUtf8(line, encoding);
    if (!options.traceFile.empty() && !WriteLines(options.traceFile, capture.lines)) {
        std::fprintf(stderr, "kestrin-harness: cannot write %s\n", options.traceFile.c_str());
        status = 1;
    }
    if (!keepSaves) fs::remove_all(saves, ec);
    CDynamicVariables::ReleaseInstance();
    CInput::ReleaseInstance();
    CLogWindow::ReleaseInstance();
    CTimer::ReleaseInstance();
    ClearTweenRegistry();
    return status;
}
