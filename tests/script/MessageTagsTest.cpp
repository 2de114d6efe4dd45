// The ruby, font and click-wait glyph tags' family on its own, with a fake interpreter: a
// real message layer's text and layer tree, and the saved state the tags read and write held
// by the host.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/CFileFactory.h"
#include "CORE/Platform/HeadlessTextRasterizer.h"
#include "GRAPHICS/CGdiRenderer.h"
#include "GRAPHICS/CGraphicLoaders.h"
#include "GRAPHICS/CLayer.h"
#include "GRAPHICS/CLayerFactory.h"
#include "GRAPHICS/COruLayer.h"
#include "GRAPHICS/CSurfaceFactory.h"
#include "SCRIPT/CScriptState.h"
#include "SCRIPT/IMessageTagHost.h"
#include "SCRIPT/tags/CMessageTags.h"
#include "SCRIPT/tags/TagMessages.h"
#include "TEXT/CFontRenderer.h"
#include "TEXT/CLinkableTextRenderer.h"

using namespace kestrin;

namespace {

class FakeHost : public IMessageTagHost {
public:
    CLinkableTextRenderer* GetTextLayer() const override { return FindTextLayer(layerName); }
    CLinkableTextRenderer* FindTextLayer(const std::string& name) const override {
        auto it = layers.find(name);
        return it != layers.end() ? it->second : nullptr;
    }
    const std::string& GetTextLayerName() const override { return layerName; }
    bool IsTextPageEmpty() const override {
        CLinkableTextRenderer* layer = GetTextLayer();
        return !layer || (layer->GetCharCount() == 0 && layer->GetCurrentLineIndex() == 0);
    }
    void RecordTextBlock(const CScriptBlock& block) override { page.push_back(block.GetName()); }
    void RecordPageFonts(const std::string& layer, const std::deque<CFontProperty>& stack) override {
        pageFonts[layer] = stack;
    }
    void BreakPageBefore(const CScriptBlock& block) override { breaks.push_back(block.GetName()); }
    CFontProperty& GetDefaultTextFont() override { return defaultFont; }
    std::map<std::string, CGlyphInfo>& GetClickGlyphs() override { return glyphs; }
    bool IsCaretGlyphShown() const override { return caretGlyphShown; }
    void ClearCaretGlyphShown() override { caretGlyphShown = false; }
    bool IsPageEndNext() override { return pageEndNext; }
    COruLayer* GetGlyphRoot() const override { return root.get(); }
    void TraceTagAt(int level, const CScriptBlock& block, const char* format, va_list args) override {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        traces.push_back(std::to_string(level) + "@" + std::to_string(block.GetLine()) + ": " + text);
    }

    std::map<std::string, CLinkableTextRenderer*> layers;
    std::string layerName = "msg";
    std::vector<std::string> page;
    std::map<std::string, std::deque<CFontProperty>> pageFonts;
    std::vector<std::string> breaks;
    CFontProperty defaultFont;
    std::map<std::string, CGlyphInfo> glyphs;
    bool caretGlyphShown = false;
    bool pageEndNext = false;
    std::shared_ptr<COruLayer> root = std::make_shared<COruLayer>(nullptr);
    std::vector<std::string> traces;
};

CScriptBlock Tag(const std::string& name, int line, std::vector<std::pair<std::string, std::string>> attributes = {}) {
    CScriptBlock block(CScriptBlock::kTag, line, name);
    for (const auto& attribute : attributes) block.SetAttribute(attribute.first, attribute.second);
    return block;
}

// A diagnostic as the fake host writes it, for a tag-name message.
std::string Trace(int level, int line, const char* format, const char* name) {
    char text[512];
    std::snprintf(text, sizeof text, format, name);
    return std::to_string(level) + "@" + std::to_string(line) + ": " + text;
}

class MessageTagsTest : public ::testing::Test {
protected:
    void SetUp() override {
        CFontRenderer::ResetCaches();
        SPlatformServices services = PlatformServicesInEffect();
        services.textRasterizer = []() {
            return std::make_unique<HeadlessTextRasterizer>(std::set<std::string>{"ＭＳ ゴシック"});
        };
        m_services.emplace(services);
        ASSERT_FALSE(m_services->Failed());
        m_font = std::make_shared<CFontRenderer>(&m_surfaces, &m_loaders, &m_files);
        m_text = std::make_unique<CLinkableTextRenderer>(m_font, &m_layerFactory, &m_surfaces);
        m_host.layers["msg"] = m_text.get();
    }
    void TearDown() override {
        m_text.reset();
        m_services.reset();
        CFontRenderer::ResetCaches();
    }
    // A hidden node under the host's root at id.
    std::shared_ptr<COruLayer> AddGlyphLayer(const std::string& id) {
        auto node = COruLayer::COruLayerWithLayer(nullptr, std::make_shared<CLayer>(nullptr));
        node->SetVisible(false);
        m_host.root->AddChild(id, node);
        m_host.root->Commit();
        return node;
    }

    CSurfaceFactory m_surfaces;
    CFileFactory m_files;
    CGraphicLoaders m_loaders{&m_files};
    std::shared_ptr<CGdiRenderer> m_gdi = std::make_shared<CGdiRenderer>();
    CLayerFactory m_layerFactory{m_gdi};
    std::shared_ptr<CFontRenderer> m_font;
    std::unique_ptr<CLinkableTextRenderer> m_text;
    FakeHost m_host;
    std::optional<PlatformServicesScope> m_services;
};

// Text between "ruby" and "/ruby" becomes the base, laid out once with the ruby above it;
// a replayed run records nothing.
TEST_F(MessageTagsTest, RubyGathersItsBaseAndLaysItOutAtItsEnd) {
    CMessageTags tags(m_host);
    EXPECT_FALSE(tags.AddToRuby("x"));
    tags.TagRuby(Tag("ruby", 1, {{"text", "xyz"}}), false);
    EXPECT_TRUE(tags.AddToRuby("a"));
    EXPECT_TRUE(tags.AddToRuby("b"));
    EXPECT_EQ(m_text->GetCharCount(), 0);
    tags.TagRubyEnd(Tag("/ruby", 2), false);
    EXPECT_FALSE(tags.AddToRuby("c"));
    ASSERT_EQ(m_text->GetLines().size(), 1u);
    const auto& blocks = m_text->GetLines()[0]->m_blocks;
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0]->m_chars.size(), 2u);
    EXPECT_EQ(blocks[0]->m_rubyChars.size(), 3u);
    EXPECT_EQ(m_host.page, (std::vector<std::string>{"ruby", "/ruby"}));

    tags.TagRuby(Tag("ruby", 3, {{"text", "q"}}), true);
    EXPECT_TRUE(tags.AddToRuby("d"));
    tags.TagRubyEnd(Tag("/ruby", 4), true);
    EXPECT_EQ(m_host.page.size(), 2u);
    EXPECT_TRUE(m_host.traces.empty());
}

// Unpaired and nested tags are traced and change nothing; a boot drops an open run.
TEST_F(MessageTagsTest, UnpairedTagsAreTracedAndResetDropsTheRun) {
    CMessageTags tags(m_host);
    tags.TagRubyEnd(Tag("/ruby", 5), false);
    tags.TagFontEnd(Tag("/font", 6), false);
    tags.TagRuby(Tag("ruby", 7, {{"text", "x"}}), false);
    tags.TagRuby(Tag("ruby", 8, {{"text", "y"}}), false);
    EXPECT_EQ(m_host.traces, (std::vector<std::string>{Trace(1, 5, tagmsg::kRubyUnpaired, "/ruby"),
                                                       Trace(3, 6, tagmsg::kFontUnpaired, "/font"),
                                                       Trace(1, 8, tagmsg::kRubyNested, "ruby")}));
    EXPECT_EQ(m_host.page, (std::vector<std::string>{"ruby", "ruby"}));
    EXPECT_TRUE(tags.AddToRuby("a"));
    tags.Reset();
    EXPECT_FALSE(tags.AddToRuby("a"));
    EXPECT_TRUE(tags.GetFontStacks().empty());
}

// A layer's stack starts from its text property (recorded as the page's start); "font" pushes
// or, with stack=0, changes the top, "/font" pops, "fontinit" starts from the default again.
TEST_F(MessageTagsTest, FontTagsKeepTheLayersStackAndProperty) {
    m_text->GetProperty().size = 20;
    CMessageTags tags(m_host);
    tags.EnsureFontStack("msg");
    ASSERT_EQ(m_host.pageFonts["msg"].size(), 1u);
    EXPECT_EQ(m_host.pageFonts["msg"].back().size, 20);

    tags.TagFont(Tag("font", 1, {{"size", "30"}}), false);
    tags.TagFont(Tag("font", 2, {{"size", "40"}, {"stack", "0"}}), false);
    EXPECT_EQ(m_text->GetProperty().size, 40);
    ASSERT_EQ(tags.CurrentFontStack().size(), 2u);
    tags.TagFontEnd(Tag("/font", 3), false);
    EXPECT_EQ(m_text->GetProperty().size, 20);
    EXPECT_EQ(tags.CurrentFontStack().size(), 1u);

    tags.TagFontdefault(Tag("fontdefault", 4, {{"size", "12"}}), false);
    EXPECT_EQ(m_host.defaultFont.size, 12);
    EXPECT_EQ(m_text->GetProperty().size, 20);
    tags.TagFont(Tag("font", 5, {{"size", "30"}}), true);
    tags.TagFontinit(Tag("fontinit", 6), false);
    EXPECT_EQ(m_text->GetProperty().size, 12);
    ASSERT_EQ(tags.CurrentFontStack().size(), 1u);
    EXPECT_EQ(tags.CurrentFontStack().back().size, 12);
    EXPECT_EQ(m_host.page, (std::vector<std::string>{"font", "font", "/font", "fontinit"}));
    EXPECT_TRUE(m_host.traces.empty());
}

// "glyph" hides its layers; the wait shows the line glyph, or the page one before a page
// end, once, and none while the caret's wait has it counted as shown.
TEST_F(MessageTagsTest, GlyphShowsTheOneDueForTheWait) {
    auto line = AddGlyphLayer("line");
    auto pageGlyph = AddGlyphLayer("page");
    line->SetVisible(true);
    CMessageTags tags(m_host);
    tags.TagGlyph(Tag("glyph", 1, {{"layer", "line"}, {"rplayer", "page"}, {"rpleft", "5"}}), false);
    EXPECT_FALSE(line->IsVisible());
    const CGlyphInfo& info = m_host.glyphs["msg"];
    EXPECT_EQ(info.pageGlyphLayer, "page");
    EXPECT_EQ(info.pagePosition.GetX(), 5);

    tags.ShowGlyph();
    EXPECT_TRUE(line->IsVisible());
    m_host.pageEndNext = true;
    tags.ShowGlyph();  // one shows already
    EXPECT_FALSE(pageGlyph->IsVisible());
    tags.HideGlyph();
    EXPECT_FALSE(line->IsVisible());
    tags.ShowGlyph();
    EXPECT_TRUE(pageGlyph->IsVisible());
    tags.HideGlyph();

    m_host.caretGlyphShown = true;
    tags.ShowGlyph();
    EXPECT_FALSE(pageGlyph->IsVisible());
    tags.HideGlyph();
    EXPECT_FALSE(m_host.caretGlyphShown);
}

// A homing glyph leaves the layer tree for the text while it shows and comes back hidden.
TEST_F(MessageTagsTest, HomingGlyphLeavesTheTreeWhileItShows) {
    auto icon = AddGlyphLayer("icon");
    CMessageTags tags(m_host);
    tags.TagGlyph(Tag("glyph", 1, {{"layer", "icon"}, {"left", "3"}, {"top", "4"}, {"homing", "1"}}), false);
    tags.ShowGlyph();
    EXPECT_TRUE(icon->IsVisible());
    EXPECT_EQ(icon->GetX(), 3);
    EXPECT_FALSE(m_host.root->GetChildren().count("icon"));
    tags.HideGlyph();
    EXPECT_FALSE(icon->IsVisible());
    EXPECT_EQ(m_host.root->GetNextChildren().at("icon"), icon);

    // Without a message layer it shows where it is.
    m_host.root->Commit();
    m_host.layers.clear();
    tags.ShowGlyph();
    EXPECT_TRUE(icon->IsVisible());
    EXPECT_TRUE(m_host.root->GetChildren().count("icon"));
}

}  // namespace
