#pragma once
// The log window: a process-wide sink for diagnostic lines and script traces. Every
// line goes to stderr (UTF-8) and to any test sink; when a display is there, it is also
// shown in a small always-on-top window that does not take the focus. The window part
// is optional: when it cannot open, logging goes on through stderr alone.
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "CORE/CWindow.h"

namespace kestrin {

class ITextRasterizer;

class CLogWindow : public CWindow {
public:
    // The first call creates the log (and its window, when it can); later calls return it.
    static CLogWindow* GetInstance(int showCommand = kSwShowNoActivate);
    static void ReleaseInstance();

    ~CLogWindow() override;

    bool Create(int x, int y, int width, int height, const char* className, const char* title, uint32_t style,
                int showCommand, WindowHandle parent) override;
    bool OnMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t* result) override;

    // printf-style; the formatted text (any length) becomes one line of the log.
    void Print(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void SetTitle(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Appends text unchanged (no formatting) as one line.
    void PrintText(const std::string& text);

    // Redraws the window part when lines arrived since the last call; the main loop calls it once a frame.
    static void Refresh();

    // Receives every printed line (as given, before any encoding conversion); empty to stop.
    static void SetLineSink(std::function<void(const std::string&)> sink);
    // Whether a log made from now on may open its window: off by default, the program
    // turns it on at start-up (RuntimeConfiguration::logWindow false still says no).
    static void SetWindowEnabled(bool enabled);

    bool HasWindow() const { return GetHandle() != 0; }
    const std::string& GetFontFamily() const { return m_fontFamily; }
    int GetLineHeight() const { return m_lineHeight; }
    // The shown lines (UTF-8), oldest first; the oldest are dropped past a limit.
    const std::deque<std::string>& GetLines() const { return m_lines; }

    // Pixels the view is scrolled to the right; a new line scrolls it back to the start.
    int GetHorizontalScroll() const { return m_hscroll; }

    static constexpr size_t kMaxLines = 5000;
    static constexpr int kLineStep = 12;
    // The horizontal scroll bar along the bottom, shown while a visible line is wider than the view.
    static constexpr int kScrollBarHeight = 12;

private:
    CLogWindow();
    void OpenWindow(int showCommand);
    void Redraw();
    // Pixel width of line i, measured once.
    int LineWidth(size_t i);
    // The lines in view and how far the view can scroll sideways.
    void Layout(int width, int height, size_t& first, size_t& end, int& textHeight, int& maxScroll);
    void ScrollHorizontally(int pixels);
    // The bar's thumb: left edge and width for a view of this width.
    void ThumbOf(int width, int maxScroll, int& left, int& size) const;

    std::unique_ptr<ITextRasterizer> m_font;
    // m_font's advances by code point: long trace lines are measured without rendering
    // each character again.
    std::unordered_map<uint32_t, int> m_advances;
    std::string m_fontFamily;
    int m_lineHeight;
    std::deque<std::string> m_lines;
    std::vector<uint32_t> m_pixels;
    std::deque<int> m_widths;  // pixel width of each line, -1 until measured
    size_t m_scroll;           // lines scrolled back from the newest
    int m_hscroll;             // pixels scrolled to the right
    bool m_dragging;           // the bar's thumb is held
    int m_dragOffset;          // where in the thumb it was taken
    bool m_dirty;
    std::string m_title;
};

// How much a line of the engine's own diagnostics matters.
enum class ELogLevel {
    Error,    // something asked for did not happen (a file that cannot be read, a device that failed)
    Warning,  // it happened differently (a value replaced, a fallback taken, data skipped)
    Note,     // for information (where things are, what was chosen)
};

// The word for a level in a line: "error", "warning", "note".
const char* LogLevelName(ELogLevel level);

// Where a line goes. The log window is kept for the messages the engine defines and the
// script trace: LogPrintf (and CMainScript's trace) open it. The engine's other lines, of
// any level, go to stderr and the line sink only.
//
// Log formats "<area>: <text>" (area: the subsystem or the file concerned); the line sink
// receives that, stderr "kestrin: <level>: <area>: <text>". The level comes first so that
// "<area>: <text>" stays one piece to search for.
void Log(ELogLevel level, const char* area, const char* format, ...) __attribute__((format(printf, 3, 4)));

// One of the messages the engine defines (errors of the script, the parser, the renderer),
// text unchanged: to stderr, the line sink and the log window.
void LogPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The program's own words to whoever started it (usage, where the game and its saves are,
// why it cannot start, a message box that has no display), text unchanged: to stderr and
// the line sink only.
void LogConsole(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kestrin
