#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "SCRIPT/COruVariables.h"
#include "support/TestSupport.h"

namespace {

// Random integer expressions whose values gcc computed (tools/gen_expression_cases.py).
TEST(ExpressionCases, AgreeWithC) {
    std::string data = kestrin_test::ReadFileBytes(kestrin_test::TestDataPath("script/expression_cases.txt"));
    ASSERT_FALSE(data.empty());
    kestrin::COruVariables vars;
    vars.AddQuoteCharacter('\'');
    std::istringstream in(data);
    std::string line;
    int checked = 0;
    while (std::getline(in, line)) {
        if (line.rfind("# variables: ", 0) == 0) {
            std::istringstream defs(line.substr(13));
            std::string def;
            while (defs >> def) {
                size_t eq = def.find('=');
                vars.SetInt(def.substr(0, eq), static_cast<int32_t>(std::stol(def.substr(eq + 1))));
            }
            continue;
        }
        if (line.empty() || line[0] == '#') continue;
        size_t tab = line.find('\t');
        ASSERT_NE(tab, std::string::npos) << line;
        EXPECT_EQ(vars.Evaluate(line.substr(0, tab)), line.substr(tab + 1)) << line.substr(0, tab);
        ++checked;
    }
    EXPECT_GE(checked, 1000);
}

}  // namespace
