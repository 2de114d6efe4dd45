#include "CORE/CLogWindow.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace kestrin {

namespace {
CLogWindow* g_logWindow = nullptr;
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
}  // namespace

CLogWindow* CLogWindow::GetInstance(int) {
    if (!g_logWindow) g_logWindow = new CLogWindow();
    return g_logWindow;
}

void CLogWindow::ReleaseInstance() {
    delete g_logWindow;
    g_logWindow = nullptr;
}

CLogWindow::~CLogWindow() = default;

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
}

void CLogWindow::PrintText(const std::string& text) {
    if (LineSink()) LineSink()(text);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
}

void CLogWindow::Refresh() {}

void CLogWindow::SetLineSink(std::function<void(const std::string&)> sink) { LineSink() = std::move(sink); }

void LogPrintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    CLogWindow::GetInstance(4)->PrintText(text);
}

}  // namespace kestrin
