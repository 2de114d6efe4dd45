// A link or reaction whose place is missing: the click, key or mode change that runs it says
// so in the trace, as the jump tag does, with the line of the block that named the place.
// Each case is a whole game run by kestrin-harness with the input that sets it off.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace {

struct SCase {
    const char* name;
    const char* script;  // main.iet; the game folder also holds star.png (64 x 64)
    const char* input;
    const char* line;  // the whole trace line wanted, or "" for none about a missing place
};

std::ostream& operator<<(std::ostream& out, const SCase& c) { return out << c.name; }

const char kFont[] = "[font left=0 top=0 width=640 height=100 size=24]\n";

// clang-format off
const SCase kCases[] = {
    {"link", "[link label=nowhere]Go[/link][stop]\n", "5 click 10 12\n",
     "main.iet(2): [link file=\"main.iet\" label=\"nowhere\"] 指定された場所は見つかりません。"},
    {"link_call", "[link file=other label=x call=1]Go[/link][stop]\n", "5 click 10 12\n",
     "main.iet(2): [link file=\"other\" label=\"x\"] 指定された場所は見つかりません。"},
    {"layer_click", "[lyc id=a file=star.png]\n[flip]\n[setonclick id=a label=nowhere]\n[stop]\n", "5 click 20 20\n",
     "main.iet(4): [setonclick file=\"main.iet\" label=\"nowhere\"] 指定された場所は見つかりません。"},
    {"push_key", "[setonpush key=32 label=nowhere call=1]\n[stop]\n", "5 key 32\n",
     "main.iet(2): [setonpush file=\"main.iet\" label=\"nowhere\"] 指定された場所は見つかりません。"},
    {"mode", "[setonautomodein label=nowhere]\n[automode allow=1]\n[exec command=automode]\n[stop]\n", "",
     "main.iet(2): [setonautomodein file=\"main.iet\" label=\"nowhere\"] 指定された場所は見つかりません。"},
    // An unset reaction and a reaction without a place are no mistakes.
    {"unset", "[automode allow=1]\n[exec command=automode]\n[stop]\n", "", ""},
    {"handler_only", "[setonpush key=32 handler=rt]\n[stop]\n", "5 key 32\n", ""},
};
// clang-format on

class EventPlaceMissingTest : public ::testing::TestWithParam<SCase> {};

TEST_P(EventPlaceMissingTest, IsTracedWithTheJumpTagsMessage) {
    const SCase& c = GetParam();
    kestrin_test::TempDir dir;
    dir.Write("game/system.ini", "[SYSTEM]\nCHARSET=utf-8\n");
    dir.Write("game/main.iet", std::string(kFont) + c.script);
    dir.Write("game/star.png",
              kestrin_test::ReadFileBytes(std::string(KESTRIN_SOURCE_DIR) + "/docs/authoring-game/image/star.png"));
    const std::string input = dir.Write("input.txt", c.input);
    const std::string command = std::string(KESTRIN_BINARY_DIR) + "/tests/harness/kestrin-harness " + dir.Path() +
                                "/game --frames 20 --input " + input + " --trace " + dir.Path() +
                                "/trace.txt >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);

    std::istringstream trace(kestrin_test::ReadFileBytes(dir.Path() + "/trace.txt"));
    std::vector<std::string> missing;
    for (std::string line; std::getline(trace, line);)
        if (line.find("指定された場所は見つかりません。") != std::string::npos) missing.push_back(line);
    const std::vector<std::string> wanted = *c.line ? std::vector<std::string>{c.line} : std::vector<std::string>{};
    EXPECT_EQ(missing, wanted);
}

INSTANTIATE_TEST_SUITE_P(Reactions, EventPlaceMissingTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<SCase>& info) { return std::string(info.param.name); });

}  // namespace
