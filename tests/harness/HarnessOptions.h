#pragma once
// Command line and input script of the headless test driver.
#include <cstdint>
#include <string>
#include <vector>

namespace kestrin_harness {

struct SInputEvent {
    enum EKind { Click, RightClick, Key, Text, Dialog, Wheel };
    uint32_t frame = 0;
    EKind kind = Click;
    int x = 0;
    int y = 0;
    int key = 0;
    std::string text;   // Text: UTF-8
    bool yes = false;   // Dialog
    int wheel = 0;      // Wheel: +1 a notch up (forward), -1 down
};

struct SScreenshot {
    uint32_t frame = 0;
    std::string file;
};

struct SOptions {
    std::string game;
    uint32_t frames = 600;
    std::string inputFile;
    std::string traceFile;
    std::string dumpVarsFile;
    std::vector<SScreenshot> screenshots;
    bool hardware = false;  // --renderer hardware: OpenGL through SDL's off-screen driver
    bool setUnixTime = false;  // --unix-time N: the wall clock starts at N
    uint32_t unixTime = 0;
};

// True on failure, with a message in error.
bool ParseCommandLine(int argc, char** argv, SOptions& out, std::string& error);

// Reads "FRAME click X Y", "FRAME rclick X Y", "FRAME key VK", "FRAME wheel up|down",
// "FRAME text TEXT" and "FRAME dialog yes|no" lines (blank lines and lines starting with "#" are skipped).
// Events come back sorted by frame, in file order within a frame. True on failure.
bool ParseInput(const std::string& text, std::vector<SInputEvent>& out, std::string& error);

}  // namespace kestrin_harness
