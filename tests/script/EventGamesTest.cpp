// Event handler, animation and slider tags in whole games (tests/data/events and the sample
// game), each run by kestrin-harness with scripted clicks, pointer moves, drags, keys and wheel
// notches. What a game's reactions did is read back from its variables (in the test games each
// reaction appends its digit to "log"), its trace lines and pixels of its screen at set frames.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "GRAPHICS/CPng.h"
#include "GRAPHICS/CSurface.h"
#include "support/TestSupport.h"

using kestrin::CPng;
using kestrin::CSurface;

namespace {

constexpr uint32_t kBlack = 0x000000, kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kYellow = 0xFFFF00,
                   kWhite = 0xFFFFFF, kGrey = 0x808080;

// A pixel of the screen after a frame: within 2 per channel of rgb, or (same false) not.
struct SProbe {
    uint32_t frame;
    int x, y;
    uint32_t rgb;
    bool same = true;
};

struct SGameCase {
    const char* name;
    const char* game;  // folder under the source tree
    const char* input;
    uint32_t frames;
    // Variables at exit; an empty value: the variable must not exist.
    std::map<std::string, std::string> vars;
    std::vector<SProbe> probes;
    std::vector<std::string> traceLines;  // each must be a whole line of the trace
};

std::ostream& operator<<(std::ostream& out, const SGameCase& c) { return out << c.name; }

struct SGameRun {
    int status = -1;
    std::map<std::string, std::string> vars;
    std::vector<std::string> trace;
    std::map<uint32_t, std::unique_ptr<CSurface>> screens;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

SGameRun RunGame(const SGameCase& c, const kestrin_test::TempDir& dir) {
    SGameRun run;
    const std::string input = dir.Write("input.txt", c.input);
    std::string command = std::string(KESTRIN_BINARY_DIR) + "/tests/harness/kestrin-harness " +
                          std::string(KESTRIN_SOURCE_DIR) + "/" + c.game + " --frames " + std::to_string(c.frames) +
                          " --input " + input + " --dump-vars " + dir.Path() + "/vars.txt";
    if (!c.traceLines.empty()) command += " --trace " + dir.Path() + "/trace.txt";
    for (const auto& probe : c.probes) {
        if (!run.screens.count(probe.frame)) {
            run.screens[probe.frame] = nullptr;
            command += " --screenshot " + std::to_string(probe.frame) + ":" + dir.Path() + "/frame" +
                       std::to_string(probe.frame) + ".png";
        }
    }
    run.status = std::system((command + " >/dev/null 2>&1").c_str());
    for (const auto& line : Lines(kestrin_test::ReadFileBytes(dir.Path() + "/vars.txt"))) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos) run.vars[line.substr(0, equals)] = line.substr(equals + 1);
    }
    run.trace = Lines(kestrin_test::ReadFileBytes(dir.Path() + "/trace.txt"));
    for (auto& screen : run.screens) {
        const std::string bytes =
            kestrin_test::ReadFileBytes(dir.Path() + "/frame" + std::to_string(screen.first) + ".png");
        auto surface = std::make_unique<CSurface>();
        CPng png;
        if (!bytes.empty() &&
            !png.LoadFromMemory(surface.get(), reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()))
            screen.second = std::move(surface);
    }
    return run;
}

// 0xRRGGBB of a 32-bit screenshot pixel (bytes blue, green, red, alpha).
uint32_t Pixel(CSurface& surface, int x, int y) {
    const uint8_t* row = surface.GetLine(y);
    if (!row || x < 0 || y < 0 || x >= surface.GetWidth() || y >= surface.GetHeight()) return 0xFFFFFFFFu;
    const uint8_t* p = row + x * 4;
    return (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
}

bool Near(uint32_t a, uint32_t b) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int d = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
        if (d < -2 || d > 2) return false;
    }
    return true;
}

class EventGamesTest : public ::testing::TestWithParam<SGameCase> {};

TEST_P(EventGamesTest, ReactionsRunInOrderAndTheScreenShowsTheirEffect) {
    const SGameCase& c = GetParam();
    kestrin_test::TempDir dir;
    SGameRun run = RunGame(c, dir);
    ASSERT_EQ(run.status, 0);
    for (const auto& [name, value] : c.vars) {
        auto it = run.vars.find(name);
        if (value.empty()) {
            EXPECT_EQ(it, run.vars.end()) << name << " should not exist";
        } else {
            ASSERT_NE(it, run.vars.end()) << name << " is missing";
            EXPECT_EQ(it->second, value) << name;
        }
    }
    for (const auto& probe : c.probes) {
        ASSERT_TRUE(run.screens[probe.frame]) << "no screenshot of frame " << probe.frame;
        const uint32_t got = Pixel(*run.screens[probe.frame], probe.x, probe.y);
        char text[64];
        std::snprintf(text, sizeof text, "%06X %s %06X", got, probe.same ? "is not" : "is", probe.rgb);
        EXPECT_EQ(Near(got, probe.rgb), probe.same)
            << "frame " << probe.frame << " at (" << probe.x << ", " << probe.y << "): " << text;
    }
    for (const auto& line : c.traceLines) {
        bool found = false;
        for (const auto& traced : run.trace) found = found || traced == line;
        EXPECT_TRUE(found) << "not traced: " << line;
    }
}

// clang-format off
const SGameCase kGames[] = {
    // b over a, d over c (d penetrating): a alone 1, the overlap of a and b only b's 2, the
    // overlap of c and d 4 then 3. e lost its click (delonclick) but keeps its roll-over 6.
    // grp.x deletes itself; grp.y deletes every layer; clicks after that reach nothing.
    {"click",
     "tests/data/events/click",
     "10 click 30 30\n20 click 80 80\n30 click 240 80\n40 click 140 190\n"
     "50 click 60 190\n60 click 60 190\n70 click 220 190\n80 click 30 30\n",
     95,
     {{"log", "12436"}, {"wiped", "1"}},
     {{45, 30, 30, kRed},
      {45, 80, 80, kBlue},
      {45, 240, 80, kYellow},
      {45, 60, 190, kRed},
      {65, 60, 190, kBlack},
      {65, 220, 190, kBlue},
      {90, 30, 30, kBlack},
      {90, 220, 190, kBlack}},
     {}},
    // Roll-over a 1, then b 2 over the overlap (a keeps quiet), roll-out a 3, roll-out b 4;
    // entering both at once: b's 2 only; leaving both: b's 4, then a's 3. d's penetrating
    // roll-over 5 lets c's 6 run in the same frame.
    {"hover",
     "tests/data/events/hover",
     "10 move 30 30\n20 move 80 80\n30 move 120 120\n40 move 200 200\n50 move 80 80\n60 move 200 200\n"
     "70 move 240 80\n",
     80,
     {{"log", "1234243"}, {"pen", "56"}},
     {},
     {}},
    // Drag-in 1 on the press, drag 2 in each of the five frames the button is held, drag-out 3
    // on the release; the layer follows the pointer by (40, 40); its click reaction never runs.
    {"drag",
     "tests/data/events/drag",
     "10 press 30 30\n12 move 50 50\n14 move 70 70\n16 release 70 70\n",
     25,
     {{"log", "1222223"}},
     {{20, 120, 120, kRed}, {20, 30, 30, kBlack}},
     {}},
    // Space runs its second handler 5, once per press; the wheel towards the reader 2, away 3;
    // the deleted key A nothing. Codes outside 0-255 are refused.
    {"keys",
     "tests/data/events/keys",
     "10 key 32\n20 wheel -1\n30 wheel 1\n40 key 65\n50 key 32\n",
     60,
     {{"log", "5235"}},
     {},
     {"main.iet(11): [setonpush key=\"300\"] キーコードは0から255の範囲で指定してください。",
      "main.iet(12): [setonpush key=\"-1\"] キーコードは0から255の範囲で指定してください。"}},
    // Frames at 50, 150, 250 and 1050 ms after the start (60 frames a second).
    {"anime",
     "tests/data/events/anime",
     "",
     70,
     {},
     {{3, 15, 15, kRed},    {3, 47, 15, kRed},     {3, 79, 15, kRed},    {3, 111, 15, kGreen},  {3, 143, 15, kBlue},
      {9, 15, 15, kGreen},  {9, 47, 15, kBlack},   {9, 79, 15, kBlue},   {9, 111, 15, kGreen},  {9, 143, 15, kBlue},
      {15, 15, 15, kRed},   {15, 47, 15, kBlack},  {15, 79, 15, kRed},   {15, 111, 15, kGreen}, {15, 143, 15, kBlue},
      {63, 15, 15, kRed},   {63, 47, 15, kBlack},  {63, 79, 15, kRed},   {63, 111, 15, kGreen}, {63, 143, 15, kBlue}},
     {"main.iet(10): [anime time=\"0\"] アニメーションの終端は0より後の時刻を指定してください。",
      "main.iet(11): [anime file=\"missing.png\"] 指定されたファイルは見つからないか、非対応形式です。",
      "main.iet(20): [anime id=\"fd\"] 指定されたアニメーションが見つかりません。",
      "main.iet(21): [anime id=\"fe\"] 指定されたアニメーションが見つかりません。"}},
    // vol's knob starts at 10 + 50 x 180 / 100 = 100; dragged to 50 it is 10 + 40 x 100 / 180.
    // The empty range always gives var_min. The failed second "slider" leaves s1 in place;
    // s3 is gone before its drag.
    {"slider",
     "tests/data/events/slider",
     "10 press 110 110\n12 move 60 110\n14 release 60 110\n20 press 20 160\n22 move 150 160\n"
     "24 release 150 160\n40 press 20 210\n42 move 150 210\n44 release 150 210\n",
     50,
     {{"vol", "32"}, {"fixed", "5"}, {"gone", ""}},
     {{9, 105, 110, kWhite}, {30, 55, 110, kWhite}, {30, 105, 110, kGrey}, {30, 145, 160, kWhite}, {30, 15, 210, kBlack}},
     {"main.iet(6): [slider] パラメータが不足しているか、間違っています。"}},
    // A Lua hook deletes both layers while the screen is still raising the click's events
    // (b's reaction ends the click wait; a below it is reached after the deletion).
    {"wipe",
     "tests/data/events/wipe",
     "10 click 80 80\n",
     20,
     {{"clicked", "1"}, {"after", ""}},
     {{5, 30, 30, kRed}, {5, 80, 80, kBlue}, {15, 30, 30, kBlack}, {15, 80, 80, kBlack}},
     {}},
    // The sample's controls panel (from frame 340 on): the button lights up under the pointer
    // and dims when it leaves; the slider's knob, dragged from 308 to 238, sets the volume to
    // 38 x 100 / 216 and the meter follows; the button closes the panel and the story begins.
    {"sample",
     "sample",
     "360 move 320 400\n370 move 100 100\n380 press 320 336\n382 move 250 336\n384 release 250 336\n"
     "420 click 320 400\n",
     600,
     {{"volume", "17"}},
     {{355, 260, 390, 0x235C3E},
      {365, 260, 390, 0x2E7D32},
      {375, 260, 390, 0x235C3E},
      {355, 330, 336, 0x607D8B},
      {400, 330, 336, 0x37474F},
      {355, 300, 305, 0xFFD27F, false},
      {400, 300, 305, 0xFFD27F}},
     {"main.iet(31): call file=\"story\" label=\"start\""}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Games, EventGamesTest, ::testing::ValuesIn(kGames),
                         [](const ::testing::TestParamInfo<SGameCase>& info) { return std::string(info.param.name); });

}  // namespace
