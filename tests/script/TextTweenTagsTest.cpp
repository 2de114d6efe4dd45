// The scetween tag's preset lists: what each attribute makes of a preset and which list
// (per message layer, or the backlog's) it goes to.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SCRIPT/CBackLog.h"
#include "SCRIPT/CMainScript.h"
#include "support/InterpreterFixture.h"

using kestrin::CMainScript;
using kestrin::CScriptBlock;
using Preset = kestrin::CTextRenderer::CTweenInfo;

namespace {

class TextTweenTagsTest : public kestrin_test::InterpreterFixture {
protected:
    void Boot() {
        m_dir.Write("main.iet", "[stop]\n");
        m_script = std::make_unique<CMainScript>(nullptr);
        ASSERT_FALSE(m_script->Start());
        m_script->Update(m_now += 16);
    }
    void Tag(const std::string& name, const std::map<std::string, std::string>& attributes) {
        CScriptBlock block(CScriptBlock::kTag, 0, name);
        for (const auto& a : attributes) block.SetAttribute(a.first, a.second);
        m_script->ExecuteBlock(block, false);
    }
    std::vector<Preset>& List(int type, const std::string& layer) { return m_script->GetTextTweens(type)[layer]; }
};

TEST_F(TextTweenTagsTest, AddFillsOnePresetFromItsAttributes) {
    ASSERT_NO_FATAL_FAILURE(Boot());
    struct Case {
        std::map<std::string, std::string> attributes;
        int param;
        bool entire;
        int ease;
        int diff;
        bool randomDelay;
        bool leave;
        // clang-format off
    } cases[] = {
        {{{"type", "in"}, {"param", "left"}, {"diff", "50"}, {"msec", "300"}, {"delay", "20"}}, 0, false, 31, 50, false, false},
        {{{"type", "in"}, {"param", "xscale"}, {"diff", "50"}}, 3, false, 31, 32768, false, false},
        {{{"type", "in"}, {"param", "yscale"}, {"diff", "-150"}}, 4, false, 31, -98304, false, false},
        {{{"type", "out"}, {"param", "entirealpha"}, {"ease", "easeout_quad"}}, 2, true, 2, 0, false, true},
        {{{"type", "show"}, {"param", "rotate"}, {"ease", "none"}, {"randomdelay", "1"}}, 5, false, 0, 0, true, false},
        {{{"type", "hide"}, {"param", "top"}, {"ease", "easeinout_bounce"}, {"randomdelay", "0"}}, 1, false, 30, 0, false, true},
        {{{"type", "in"}, {"param", "bogus"}, {"ease", "bogus"}}, 6, false, 31, 0, false, false},
    };
    // clang-format on
    for (const auto& c : cases) {
        auto attributes = c.attributes;
        attributes["mode"] = "add";
        const std::string& type = attributes["type"];
        const int index = type == "in" ? 0 : type == "out" ? 1 : type == "show" ? 2 : 3;
        std::vector<Preset>& list = List(index, "");
        const size_t before = list.size();
        Tag("scetween", attributes);
        ASSERT_EQ(list.size(), before + 1) << "param " << attributes["param"];
        const Preset& p = list.back();
        EXPECT_EQ(p.param, c.param) << attributes["param"];
        EXPECT_EQ(p.entire, c.entire) << attributes["param"];
        EXPECT_EQ(p.ease, c.ease) << attributes["param"];
        EXPECT_EQ(p.diff, c.diff) << attributes["param"];
        EXPECT_EQ(p.randomDelay, c.randomDelay) << attributes["param"];
        EXPECT_EQ(p.leave, c.leave) << attributes["param"];
    }
    EXPECT_EQ(List(0, "")[0].msec, 300);
    EXPECT_EQ(List(0, "")[0].delay, 20);
}

TEST_F(TextTweenTagsTest, ListsBelongToTheirLayerOrToTheBacklog) {
    ASSERT_NO_FATAL_FAILURE(Boot());
    Tag("scetween", {{"mode", "add"}, {"type", "in"}, {"param", "alpha"}});
    Tag("chgmsg", {{"id", "other"}});
    Tag("scetween", {{"mode", "init"}, {"type", "in"}});
    EXPECT_EQ(List(0, "").size(), 1u) << "init on another layer leaves the first layer's list";
    Tag("scetween", {{"mode", "add"}, {"type", "backlog_up_in"}, {"param", "top"}});
    Tag("scetween", {{"mode", "add"}, {"type", "backlog_down_out"}, {"param", "top"}});
    Tag("scetween", {{"mode", "add"}, {"type", "nosuch"}, {"param", "top"}});
    Tag("scetween", {{"type", "in"}, {"param", "top"}});
    Tag("scetween", {{"mode", "other"}, {"type", "in"}, {"param", "top"}});
    EXPECT_TRUE(List(0, "other").empty()) << "no mode, or another mode, adds nothing";
    auto& backlog = m_script->GetBackLog();
    ASSERT_EQ(backlog.GetScrollTweens(true, false).size(), 1u);
    EXPECT_FALSE(backlog.GetScrollTweens(true, false)[0].leave);
    ASSERT_EQ(backlog.GetScrollTweens(false, true).size(), 1u);
    EXPECT_TRUE(backlog.GetScrollTweens(false, true)[0].leave);
    EXPECT_TRUE(backlog.GetScrollTweens(false, false).empty());
    Tag("scetween", {{"mode", "init"}, {"type", "backlog_up_in"}});
    EXPECT_TRUE(backlog.GetScrollTweens(true, false).empty());
}

}  // namespace
