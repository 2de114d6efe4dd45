// The layer form of the "video" tag on a real screen (software renderer, SDL dummy driver):
// a ".mja" layer found with ".mja" appended, anchored at its centre, replacing an earlier one
// at the same id and recorded for a loaded game; files in a pack archive are not movies.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/CMja.h"
#include "GRAPHICS/COruLayer.h"
#include "GRAPHICS/ISurface.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/CSaveData.h"
#include "support/InterpreterFixture.h"
#include "support/TestSupport.h"

using namespace kestrin;

namespace {

class VideoTagTest : public kestrin_test::InterpreterFixture {
protected:
    void SetUp() override {
        InterpreterFixture::SetUp();
        ASSERT_NO_FATAL_FAILURE(OpenScreen(64, 48));
        m_dir.Write("anim.mja", kestrin_test::ReadFileBytes(kestrin_test::TestDataPath("harness/video/anim.mja")));
    }
    void Run(const std::string& text) {
        m_dir.Write("main.iet", text);
        m_script = std::make_unique<CMainScript>(m_screen.get());
        ASSERT_FALSE(m_script->Start());
        m_script->SetDebugMode(1);
        m_script->SetTraceLevel(2);
        m_now += 16;
        m_script->Update(m_now);
    }
    COruLayer* Next(const std::string& path) {
        std::shared_ptr<COruLayer> node;
        return m_screen->GetRootLayer()->FindLayer(path, node) ? nullptr : node.get();
    }
};

}  // namespace

TEST_F(VideoTagTest, AMovieLayerIsMadeRecordedAndReplaced) {
    Run("[video id=m file=anim loop=1]\n[video id=m file=anim.mja]\n[after]\n");
    // Each video tag ends the frame: the second one has not run yet.
    COruLayer* first = Next("m");
    ASSERT_NE(first, nullptr);
    std::shared_ptr<CMja> movie = first->GetAttachment();
    ASSERT_TRUE(movie);
    EXPECT_TRUE(movie->IsPlaying());
    ISurface* surface = first->GetSurface();
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->GetWidth(), 24);
    EXPECT_EQ(surface->GetPixelBits(), ISurface::kPixel32Alpha);
    EXPECT_EQ(first->GetNextObject()->GetAnchorX(), 12);
    EXPECT_EQ(first->GetNextObject()->GetAnchorY(), 8);
    ASSERT_EQ(m_script->GetSaveData().GetLayerRecord()["m"].size(), 1u);
    EXPECT_EQ(m_script->GetSaveData().GetLayerRecord()["m"][0].ToCommaText(), "video,file,anim,id,m,loop,1");

    m_now += 16;
    m_script->Update(m_now);
    COruLayer* second = Next("m");
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second->GetAttachment(), movie);
    EXPECT_EQ(m_script->GetSaveData().GetLayerRecord()["m"][0].ToCommaText(), "video,file,anim.mja,id,m");
    EXPECT_FALSE(LoggedWithin("指定されたファイル")) << AllLines();
}

TEST_F(VideoTagTest, MissingAndUnsupportedFilesLeaveTheTreeAndRecordsAlone) {
    m_dir.Write("text.mja", std::string("MJA\1\0\0\0\0", 8));  // 0 frames per second
    Run("[video id=a file=none]\n[video id=b file=text]\n[stop]\n");
    EXPECT_TRUE(Logged("main.iet(1): [video file=\"none\"] 指定されたファイルは見つかりません。")) << AllLines();
    EXPECT_TRUE(Logged("main.iet(2): [video file=\"text\"] 指定されたファイルは非対応形式です。")) << AllLines();
    EXPECT_EQ(Next("a"), nullptr);
    EXPECT_EQ(Next("b"), nullptr);
    EXPECT_TRUE(m_script->GetSaveData().GetLayerRecord().empty());
}
