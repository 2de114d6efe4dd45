// The backlog's page store: which pages it keeps, the font states kept with them, and
// the checks on a backlog read back from a (possibly edited) save.
#include "SCRIPT/CBackLog.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "CORE/CSerializer.h"
#include "support/InterpreterFixture.h"

using kestrin::CBackLog;
using kestrin::CBinaryStream;
using kestrin::CFontProperty;
using kestrin::CMainScript;
using kestrin::CScriptBlock;
using kestrin::CSerializer;

namespace {

CScriptBlock Text(const std::string& text) { return CScriptBlock(CScriptBlock::kText, 0, text); }
CScriptBlock Tag(const std::string& name) { return CScriptBlock(CScriptBlock::kTag, 0, name); }

CFontProperty Font(uint8_t size) {
    CFontProperty font;
    font.size = size;
    return font;
}

std::string Image(const std::deque<CBackLog::FontStack>& fonts, const std::deque<CBackLog::Page>& pages) {
    CSerializer out;
    out.SaveFontPropertyDequeDeque(fonts, 1);
    out.SaveScriptBlockVectorDeque(pages, 2);
    CBinaryStream::CMemoryInfo* image = out.GetMemory();
    return std::string(reinterpret_cast<char*>(image->data), static_cast<size_t>(image->size));
}

class BackLogTest : public kestrin_test::InterpreterFixture {
protected:
    void SetUp() override {
        InterpreterFixture::SetUp();
        m_script.reset(new CMainScript(nullptr));
    }
    CMainScript& Owner() { return *m_script; }
    void Load(CBackLog& backlog, const std::string& bytes) {
        CSerializer in;
        in.Attach(bytes.data(), static_cast<unsigned>(bytes.size()));
        backlog.Load(&in);
    }
};

TEST_F(BackLogTest, KeepsOnlyPagesWithTextAndAtMostTheLimit) {
    CBackLog backlog(Owner());
    backlog.AddPage({Font(24)}, {Tag("rt"), Tag("font")}, true, "");
    EXPECT_TRUE(backlog.GetPages().empty()) << "a page of tags only is not stored";
    for (int i = 0; i < 150; ++i) backlog.AddPage({Font(24)}, {Text("page" + std::to_string(i))}, true, "");
    ASSERT_EQ(backlog.GetPages().size(), CBackLog::kMaxPages);
    EXPECT_EQ(backlog.GetFontStates().size(), CBackLog::kMaxPages);
    EXPECT_EQ(backlog.GetPages().front()[0].GetName(), "page49");
    EXPECT_EQ(backlog.GetPages().back()[0].GetName(), "page149");
}

TEST_F(BackLogTest, FontStatesAndFilteringFollowTheIncludeFlag) {
    const std::deque<CFontProperty> stack = {Font(10), Font(20), Font(30)};
    struct Case {
        const char* what;
        std::vector<CScriptBlock> blocks;
        bool includeFonts;
        std::vector<std::string> names;  // the stored blocks
        std::vector<int> sizes;          // the stored font states
        // clang-format off
    } cases[] = {
        {"balanced fonts keep the top only", {Tag("font"), Text("a"), Tag("/font")}, true, {"font", "a", "/font"}, {30}},
        {"each unmatched /font keeps one more", {Tag("/font"), Text("a"), Tag("/font")}, true, {"/font", "a", "/font"},
         {30, 20, 10}},
        {"no more than the stack holds", {Tag("/font"), Tag("/font"), Tag("/font"), Text("a")}, true,
         {"/font", "/font", "/font", "a"}, {30, 20, 10}},
        {"without fonts the font tags go", {Tag("fontinit"), Tag("font"), Tag("ruby"), Text("a"), Tag("/font"),
                                            Tag("voice")}, false, {"ruby", "a", "voice"}, {}},
    };
    // clang-format on
    for (const auto& c : cases) {
        CBackLog backlog(Owner());
        backlog.AddPage(stack, c.blocks, c.includeFonts, "note");
        ASSERT_EQ(backlog.GetPages().size(), 1u) << c.what;
        std::vector<std::string> names;
        for (const auto& block : backlog.GetPages()[0]) {
            names.push_back(block.GetName());
            if (block.GetKind() == CScriptBlock::kText) EXPECT_EQ(block.GetAttribute("annotation"), "note") << c.what;
        }
        EXPECT_EQ(names, c.names) << c.what;
        std::vector<int> sizes;
        for (const auto& font : backlog.GetFontStates()[0]) sizes.push_back(font.size);
        EXPECT_EQ(sizes, c.sizes) << c.what;
    }
}

TEST_F(BackLogTest, LoadRefusesWhatCouldNeverHaveBeenSaved) {
    const CBackLog::Page page = {Text("a")};
    struct Case {
        const char* what;
        size_t pages;
        size_t fontStates;
        bool fails;
    } cases[] = {
        {"the limit", CBackLog::kMaxPages, CBackLog::kMaxPages, false},
        {"empty", 0, 0, false},
        {"one page too many", CBackLog::kMaxPages + 1, CBackLog::kMaxPages + 1, true},
        {"a page without its font state", 3, 2, true},
        {"a font state without its page", 2, 3, true},
    };
    for (const auto& c : cases) {
        CBackLog backlog(Owner());
        backlog.AddPage({Font(24)}, {Text("before")}, true, "");
        Load(backlog, Image(std::deque<CBackLog::FontStack>(c.fontStates, {Font(12)}),
                            std::deque<CBackLog::Page>(c.pages, page)));
        EXPECT_EQ(backlog.LoadFailed(), c.fails) << c.what;
        EXPECT_EQ(backlog.GetPages().size(), c.fails ? 0 : c.pages) << c.what;
        EXPECT_EQ(backlog.GetFontStates().size(), backlog.GetPages().size()) << c.what;
    }
}

TEST_F(BackLogTest, SavedPagesComeBack) {
    CBackLog backlog(Owner());
    backlog.AddPage({Font(18)}, {Tag("ruby"), Text("x"), Tag("/ruby")}, true, "");
    backlog.AddPage({Font(30)}, {Text("y")}, true, "");
    CSerializer out;
    backlog.Save(&out);
    CBinaryStream::CMemoryInfo* image = out.GetMemory();
    CBackLog loaded(Owner());
    Load(loaded, std::string(reinterpret_cast<char*>(image->data), static_cast<size_t>(image->size)));
    EXPECT_FALSE(loaded.LoadFailed());
    EXPECT_EQ(loaded.GetPages(), backlog.GetPages());
    ASSERT_EQ(loaded.GetFontStates().size(), 2u);
    EXPECT_EQ(loaded.GetFontStates()[1][0].size, 30);
}

TEST_F(BackLogTest, ViewNeedsPagesAndARenderer) {
    CBackLog backlog(Owner());
    EXPECT_TRUE(backlog.Open(nullptr));
    EXPECT_TRUE(backlog.Scroll(true, false)) << "a closed view asks to close";
    backlog.AddPage({}, {Text("a")}, true, "");
    EXPECT_TRUE(backlog.Open(nullptr));
    EXPECT_FALSE(backlog.IsOpen());
    backlog.Close();
}

}  // namespace
