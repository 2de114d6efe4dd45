#pragma once
// Command line and input script of the headless test driver.
#include <cstdint>
#include <string>
#include <vector>

namespace kestrin_harness {

struct SInputEvent {
    enum EKind { Click, RightClick, Key, Text, Dialog, Move, Press, Release, Wheel, Compose, Tap, KeyTap };
    uint32_t frame = 0;
    EKind kind = Click;
    int x = 0;
    int y = 0;
    int key = 0;
    int notches = 0;   // Wheel: positive forward, negative towards the reader
    std::string text;  // Text, Compose: UTF-8
    bool yes = false;  // Dialog
};

struct SScreenshot {
    uint32_t frame = 0;
    std::string file;
};

struct SOptions {
    std::string game;
    uint32_t frames = 600;        // 0: until the script ends (within timeoutSeconds)
    uint32_t timeoutSeconds = 0;  // --timeout S: wall-clock limit of the run (0: none)
    std::string inputFile;
    std::string traceFile;
    std::string dumpVarsFile;
    std::vector<SScreenshot> screenshots;
    std::string audioOutFile;  // --audio-out FILE.wav: the mixed sound of the run
    bool hardware = false;     // --renderer hardware: OpenGL through SDL's off-screen driver
    bool setUnixTime = false;  // --unix-time N: the wall clock starts at N
    uint32_t unixTime = 0;
    std::string saveDir;  // --save-dir DIR: saves go there and are kept
    bool help = false;    // --help or -h: print the usage and run nothing
};

// The synopsis printed by --help and after a bad command line (README.md says the same).
extern const char kUsage[];

// True on failure, with a message in error. --help needs no game.
bool ParseCommandLine(int argc, char** argv, SOptions& out, std::string& error);

// Reads "FRAME click X Y", "FRAME rclick X Y", "FRAME tap X Y", "FRAME move X Y", "FRAME press X Y",
// "FRAME release X Y", "FRAME wheel N", "FRAME key VK", "FRAME tapkey VK", "FRAME text TEXT",
// "FRAME compose TEXT" and "FRAME dialog yes|no" lines (blank lines and lines starting with "#" are skipped).
// Events come back sorted by frame, in file order within a frame. True on failure.
bool ParseInput(const std::string& text, std::vector<SInputEvent>& out, std::string& error);

}  // namespace kestrin_harness
