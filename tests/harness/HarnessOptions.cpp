#include "HarnessOptions.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace kestrin_harness {

namespace {

bool ParseUnsigned(const std::string& text, uint32_t& out) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
    if (value > 0xFFFFFFFFull) return false;
    out = static_cast<uint32_t>(value);
    return true;
}

bool ParseInt(const std::string& text, int& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || value < -1000000 || value > 1000000) return false;
    out = static_cast<int>(value);
    return true;
}

}  // namespace

const char kUsage[] =
    "usage: kestrin-harness GAME [--frames N] [--input FILE] [--trace FILE] [--dump-vars FILE]\n"
    "                            [--screenshot FRAME:FILE.png]... [--renderer software|hardware]\n"
    "                            [--unix-time N] [--audio-out FILE.wav] [--save-dir DIR] [--timeout S]\n"
    "       kestrin-harness --help\n";

bool ParseCommandLine(int argc, char** argv, SOptions& out, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            into = argv[++i];
            return true;
        };
        std::string text;
        if (arg == "--help" || arg == "-h") {
            out.help = true;
            return false;
        }
        if (arg == "--frames") {
            if (!value(text)) return true;
            if (!ParseUnsigned(text, out.frames)) {
                error = "--frames needs a number: " + text;
                return true;
            }
        } else if (arg == "--timeout") {
            if (!value(text)) return true;
            if (!ParseUnsigned(text, out.timeoutSeconds) || out.timeoutSeconds == 0) {
                error = "--timeout needs a number of seconds above 0: " + text;
                return true;
            }
        } else if (arg == "--input") {
            if (!value(out.inputFile)) return true;
        } else if (arg == "--trace") {
            if (!value(out.traceFile)) return true;
        } else if (arg == "--dump-vars") {
            if (!value(out.dumpVarsFile)) return true;
        } else if (arg == "--screenshot") {
            if (!value(text)) return true;
            size_t colon = text.find(':');
            SScreenshot shot;
            if (colon == std::string::npos || !ParseUnsigned(text.substr(0, colon), shot.frame) ||
                colon + 1 >= text.size()) {
                error = "--screenshot needs FRAME:FILE.png: " + text;
                return true;
            }
            shot.file = text.substr(colon + 1);
            out.screenshots.push_back(shot);
        } else if (arg == "--audio-out") {
            if (!value(out.audioOutFile)) return true;
        } else if (arg == "--save-dir") {
            if (!value(out.saveDir)) return true;
        } else if (arg == "--renderer") {
            if (!value(text)) return true;
            if (text != "software" && text != "hardware") {
                error = "--renderer is software or hardware: " + text;
                return true;
            }
            out.hardware = text == "hardware";
        } else if (arg == "--unix-time") {
            if (!value(text)) return true;
            if (!ParseUnsigned(text, out.unixTime)) {
                error = "--unix-time needs seconds since 1970: " + text;
                return true;
            }
            out.setUnixTime = true;
        } else if (!arg.empty() && arg[0] == '-') {
            error = "unknown option " + arg;
            return true;
        } else if (out.game.empty()) {
            out.game = arg;
        } else {
            error = "more than one game: " + arg;
            return true;
        }
    }
    if (out.game.empty()) {
        error = "no game given";
        return true;
    }
    return false;
}

bool ParseInput(const std::string& text, std::vector<SInputEvent>& out, std::string& error) {
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        std::istringstream words(line);
        std::string frameText, kind;
        words >> frameText >> kind;
        SInputEvent event;
        auto fail = [&](const std::string& why) {
            error = "input line " + std::to_string(number) + ": " + why + ": " + line;
            return true;
        };
        if (!ParseUnsigned(frameText, event.frame)) return fail("bad frame number");
        std::string a, b, extra;
        if (kind == "click" || kind == "rclick" || kind == "tap" || kind == "move" || kind == "press" ||
            kind == "release") {
            event.kind = kind == "click"    ? SInputEvent::Click
                         : kind == "rclick" ? SInputEvent::RightClick
                         : kind == "tap"    ? SInputEvent::Tap
                         : kind == "move"   ? SInputEvent::Move
                         : kind == "press"  ? SInputEvent::Press
                                            : SInputEvent::Release;
            words >> a >> b;
            if (!ParseInt(a, event.x) || !ParseInt(b, event.y) || (words >> extra)) return fail("expected X Y");
        } else if (kind == "wheel") {
            event.kind = SInputEvent::Wheel;
            words >> a;
            // The window system turns at most 64 notches of one event into wheel messages.
            if (!ParseInt(a, event.notches) || event.notches == 0 || event.notches < -64 || event.notches > 64 ||
                (words >> extra)) {
                return fail("expected a number of notches, -64 to 64 and not 0");
            }
        } else if (kind == "key" || kind == "tapkey") {
            event.kind = kind == "key" ? SInputEvent::Key : SInputEvent::KeyTap;
            words >> a;
            if (!ParseInt(a, event.key) || event.key < 0 || event.key > 255 || (words >> extra)) {
                return fail("expected a virtual-key number 0-255");
            }
        } else if (kind == "text" || kind == "compose") {
            event.kind = kind == "text" ? SInputEvent::Text : SInputEvent::Compose;
            // The rest of the line after one blank, kept as written.
            size_t at = line.find(kind, line.find(frameText) + frameText.size());
            event.text = at + kind.size() < line.size() ? line.substr(at + kind.size() + 1) : std::string();
        } else if (kind == "dialog") {
            event.kind = SInputEvent::Dialog;
            words >> a;
            if ((a != "yes" && a != "no") || (words >> extra)) return fail("expected yes or no");
            event.yes = a == "yes";
        } else {
            return fail("unknown event");
        }
        out.push_back(event);
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const SInputEvent& l, const SInputEvent& r) { return l.frame < r.frame; });
    return false;
}

}  // namespace kestrin_harness
