#pragma once
// The log window: a process-wide sink for diagnostic lines and script traces.
// Every line also goes to stderr (UTF-8). Tests can capture lines through SetLineSink.
#include <functional>
#include <string>

namespace kestrin {

class CLogWindow {
public:
    static CLogWindow* GetInstance(int showCommand = 4);
    static void ReleaseInstance();

    virtual ~CLogWindow();

    // printf-style; the formatted text becomes one line of the log.
    void Print(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void SetTitle(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Appends text unchanged (no formatting) as one line.
    void PrintText(const std::string& text);

    // Receives every printed line (as given, before any encoding conversion); empty to stop.
    // Redraws the window part when lines arrived since the last call; the main loop calls it once a frame.
    static void Refresh();

    static void SetLineSink(std::function<void(const std::string&)> sink);

private:
    CLogWindow() = default;
    std::string m_title;
};

// Formats and logs one line through the log window.
void LogPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kestrin
