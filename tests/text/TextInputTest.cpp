// The text field and the IME input of the "ime" tag, driven through the game window's
// messages as the window system delivers them: characters and cursor keys never split a
// multibyte character, the field keeps at most 1023 bytes of whole characters, Enter in the
// field's first second is swallowed, compositions stay apart from the text until committed,
// and candidates injected by the test double show in the message layer.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/CFileFactory.h"
#include "CORE/CImeContext.h"
#include "CORE/CTimer.h"
#include "CORE/CWindow.h"
#include "CORE/Platform/HeadlessClock.h"
#include "CORE/Platform/HeadlessTextRasterizer.h"
#include "CORE/Platform/HeadlessWindowSystem.h"
#include "CORE/WindowMessages.h"
#include "GRAPHICS/CGdiRenderer.h"
#include "GRAPHICS/CGraphicLoaders.h"
#include "GRAPHICS/CLayerFactory.h"
#include "GRAPHICS/CSurfaceFactory.h"
#include "GRAPHICS/TweenRegistry.h"
#include "TEXT/CFontRenderer.h"
#include "TEXT/CIme.h"
#include "TEXT/CTextField.h"
#include "TEXT/CTextRenderer.h"

using namespace kestrin;

namespace {

class TextInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        windows = std::make_shared<HeadlessWindowSystem>();
        clock = std::make_shared<HeadlessClock>(1000);
        SPlatformServices fakes = PlatformServicesInEffect();
        fakes.windowSystem = windows;
        fakes.clock = clock;
        services.emplace(fakes);
        ClearWindowMessages();
        CImeContext::GetInstance().Clear();
        ASSERT_FALSE(window.Create(0, 0, 320, 240, "Game", "", 0, kSwShow, 0));
        windows->SetFocus(window.GetHandle());
    }
    void TearDown() override {
        window.Destroy();
        ClearWindowMessages();
        CImeContext::GetInstance().Clear();
        services.reset();
    }
    // Every pending event becomes messages, and each message reaches the window.
    void Deliver() {
        PumpWindowEvents();
        SMessage m;
        while (PeekWindowMessage(m)) DispatchWindowMessage(m);
    }
    void Key(int vk) {
        SWindowEvent e;
        e.type = EWindowEvent::KeyDown;
        e.window = window.GetHandle();
        e.key = vk;
        windows->PushEvent(e);
        Deliver();
    }
    void Text(const std::string& utf8) {
        windows->PushText(window.GetHandle(), utf8);
        Deliver();
    }
    void Compose(const std::string& utf8) {
        windows->PushComposition(window.GetHandle(), utf8);
        Deliver();
    }

    std::shared_ptr<HeadlessWindowSystem> windows;
    std::shared_ptr<HeadlessClock> clock;
    std::optional<PlatformServicesScope> services;
    CWindow window;
};

// A step of a case: typed text (UTF-8), or a key (8 backspace, 37 left, 39 right, 36 home,
// 35 end, 46 delete).
struct SStep {
    std::string text;
    int key = 0;
};

TEST_F(TextInputTest, EditingKeepsWholeCharacters) {
    const std::string sjisSo = "\x83\x5C";    // ソ: its trail byte is a backslash
    const std::string sjisHyou = "\x95\x5C";  // 表
    const std::string sjisA = "\x83\x41";     // ア: its trail byte is "A"
    struct SCase {
        const char* name;
        int32_t charset;
        std::vector<SStep> steps;
        std::string text;
        size_t cursor;
    } cases[] = {
        {"sjis backspace", 0, {{"aア"}, {"", 8}}, "a", 1},
        {"sjis backslash trail", 0, {{"ソ表"}, {"", 37}, {"", 8}}, sjisHyou, 0},
        {"sjis left twice", 0, {{"aソ"}, {"", 37}, {"", 37}, {"b"}}, "ba" + sjisSo, 1},
        {"sjis delete", 0, {{"アa"}, {"", 36}, {"", 46}}, "a", 0},
        {"sjis right", 0, {{"アソ"}, {"", 36}, {"", 39}, {"x"}}, sjisA + "x" + sjisSo, 3},
        {"utf8 cursor", 2, {{"aé日"}, {"", 37}, {"", 37}, {"", 8}, {"", 35}}, "é日", 5},
        {"utf8 four bytes", 2, {{"a😀"}, {"", 8}}, "a", 1},
        {"euc backspace", 1, {{"あい"}, {"", 8}}, "\xA4\xA2", 2},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.name);
        CTextField field(nullptr, nullptr, nullptr, c.charset);
        ASSERT_FALSE(field.Open(10, 20, 100, 16, ""));
        for (const SStep& step : c.steps) {
            if (step.key)
                Key(step.key);
            else
                Text(step.text);
        }
        EXPECT_EQ(field.GetText(), c.text);
        EXPECT_EQ(field.GetCursor(), c.cursor);
    }
}

// 1023 bytes of the game's encoding at most, and never part of a character.
TEST_F(TextInputTest, TheLimitNeverCutsACharacter) {
    struct SCase {
        int32_t charset;
        size_t filled;
        std::string typed;
        size_t expected;
    } cases[] = {
        {2, 1021, "日", 1021},  // three bytes do not fit in two
        {2, 1020, "日b", 1023},
        {0, 1022, "アb", 1022},  // the first character that does not fit ends the text
        {0, 1021, "ア", 1023},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.typed);
        CTextField field(nullptr, nullptr, nullptr, c.charset);
        ASSERT_FALSE(field.Open(0, 0, 100, 16, std::string(c.filled, 'a')));
        Text(c.typed);
        EXPECT_EQ(field.GetText().size(), c.expected);
        EXPECT_LE(field.GetText().size(), CTextField::kMaxTextBytes);
    }
    // A default text longer than the limit is cut before its first character that does not fit.
    CTextField field(nullptr, nullptr, nullptr, 2);
    ASSERT_FALSE(field.Open(0, 0, 100, 16, std::string(1022, 'a') + "日"));
    EXPECT_EQ(field.GetText(), std::string(1022, 'a'));
}

TEST_F(TextInputTest, EnterInTheFirstSecondIsSwallowed) {
    CTextField field(nullptr, nullptr, nullptr, 2);
    ASSERT_FALSE(field.Open(0, 0, 100, 16, "x"));
    std::vector<std::string> changes;
    int enters = 0;
    field.SetOnChange([&](const std::string& text) { changes.push_back(text); });
    field.SetOnEnter([&]() { ++enters; });
    clock->Advance(1000);
    Key(kVkReturn);
    EXPECT_EQ(enters, 0);
    EXPECT_EQ(field.GetText(), "x");  // not inserted either
    Text("y");
    clock->Advance(1);
    Key(kVkReturn);
    EXPECT_EQ(enters, 1);
    // Each change shows the text as it was before the key.
    EXPECT_EQ(changes, (std::vector<std::string>{"x", "x", "xy"}));
}

TEST_F(TextInputTest, ACompositionStaysApartUntilCommitted) {
    CTextField field(nullptr, nullptr, nullptr, 0);
    ASSERT_FALSE(field.Open(5, 6, 100, 16, "ab"));
    EXPECT_TRUE(windows->IsTextInputOn());
    EXPECT_EQ(windows->GetTextInputRect(), (std::vector<int>{5, 6, 100, 16}));
    Key(37);
    Compose("に");
    Compose("にほ");
    EXPECT_EQ(field.GetComposition(), "\x82\xC9\x82\xD9");
    EXPECT_EQ(field.GetText(), "ab");
    Key(37);  // the cursor keys belong to the input method while it composes
    Compose("");
    Text("日本");
    EXPECT_EQ(field.GetComposition(), "");
    EXPECT_EQ(field.GetText(),
              "a\x93\xFA\x96\x7B"
              "b");
    EXPECT_EQ(field.GetCursor(), 5u);
}

TEST_F(TextInputTest, TheFieldLetsGoOfTheWindow) {
    {
        CTextField field(nullptr, nullptr, nullptr, 2);
        ASSERT_FALSE(field.Open(0, 0, 10, 10, ""));
    }
    EXPECT_FALSE(windows->IsTextInputOn());
    Text("a");  // the hook went with the field (a dangling one would be caught here)
    window.Destroy();
    CTextField field(nullptr, nullptr, nullptr, 2);
    EXPECT_TRUE(field.Open(0, 0, 10, 10, "")) << "no game window to lay the field over";
}

class ImeTest : public TextInputTest {
protected:
    void SetUp() override {
        TextInputTest::SetUp();
        CFontRenderer::ResetCaches();
        SPlatformServices fakes = PlatformServicesInEffect();
        fakes.textRasterizer = []() {
            return std::make_unique<HeadlessTextRasterizer>(std::set<std::string>{"ＭＳ ゴシック"});
        };
        fontService.emplace(fakes);
        font = std::make_shared<CFontRenderer>(&surfaces, &loaders, &files);
        target = std::make_unique<CTextRenderer>(font, &layers);
        target->SetCharset(2);
        target->GetProperty().face = "ＭＳ ゴシック";
        target->GetProperty().rubySize = 0;
    }
    void TearDown() override {
        target.reset();
        ClearTweenRegistry();
        fontService.reset();
        CFontRenderer::ResetCaches();
        TextInputTest::TearDown();
    }
    // Characters per line of the target.
    std::vector<int> Lines() const {
        std::vector<int> out;
        for (int32_t i = 0; i <= target->GetCurrentLineIndex(); ++i) {
            int count = 0;
            for (const auto* b : target->GetLines()[size_t(i)]->m_blocks) count += int(b->m_chars.size());
            out.push_back(count);
        }
        return out;
    }

    CSurfaceFactory surfaces;
    CFileFactory files;
    CGraphicLoaders loaders{&files};
    std::shared_ptr<CGdiRenderer> gdi = std::make_shared<CGdiRenderer>();
    CLayerFactory layers{gdi};
    std::optional<PlatformServicesScope> fontService;
    std::shared_ptr<CFontRenderer> font;
    std::unique_ptr<CTextRenderer> target;
};

TEST_F(ImeTest, TextCompositionAndCandidatesShowInTheLayer) {
    CIme ime;
    std::vector<std::string> changes;
    ime.SetOnChange([&](const std::string& text) { changes.push_back(text); });
    ASSERT_FALSE(ime.Open(target.get(), 0, 0, "ab"));
    Text("日本");
    Key(8);
    EXPECT_EQ(ime.GetText(), "ab日");
    Compose("ご");
    // Text, then the underlined composition, then the cursor sign.
    EXPECT_EQ(Lines(), (std::vector<int>{5}));
    windows->PushCandidates(window.GetHandle(), {"語", "碁", "後"}, 1);
    Deliver();
    EXPECT_EQ(ime.GetComposition(), "碁");
    // The candidates on a line of their own, the selected one in brackets.
    EXPECT_EQ(Lines(), (std::vector<int>{4, 3 * 2 + 2}));
    windows->PushCandidates(window.GetHandle(), {}, -1);
    Deliver();
    EXPECT_TRUE(ime.GetCandidates().empty());
    Compose("");
    Text("碁");
    EXPECT_EQ(ime.GetText(), "ab日碁");
    ASSERT_FALSE(changes.empty());
    EXPECT_EQ(changes.back(), "ab日碁");
}

TEST_F(ImeTest, EnterFinishesAndLaterInputChangesNothing) {
    CIme ime;
    int enters = 0;
    ime.SetOnEnter([&]() { ++enters; });
    ASSERT_FALSE(ime.Open(target.get(), 0, 0, ""));
    Text("ok");
    Key(kVkReturn);
    Text("more");
    Key(8);
    EXPECT_EQ(enters, 1);
    EXPECT_TRUE(ime.IsFinished());
    EXPECT_EQ(ime.GetText(), "ok");
    ime.Close();
    EXPECT_EQ(ime.GetText(), "");
    EXPECT_FALSE(windows->IsTextInputOn());
}

}  // namespace
