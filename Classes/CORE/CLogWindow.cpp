#include "CORE/CLogWindow.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "CORE/DisplayText.h"
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
std::function<std::unique_ptr<ITextRasterizer>()>& RasterizerFactory() {
    static std::function<std::unique_ptr<ITextRasterizer>()> factory;
    return factory;
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

// Every line reaches the test sink (as given) and stderr (UTF-8); returns the UTF-8 text.
std::string EmitLine(const std::string& text) {
    if (LineSink()) LineSink()(text);
    std::string utf8 = GameTextToUtf8(text);
    std::string line = utf8;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    return utf8;
}

constexpr uint32_t kBackground = 0xFFFFFFu;
constexpr uint32_t kForeground = 0x000000u;
constexpr int kMargin = 2;
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

CLogWindow::CLogWindow() : m_lineHeight(kLineStep), m_scroll(0), m_dirty(false) {}

CLogWindow::~CLogWindow() = default;

void CLogWindow::SetLineSink(std::function<void(const std::string&)> sink) { LineSink() = std::move(sink); }

void CLogWindow::SetTextRasterizerFactory(std::function<std::unique_ptr<ITextRasterizer>()> factory) {
    RasterizerFactory() = std::move(factory);
}

void CLogWindow::SetWindowEnabled(bool enabled) {
    g_windowEnabled = enabled;
    g_windowTried = false;
}

void CLogWindow::OpenWindow(int showCommand) {
    if (g_windowTried || g_opening) return;
    g_windowTried = true;
    const char* env = std::getenv("KESTRIN_LOG_WINDOW");
    if (!g_windowEnabled || (env && std::strcmp(env, "0") == 0)) return;
    // Lines logged while the window part starts (a failing video driver) go to stderr only.
    g_opening = true;
    IWindowSystem& ws = GetWindowSystem();
    if (ws.HasDisplay() &&
        !Create(10, 10, 320, 480, "CLogWindow Instant", "", kWsOverlappedWindow, showCommand, 0)) {
        ws.SetAlwaysOnTop(GetHandle(), true);
    }
    g_opening = false;
}

bool CLogWindow::Create(int x, int y, int width, int height, const char* className, const char* title,
                        uint32_t style, int showCommand, WindowHandle parent) {
    height -= height % kLineStep;
    if (CWindow::Create(x, y, width, height, className, title, style, showCommand, parent)) return true;
    // The log is a tool window beside the game: it is never the main window.
    LeaveTopLevelList();
    m_font = RasterizerFactory() ? RasterizerFactory()() : MakeTextRasterizer();
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
            if (delta > 0) {
                m_scroll = std::min(m_scroll + 3, m_lines.size());
            } else if (delta < 0) {
                m_scroll = m_scroll > 3 ? m_scroll - 3 : 0;
            }
            m_dirty = true;
            Redraw();
            return false;
        }
        default:
            return true;
    }
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
        start = end + 1;
    }
    while (m_lines.size() > kMaxLines) m_lines.pop_front();
    m_scroll = 0;  // a new line scrolls the view to the end
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
    if (m_font && m_lineHeight > 0) {
        const size_t visible = static_cast<size_t>(height / m_lineHeight);
        const size_t end = m_lines.size() - std::min(m_scroll, m_lines.size());
        const size_t first = end > visible ? end - visible : 0;
        int y = 0;
        for (size_t i = first; i < end; ++i, y += m_lineHeight) {
            m_font->DrawText(m_lines[i], m_pixels.data(), width, height, width, kMargin, y, kForeground);
        }
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

void LogConsole(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    EmitLine(text);
}

}  // namespace kestrin
