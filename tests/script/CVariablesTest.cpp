#include <gtest/gtest.h>

#include <string>

#include "SCRIPT/COruVariables.h"
#include "SCRIPT/CVariant.h"

using kestrin::COruVariables;
using kestrin::CVariant;

namespace {

TEST(CVariant, ConvertsStringsLikeStrtoulOn32Bits) {
    struct {
        const char* text;
        int32_t value;
        bool numeric;
        // clang-format off
    } cases[] = {
        {"42abc", 42, false},  {"abc", 0, false},        {"", 0, true},           {"-1", -1, true},
        {"0xff", 255, true},   {"0XFF", 255, true},      {"3.9", 3, false},       {"007", 7, true},
        {"0x", 0, true},       {"0xg", 0, false},        {" 5", 5, false},        {"+5", 5, false},
        {"-", 0, true},        {"4294967295", -1, true}, {"4294967296", -1, true}, {"-4294967296", -1, true},
        {"2147483648", INT32_MIN, true}, {"-2147483649", 2147483647, true}, {"\t\n12", 12, false},
        {"0x7fffffff", 2147483647, true}, {"0x1ffffffff", -1, true}, {"12 ", 12, false},
    };
    // clang-format on
    for (const auto& c : cases) {
        CVariant v;
        v.SetString(c.text);
        EXPECT_EQ(v.GetInt(), c.value) << c.text;
        EXPECT_EQ(v.IsNumeric(), c.numeric) << c.text;
        EXPECT_TRUE(v.IsString());
        EXPECT_EQ(v.GetString(), c.text);
    }
    CVariant n;
    EXPECT_EQ(n.GetInt(), 0);
    EXPECT_EQ(n.GetString(), "0");
    n.SetInt(-17);
    EXPECT_EQ(n.GetString(), "-17");
    EXPECT_FALSE(n.IsString());
    n.SetString("9");
    EXPECT_EQ(n.GetInt(), 9);
}

TEST(COruVariables, SetOnlyChangesWhatDiffers) {
    COruVariables vars;
    vars.SetString("x", "007");
    EXPECT_EQ(vars.GetString("x"), "007");
    EXPECT_EQ(vars.GetInt("x"), 7);
    EXPECT_TRUE(vars.Find("x")->IsString());

    vars.SetString("g.f", "5");
    EXPECT_TRUE(vars.TakeGameChanged());
    EXPECT_FALSE(vars.TakeGameChanged());
    vars.SetInt("g.f", 5);  // same value in int form: no write, stays a string
    EXPECT_FALSE(vars.TakeGameChanged());
    EXPECT_TRUE(vars.Find("g.f")->IsString());
    vars.SetString("g.f", "6");
    EXPECT_TRUE(vars.TakeGameChanged());
    EXPECT_FALSE(vars.TakeSystemChanged());
    vars.SetInt("s.vol", 0);  // a new variable counts as a change
    EXPECT_TRUE(vars.TakeSystemChanged());
    vars.SetInt("gx", 1);
    EXPECT_FALSE(vars.TakeGameChanged());
    EXPECT_EQ(vars.Find("nothing"), nullptr);
    EXPECT_EQ(vars.GetInt("nothing"), 0);
    EXPECT_EQ(vars.GetString("nothing"), "");
}

TEST(COruVariables, OnlyTheInnermostScopeShadowsTheGlobals) {
    COruVariables vars;
    vars.SetEncoding(2);
    EXPECT_EQ(vars.GetLocalScope(), nullptr);
    vars.SetString("a", "2");
    vars.SetString("b", "g");
    COruVariables* outer = vars.PushLocalScope();
    outer->SetString("b", "outer");
    COruVariables* inner = vars.PushLocalScope();
    EXPECT_EQ(inner->GetEncoding(), 2);
    EXPECT_EQ(vars.GetLocalScope(), inner);
    inner->SetString("a", "1");
    EXPECT_EQ(vars.GetString("a"), "1");
    EXPECT_EQ(vars.GetString("b"), "g");  // outer scopes are never consulted
    vars.SetString("a", "3");
    EXPECT_EQ(vars.GetString("a"), "1");
    vars.PopLocalScope();
    EXPECT_EQ(vars.GetString("b"), "outer");
    EXPECT_EQ(vars.GetString("a"), "3");
    vars.PopLocalScope();
    vars.PopLocalScope();
    EXPECT_EQ(vars.GetLocalScope(), nullptr);
}

TEST(COruVariables, VariablesStayPutWhileOthersAreCreated) {
    COruVariables vars;
    vars.SetInt("keep", 7);
    CVariant* keep = vars.Find("keep");
    for (int i = 0; i < 5000; ++i) vars.SetInt("v" + std::to_string(i), i);
    EXPECT_EQ(vars.Find("keep"), keep);
    EXPECT_EQ(keep->GetInt(), 7);
}

}  // namespace
