#include "CORE/CDynamicVariables.h"

#include <gtest/gtest.h>

using kestrin::CDynamicVariables;

TEST(CDynamicVariables, MissingNamesAndKinds) {
    CDynamicVariables::ReleaseInstance();
    CDynamicVariables* dv = CDynamicVariables::GetInstance();
    EXPECT_EQ(dv->GetString("x"), "");
    EXPECT_EQ(dv->GetInt("x"), 0);
    EXPECT_FALSE(dv->GetBool("x"));
    std::string s = "untouched";
    EXPECT_TRUE(dv->TryGetString("x", s));  // reading did not create it
    EXPECT_EQ(s, "untouched");

    dv->SetString("x", "a");
    dv->SetString("x", "b");
    EXPECT_FALSE(dv->TryGetString("x", s));
    EXPECT_EQ(s, "b");
    dv->SetInt("x", 5);  // another kind replaces the kind too
    EXPECT_EQ(dv->GetInt("x"), 5);
    s = "untouched";
    EXPECT_TRUE(dv->TryGetString("x", s));
    EXPECT_EQ(s, "untouched");
    EXPECT_EQ(dv->GetString("x"), "");

    bool b = false;
    dv->SetBool("flag", true);
    EXPECT_FALSE(dv->TryGetBool("flag", b));
    EXPECT_TRUE(b);
    EXPECT_TRUE(dv->TryGetBool("Flag", b));  // names are case-sensitive
}

TEST(CDynamicVariables, MapIsCopiedAndReleaseEmpties) {
    CDynamicVariables* dv = CDynamicVariables::GetInstance();
    CDynamicVariables::StringMap args = {{"0", "game"}, {"fsr", ""}};
    dv->SetMap("ApplicationArguments", args);
    args["p"] = "";  // the store holds its own copy
    CDynamicVariables::StringMap out;
    EXPECT_FALSE(dv->TryGetMap("ApplicationArguments", out));
    EXPECT_EQ(out.size(), 2u);
    out["s"] = "";
    CDynamicVariables::StringMap again;
    dv->TryGetMap("ApplicationArguments", again);
    EXPECT_EQ(again.size(), 2u);

    CDynamicVariables::ReleaseInstance();
    CDynamicVariables* fresh = CDynamicVariables::GetInstance();
    EXPECT_TRUE(fresh->TryGetMap("ApplicationArguments", out));
    CDynamicVariables::ReleaseInstance();
}
