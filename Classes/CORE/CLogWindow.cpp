#include "CORE/CLogWindow.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "CORE/DisplayText.h"
#include "CORE/RuntimeConfiguration.h"
#include "CORE/Platform/ITextRasterizer.h"
#include "CORE/WindowMessages.h"

namespace kestrin {

namespace {
CLogWindow* g_logWindow = nullptr;
// The window part is tried once per process: a log made again while shutting down stays on stderr.
bool g_windowTried = false;
// Off until the program enables it: tests, tools and fuzzers log to stderr only.
bool g_windowEnabled = false;
bool g_opening = false;

std::function<void(const std::string&)>& LineSink() {
    static std::function<void(const std::string&)> sink;
    return sink;
}

// Formats into a string of any length: the trace builds lines far longer than a fixed buffer.
std::string FormatV(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n <= 0) return std::string();
    std::vector<char> buf(static_cast<size_t>(n) + 1);
    std::vsnprintf(buf.data(), buf.size(), format, args);
    return std::string(buf.data(), static_cast<size_t>(n));
}

// Every line reaches the test sink (as given) and stderr (UTF-8, after prefix); returns the UTF-8 text.
std::string EmitLine(const std::string& text, const char* prefix = "") {
    if (LineSink()) LineSink()(text);
    std::string utf8 = GameTextToUtf8(text);
    std::string line = prefix;
    line += utf8;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    return utf8;
}

constexpr uint32_t kBackground = 0xFFFFFFu;
constexpr uint32_t kForeground = 0x000000u;
constexpr uint32_t kBarTrack = 0xE0E0E0u;
constexpr uint32_t kBarThumb = 0x909090u;
constexpr int kMargin = 2;
constexpr int kMinThumb = 16;

void FillRect(std::vector<uint32_t>& pixels, int width, int left, int top, int right, int bottom, uint32_t colour) {
    for (int y = std::max(top, 0); y < bottom; ++y)
        for (int x = std::max(left, 0); x < std::min(right, width); ++x)
            pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = colour;
}
}  // namespace

CLogWindow* CLogWindow::GetInstance(int showCommand) {
    if (!g_logWindow) {
        g_logWindow = new CLogWindow();
        g_logWindow->OpenWindow(showCommand);
    }
    return g_logWindow;
}

void CLogWindow::ReleaseInstance() {
    CLogWindow* w = g_logWindow;
    g_logWindow = nullptr;
    delete w;
}

CLogWindow::CLogWindow()
    : m_lineHeight(kLineStep), m_scroll(0), m_hscroll(0), m_dragging(false), m_dragOffset(0), m_dirty(false) {}

CLogWindow::~CLogWindow() = default;

void CLogWindow::SetLineSink(std::function<void(const std::string&)> sink) { LineSink() = std::move(sink); }

void CLogWindow::SetWindowEnabled(bool enabled) {
    g_windowEnabled = enabled;
    g_windowTried = false;
}

void CLogWindow::OpenWindow(int showCommand) {
    if (g_windowTried || g_opening) return;
    g_windowTried = true;
    if (!g_windowEnabled || !GetRuntimeConfiguration().logWindow) return;
    // Lines logged while the window part starts (a failing video driver) go to stderr only.
    g_opening = true;
    IWindowSystem& ws = GetWindowSystem();
    if (ws.HasDisplay() && !Create(10, 10, 320, 480, "CLogWindow Instant", "", kWsOverlappedWindow, showCommand, 0)) {
        ws.SetAlwaysOnTop(GetHandle(), true);
    }
    g_opening = false;
}

bool CLogWindow::Create(int x, int y, int width, int height, const char* className, const char* title, uint32_t style,
                        int showCommand, WindowHandle parent) {
    height -= height % kLineStep;
    if (CWindow::Create(x, y, width, height, className, title, style, showCommand, parent)) return true;
    // The log is a tool window beside the game: it is never the main window.
    LeaveTopLevelList();
    m_font = MakeTextRasterizer();
    m_advances.clear();
    m_fontFamily.clear();
    if (m_font && !m_font->Open("MeiryoKe_Gothic", 17)) {
        m_lineHeight = 17;
    } else if (m_font && (!m_font->Open("ＭＳ ゴシック", 12) || !m_font->OpenFallback(12))) {
        m_lineHeight = 12;
    } else {
        m_font.reset();  // no font at all: the window stays blank, stderr still has every line
    }
    if (m_font) m_fontFamily = m_font->GetFamily();
    m_dirty = true;
    return false;
}

bool CLogWindow::OnMessage(WindowHandle, uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t* result) {
    if (result) *result = 0;
    switch (message) {
        case kWmSize: {
            if (wParam == kSizeMinimized) return false;
            const int width = LowWord(lParam);
            const int height = HighWord(lParam);
            const int rest = height % kLineStep;
            if (rest != 0 && height - rest > 0) {
                GetWindowSystem().SetClientSize(GetHandle(), width, height - rest);
                NoteClientSize(width, height - rest);
            }
            m_dirty = true;
            Redraw();
            return false;
        }
        case kWmPaint:
            m_dirty = true;
            Redraw();
            return false;
        case kWmClose:
            // Reaches only the default handling: the log stays open until the program ends.
            PostWindowMessage(GetHandle(), kWmDestroy, 0, 0);
            return false;
        case kWmSysKeyDown:
            if (wParam == static_cast<uintptr_t>(kVkF4)) PostWindowMessage(GetHandle(), kWmDestroy, 0, 0);
            return false;
        case kWmMouseWheel: {
            const int delta = static_cast<int16_t>(HighWord(static_cast<intptr_t>(wParam)));
            // With Shift the wheel scrolls sideways, forward to the left.
            if (GetWindowSystem().IsKeyDown(kVkShift)) {
                ScrollHorizontally(delta > 0 ? -3 * m_lineHeight : delta < 0 ? 3 * m_lineHeight : 0);
                return false;
            }
            if (delta > 0) {
                m_scroll = std::min(m_scroll + 3, m_lines.size());
            } else if (delta < 0) {
                m_scroll = m_scroll > 3 ? m_scroll - 3 : 0;
            }
            m_dirty = true;
            Redraw();
            return false;
        }
        case kWmKeyDown: {
            const int key = static_cast<int>(wParam);
            if (key == kVkLeft) ScrollHorizontally(-m_lineHeight);
            if (key == kVkRight) ScrollHorizontally(m_lineHeight);
            if (key == kVkHome) ScrollHorizontally(-m_hscroll);
            if (key == kVkEnd) ScrollHorizontally(1 << 30);
            return false;
        }
        case kWmLButtonDown:
        case kWmMouseMove:
        case kWmLButtonUp: {
            if (message == kWmLButtonUp) m_dragging = false;
            if (message != kWmLButtonDown && !m_dragging) return false;
            int width = 0, height = 0;
            GetWindowSystem().GetClientSize(GetHandle(), width, height);
            size_t first = 0, end = 0;
            int textHeight = 0, maxScroll = 0;
            Layout(width, height, first, end, textHeight, maxScroll);
            if (maxScroll <= 0) return false;
            const int x = static_cast<int16_t>(LowWord(lParam));
            const int y = static_cast<int16_t>(HighWord(lParam));
            int thumbLeft = 0, thumbSize = 0;
            ThumbOf(width, maxScroll, thumbLeft, thumbSize);
            if (message == kWmMouseMove) {
                // The held thumb follows the pointer along the track.
                const int track = width - thumbSize;
                const int at = std::max(0, std::min(x - m_dragOffset, track));
                const int64_t pixels = track > 0 ? (static_cast<int64_t>(at) * maxScroll + track / 2) / track : 0;
                ScrollHorizontally(static_cast<int>(pixels) - m_hscroll);
            } else if (y >= textHeight) {
                // On the bar: the thumb is taken; beside it, a page towards the click.
                if (x >= thumbLeft && x < thumbLeft + thumbSize) {
                    m_dragging = true;
                    m_dragOffset = x - thumbLeft;
                } else {
                    ScrollHorizontally(x < thumbLeft ? -(width - 2 * kMargin) : width - 2 * kMargin);
                }
            }
            return false;
        }
        default: return true;
    }
}

int CLogWindow::LineWidth(size_t i) {
    if (m_widths[i] < 0) m_widths[i] = m_font ? TextWidth(*m_font, m_lines[i], &m_advances) : 0;
    return m_widths[i];
}

void CLogWindow::Layout(int width, int height, size_t& first, size_t& end, int& textHeight, int& maxScroll) {
    first = end = 0;
    textHeight = height;
    maxScroll = 0;
    if (!m_font || m_lineHeight <= 0 || width <= 0 || height <= 0) return;
    end = m_lines.size() - std::min(m_scroll, m_lines.size());
    // The lines that fit the whole height decide whether the bar is needed; with the bar
    // the view is one bar shorter.
    for (int pass = 0; pass < 2; ++pass) {
        const size_t visible = static_cast<size_t>(std::max(textHeight / m_lineHeight, 0));
        first = end > visible ? end - visible : 0;
        int widest = 0;
        for (size_t i = first; i < end; ++i) widest = std::max(widest, LineWidth(i));
        maxScroll = std::max(widest + 2 * kMargin - width, 0);
        if (maxScroll == 0 || textHeight < height) break;
        textHeight = std::max(height - kScrollBarHeight, 0);
    }
}

void CLogWindow::ThumbOf(int width, int maxScroll, int& left, int& size) const {
    const int64_t content = static_cast<int64_t>(width) + maxScroll;
    size = std::max(kMinThumb, static_cast<int>(static_cast<int64_t>(width) * width / std::max<int64_t>(content, 1)));
    size = std::min(size, width);
    const int track = width - size;
    left =
        maxScroll > 0 ? static_cast<int>(static_cast<int64_t>(track) * std::min(m_hscroll, maxScroll) / maxScroll) : 0;
}

void CLogWindow::ScrollHorizontally(int pixels) {
    int width = 0, height = 0;
    GetWindowSystem().GetClientSize(GetHandle(), width, height);
    size_t first = 0, end = 0;
    int textHeight = 0, maxScroll = 0;
    Layout(width, height, first, end, textHeight, maxScroll);
    const int64_t wanted = static_cast<int64_t>(m_hscroll) + pixels;
    const int next = static_cast<int>(std::max<int64_t>(0, std::min<int64_t>(wanted, maxScroll)));
    if (next == m_hscroll) return;
    m_hscroll = next;
    m_dirty = true;
    Redraw();
}

void CLogWindow::Print(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    PrintText(text);
}

void CLogWindow::SetTitle(const char* format, ...) {
    va_list args;
    va_start(args, format);
    m_title = FormatV(format, args);
    va_end(args);
    CWindow::SetTitle(m_title);
}

void CLogWindow::PrintText(const std::string& text) {
    const std::string utf8 = EmitLine(text);
    if (!HasWindow()) return;
    // Keep what the window shows: the text split at its line breaks.
    size_t start = 0;
    while (start <= utf8.size()) {
        size_t end = utf8.find('\n', start);
        if (end == std::string::npos) end = utf8.size();
        std::string part = utf8.substr(start, end - start);
        if (!part.empty() && part.back() == '\r') part.pop_back();
        m_lines.push_back(std::move(part));
        m_widths.push_back(-1);
        start = end + 1;
    }
    while (m_lines.size() > kMaxLines) {
        m_lines.pop_front();
        m_widths.pop_front();
    }
    // A new line scrolls the view to the end, and to the start of that new line.
    m_scroll = 0;
    m_hscroll = 0;
    m_dirty = true;
}

void CLogWindow::Refresh() {
    if (g_logWindow && g_logWindow->m_dirty) g_logWindow->Redraw();
}

void CLogWindow::Redraw() {
    if (!HasWindow() || !m_dirty) return;
    m_dirty = false;
    IWindowSystem& ws = GetWindowSystem();
    int width = 0, height = 0;
    ws.GetClientSize(GetHandle(), width, height);
    if (width <= 0 || height <= 0) return;
    m_pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), kBackground);
    size_t first = 0, end = 0;
    int textHeight = 0, maxScroll = 0;
    Layout(width, height, first, end, textHeight, maxScroll);
    // The view may have become narrower than the scroll (a resize, older lines in view).
    m_hscroll = std::min(m_hscroll, maxScroll);
    if (m_font && m_lineHeight > 0) {
        int y = 0;
        for (size_t i = first; i < end; ++i, y += m_lineHeight) {
            m_font->DrawText(m_lines[i], m_pixels.data(), width, textHeight, width, kMargin - m_hscroll, y,
                             kForeground);
        }
    }
    if (maxScroll > 0) {
        int thumbLeft = 0, thumbSize = 0;
        ThumbOf(width, maxScroll, thumbLeft, thumbSize);
        FillRect(m_pixels, width, 0, textHeight, width, height, kBarTrack);
        FillRect(m_pixels, width, thumbLeft, textHeight + 2, thumbLeft + thumbSize, height - 2, kBarThumb);
    }
    ws.PresentPixels(GetHandle(), m_pixels.data(), width, height, width * 4);
}

void LogPrintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    CLogWindow::GetInstance(kSwShowNoActivate)->PrintText(text);
}

const char* LogLevelName(ELogLevel level) {
    switch (level) {
        case ELogLevel::Error: return "error";
        case ELogLevel::Warning: return "warning";
        case ELogLevel::Note: break;
    }
    return "note";
}

void Log(ELogLevel level, const char* area, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    if (area && *area) text = std::string(area) + ": " + text;
    const std::string prefix = std::string("kestrin: ") + LogLevelName(level) + ": ";
    EmitLine(text, prefix.c_str());
}

void LogConsole(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    EmitLine(text);
}

}  // namespace kestrin
