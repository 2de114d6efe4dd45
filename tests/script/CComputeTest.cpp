#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CORE/CLogWindow.h"
#include "SCRIPT/COruVariables.h"

using kestrin::CLogWindow;
using kestrin::COruVariables;
using kestrin::CVariant;

namespace {

class Evaluator : public ::testing::Test {
protected:
    void SetUp() override {
        vars.AddQuoteCharacter('\'');
        CLogWindow::SetLineSink([this](const std::string& l) { log.push_back(l); });
    }
    void TearDown() override { CLogWindow::SetLineSink(nullptr); }

    // "<none>" when the expression has no value; else "i:" or "s:" and the value.
    std::string Eval(const std::string& text) {
        const char* p = text.c_str();
        CVariant* v = vars.EvaluateExpression(p);
        std::string out = v ? (v->IsString() ? "s:" : "i:") + v->GetString() : "<none>";
        vars.ClearTemporaries();
        return out;
    }

    COruVariables vars;
    std::vector<std::string> log;
};

TEST_F(Evaluator, FollowsPrecedenceAndAssociativity) {
    // clang-format off
    const char* cases[][2] = {
        {"1 + 2 * 3", "i:7"},   {"(1 + 2) * 3", "i:9"}, {"8/4/2", "i:1"},      {"1-2-3", "i:-4"},
        {"7 % 3", "i:1"},       {"-7 % 3", "i:-1"},     {"7 / -2", "i:-3"},    {"1 < 2 == 3 < 4", "i:1"},
        {"2 > 1 && 0 || 1", "i:1"}, {"0 && 1 || 0", "i:0"}, {"3 <= 3", "i:1"}, {"3 >= 4", "i:0"},
        {"1 != 2", "i:1"},      {"0x10 == 16", "i:1"},  {"010", "i:10"},       {"0Xff", "i:255"},
        {"-5 * 2", "i:-10"},    {"2 * -5", "i:-10"},    {"2 - -5", "i:7"},     {"+4", "i:4"},
        {"5*-3", "i:-15"},      {"2147483647 + 1", "i:-2147483648"}, {"65536 * 65536", "i:0"},
        {"99999999999", "i:2147483647"}, {"-99999999999", "i:-2147483647"},
        {"1) + 5", "i:1"},      {"(1 + 2", "i:3"},      {"((((3))))", "i:3"}, {"\t1\r\n+\n2 ", "i:3"},
    };
    // clang-format on
    for (auto& c : cases) EXPECT_EQ(Eval(c[0]), c[1]) << c[0];
}

TEST_F(Evaluator, MixesStringsAndNumbers) {
    vars.SetString("x", "10");
    vars.SetString("e", "");
    vars.SetString("a", "05");
    // clang-format off
    const char* cases[][2] = {
        {"'a' + 1", "s:a1"}, {"'1' + 1", "i:2"},       {"x + 1", "i:11"},      {"e + 1", "i:1"},
        {"a == 5", "i:0"},   {"a + 0 == 5", "i:1"},    {"'' ", "s:"},          {"'it\\'s' + ''", "s:it\\'s"},
        {"'a' == 'a'", "i:1"}, {"'abc' < 'b'", "i:0"}, {"'\x82\x27' + 'x'", "s:\x82\x27x"},
        {"x", "s:10"},       {"'ab", "<none>"},        {"1 + 'ab", "<none>"},
    };
    // clang-format on
    for (auto& c : cases) EXPECT_EQ(Eval(c[0]), c[1]) << c[0];
}

TEST_F(Evaluator, BuildsNamesAndCreatesMissingVariables) {
    EXPECT_EQ(Eval("undefinedname"), "i:0");
    ASSERT_NE(vars.Find("undefinedname"), nullptr);
    vars.SetString("a2", "x");
    vars.SetInt("i", 3);
    vars.SetString("flag3", "on");
    vars.SetInt("j", 4);
    vars.SetString("a34x", "deep");
    vars.SetInt("my", 10);
    vars.SetInt("var", 4);
    const char* cases[][2] = {
        {"a(2)", "s:x"},   {"a( 1 + 1 )", "s:x"}, {"flag(i)", "s:on"}, {"a(i)(j)x", "s:deep"},
        {"my-var", "i:6"}, {"g.x+1", "i:1"},      {"a(a(2))", "i:0"},  {"a(2)+'!'", "s:x!"},
    };
    for (auto& c : cases) EXPECT_EQ(Eval(c[0]), c[1]) << c[0];
    EXPECT_NE(vars.Find("ax"), nullptr);
    EXPECT_TRUE(vars.TakeGameChanged());  // g.x was created
}

TEST_F(Evaluator, MalformedExpressionsHaveNoValue) {
    const char* cases[] = {"",        "()",      "1 2",       "a b",   "3 +",   "* 3",    "-x",    "-(1)",
                           "1 * * 2", "1 + * 2", "a'b'",      "'a' 1", "1 'a'", "(1)(2)", "1 (2)", "x(",
                           "x()",     "&&",      "1 == == 1", "'a' b", "1 = 1", "- -4"};
    for (const char* c : cases) EXPECT_EQ(Eval(c), "<none>") << c;
    EXPECT_EQ(vars.GetTemporaryCount(), 0u);
}

TEST_F(Evaluator, DivisionFaultsGiveZeroWithATraceLine) {
    // clang-format off
    const char* cases[][2] = {{"1 / 0", "i:0"}, {"1 % 0", "i:0"}, {"(0 - 2147483647 - 1) / -1", "i:0"},
                              {"(0 - 2147483647 - 1) % -1", "i:0"}, {"(0 - 2147483647 - 1) / 1", "i:-2147483648"}};
    // clang-format on
    for (auto& c : cases) EXPECT_EQ(Eval(c[0]), c[1]) << c[0];
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], "Expression: division by zero gives 0: 1 / 0");
}

TEST_F(Evaluator, DeepNestingHasNoValueInsteadOfOverflowingTheStack) {
    std::string ok =
        std::string(kestrin::CCompute::kMaxDepth, '(') + "1" + std::string(kestrin::CCompute::kMaxDepth, ')');
    EXPECT_EQ(Eval(ok), "i:1");
    EXPECT_TRUE(log.empty());
    std::string deep = std::string(100000, '(') + "1";
    EXPECT_EQ(Eval(deep), "<none>");
    std::string names;
    for (int i = 0; i < 100000; ++i) names += "a(";
    EXPECT_EQ(Eval(names), "<none>");
    EXPECT_EQ(log.size(), 2u);
}

TEST_F(Evaluator, EvaluateGivesTheStringFormAndFreesTemporaries) {
    EXPECT_EQ(vars.Evaluate("1 + 2"), "3");
    EXPECT_EQ(vars.Evaluate("1 +"), "");
    EXPECT_EQ(vars.GetTemporaryCount(), 0u);
    // The position stops after the ")" that closes the top level.
    std::string text = "1 + 1) rest";
    const char* p = text.c_str();
    CVariant* v = vars.EvaluateExpression(p);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->GetInt(), 2);
    EXPECT_STREQ(p, " rest");
    vars.ClearTemporaries();
}

TEST_F(Evaluator, NamesStepOverMultibyteCharacters) {
    // 0x7C ("|") as a Shift_JIS trail byte is part of the name, not an operator.
    vars.SetInt("\x83\x7C|", 5);
    EXPECT_EQ(Eval("\x83\x7C| + 1"), "i:6");  // a single "|" is part of a name
    EXPECT_EQ(Eval("\x83\x7C|| 1"), "i:1");
    vars.SetEncoding(2);
    vars.SetInt("\xE3\x81\x82", 4);
    EXPECT_EQ(Eval("\xE3\x81\x82 * 2"), "i:8");
}

}  // namespace
