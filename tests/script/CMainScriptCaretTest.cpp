// Archive forms of the caret and the glyph settings.
#include <gtest/gtest.h>

#include <string>

#include "CORE/CSerializer.h"
#include "SCRIPT/CMainScript.h"

using kestrin::CBinaryStream;
using kestrin::CMainScript;
using kestrin::CScriptBlock;
using kestrin::CSerializer;
using kestrin::ISerializable;

namespace {

template <class T>
T RoundTrip(ISerializable& object) {
    CSerializer out;
    object.Save(&out);
    CBinaryStream::CMemoryInfo* image = out.GetMemory();
    std::string bytes =
        image ? std::string(reinterpret_cast<char*>(image->data), static_cast<size_t>(image->size)) : "";
    T loaded;
    CSerializer in;
    in.Attach(bytes.data(), static_cast<unsigned>(bytes.size()));
    loaded.Load(&in);
    return loaded;
}

TEST(CMainScriptCaret, ArchiveKeepsPositionQueueAndStatuses) {
    CMainScript::CCaret caret;
    caret.file = "main.iet";
    caret.index = 42;
    caret.glyphShown = true;
    caret.queue.emplace_back(CScriptBlock::kTag, 0, "@");
    caret.queue.emplace_back(CScriptBlock::kText, 3, "テキスト, with a comma");
    caret.SetStatus(CMainScript::STAT_CLICK);
    auto loaded = RoundTrip<CMainScript::CCaret>(caret);
    EXPECT_EQ(loaded.file, "main.iet");
    EXPECT_EQ(loaded.index, 42);
    EXPECT_TRUE(loaded.glyphShown);
    ASSERT_EQ(loaded.queue.size(), 2u);
    EXPECT_EQ(loaded.queue[1], caret.queue[1]);
    EXPECT_EQ(loaded.status, CMainScript::STAT_CLICK);
    EXPECT_EQ(loaded.previousStatus, CMainScript::STAT_RUN);
}

TEST(CMainScriptCaret, PendingTimedOrTextWaitIsSavedAsRunning) {
    for (int which = 0; which < 3; ++which) {
        CMainScript::CCaret caret;
        caret.SetStatus(CMainScript::STAT_WAIT);
        if (which == 0) caret.wakeTime = 5000;
        if (which == 1) caret.waitForText = true;
        if (which == 2) caret.waitForClear = true;
        auto loaded = RoundTrip<CMainScript::CCaret>(caret);
        EXPECT_EQ(loaded.status, CMainScript::STAT_RUN) << which;
        EXPECT_EQ(loaded.previousStatus, CMainScript::STAT_WAIT) << which;
        EXPECT_EQ(loaded.wakeTime, 0u) << which;
        EXPECT_FALSE(loaded.waitForText || loaded.waitForClear) << which;
    }
}

TEST(CMainScriptCaret, GlyphAndIconSettingsRoundTrip) {
    CMainScript::CGlyphInfo glyph;
    glyph.homing = true;
    glyph.pageGlyphSet = true;
    glyph.lineGlyphLayer = "line";
    glyph.pageGlyphLayer = "page";
    glyph.linePosition = kestrin::CPoint(3, -4);
    glyph.pagePosition = kestrin::CPoint(-5, 6);
    auto loaded = RoundTrip<CMainScript::CGlyphInfo>(glyph);
    EXPECT_TRUE(loaded.homing);
    EXPECT_FALSE(loaded.lineGlyphSet);
    EXPECT_TRUE(loaded.pageGlyphSet);
    EXPECT_EQ(loaded.lineGlyphLayer, "line");
    EXPECT_EQ(loaded.pageGlyphLayer, "page");
    EXPECT_EQ(loaded.linePosition.GetX(), 3);
    EXPECT_EQ(loaded.linePosition.GetY(), -4);
    EXPECT_EQ(loaded.pagePosition.GetX(), -5);
    EXPECT_EQ(loaded.pagePosition.GetY(), 6);

    CMainScript::CIconInfo icon;
    icon.enabled = true;
    icon.layerId = "auto";
    auto icon2 = RoundTrip<CMainScript::CIconInfo>(icon);
    EXPECT_TRUE(icon2.enabled);
    EXPECT_EQ(icon2.layerId, "auto");
}

}  // namespace
