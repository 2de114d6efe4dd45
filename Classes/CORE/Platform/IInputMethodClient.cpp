#include "CORE/Platform/IInputMethodClient.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "CORE/CLogWindow.h"
#include "CORE/Platform/Fcitx5InputMethodClient.h"
#include "CORE/Platform/IDbusConnection.h"
#include "CORE/Platform/IbusInputMethodClient.h"
#include "CORE/Platform/LibdbusConnection.h"

namespace kestrin {

namespace {

enum class EFramework { Ibus, Fcitx5 };

std::string Env(const EnvironmentLookup& lookup, const char* name) {
    const char* value = lookup ? lookup(name) : std::getenv(name);
    return value ? value : "";
}

// The frameworks to try, in order. SDL_IM_MODULE names one (anything else: none of ours, the
// player chose another); XMODIFIERS or GTK_IM_MODULE naming fcitx puts fcitx5 first.
std::vector<EFramework> Choice(const EnvironmentLookup& lookup) {
    const std::string module = Env(lookup, "SDL_IM_MODULE");
    if (!module.empty()) {
        if (module.compare(0, 5, "fcitx") == 0) return {EFramework::Fcitx5};
        if (module == "ibus") return {EFramework::Ibus};
        return {};
    }
    const bool fcitx = Env(lookup, "XMODIFIERS").find("@im=fcitx") != std::string::npos ||
                       Env(lookup, "GTK_IM_MODULE").compare(0, 5, "fcitx") == 0;
    if (fcitx) return {EFramework::Fcitx5, EFramework::Ibus};
    return {EFramework::Ibus, EFramework::Fcitx5};
}

int MillisecondsLeft(std::chrono::steady_clock::time_point start) {
    const auto spent =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    return static_cast<int>(IInputMethodClient::kOpenTimeoutMs - spent);
}

// Connects to the framework's bus and opens a context within the time; error says why not
// (empty when the framework does not run at all).
std::unique_ptr<IInputMethodClient> Connect(EFramework framework, const EnvironmentLookup& lookup, std::string& error) {
    const auto start = std::chrono::steady_clock::now();
    const bool ibus = framework == EFramework::Ibus;
    const std::string address =
        ibus ? IbusInputMethodClient::FindAddress(lookup) : Env(lookup, "DBUS_SESSION_BUS_ADDRESS");
    if (address.empty()) return nullptr;
    std::unique_ptr<LibdbusConnection> connection =
        LibdbusConnection::Open(address, IInputMethodClient::kOpenTimeoutMs, error);
    if (!connection) {
        // Without a session bus fcitx5 cannot run; an IBus address that leads nowhere is news.
        if (ibus)
            error = "IBus: " + error;
        else
            error.clear();
        return nullptr;
    }
    std::unique_ptr<IInputMethodClient> client;
    if (ibus) {
        client = std::make_unique<IbusInputMethodClient>(std::move(connection));
    } else {
        // Asking a bus for a name that nobody owns could start the program behind it.
        SDbusMessage owner{"org.freedesktop.DBus",
                           "/org/freedesktop/DBus",
                           "org.freedesktop.DBus",
                           "NameHasOwner",
                           {DbusValue::String("org.fcitx.Fcitx5")}};
        std::vector<DbusValue> reply;
        bool running = false;
        const int left = MillisecondsLeft(start);
        if (left <= 0 || connection->Call(owner, left, reply) != EDbusReply::Replied || reply.empty() ||
            !reply[0].GetBool(running) || !running) {
            return nullptr;
        }
        client = std::make_unique<Fcitx5InputMethodClient>(std::move(connection), Env(lookup, "DISPLAY"));
    }
    if (client->Open() || MillisecondsLeft(start) < 0) {
        error = std::string(client->GetName()) + " made no input context in time";
        return nullptr;
    }
    return client;
}

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::unique_ptr<IInputMethodClient> CreateSystemInputMethodClient(const EnvironmentLookup& lookup) {
    std::string error;
    for (EFramework framework : Choice(lookup)) {
        std::unique_ptr<IInputMethodClient> client = Connect(framework, lookup, error);
        if (client) {
            Log(ELogLevel::Note, "input method", "%s: the game draws the composition and the candidates",
                client->GetName());
            return client;
        }
        // A framework that runs but fails is the one the player uses: no other is tried.
        if (!error.empty()) break;
    }
    Log(ELogLevel::Note, "input method", "%s; SDL's text input is used",
        error.empty() ? "no input method answers" : error.c_str());
    return nullptr;
}

std::string TextOfKeysym(uint32_t keysym) {
    uint32_t c = 0;
    if ((keysym >= 0x20 && keysym <= 0x7E) || (keysym >= 0xA0 && keysym <= 0xFF)) {
        c = keysym;
    } else if (keysym >= 0x01000100 && keysym <= 0x0110FFFF) {
        c = keysym - 0x01000000;
        if (c >= 0xD800 && c <= 0xDFFF) return std::string();
    } else if (keysym >= 0xFFB0 && keysym <= 0xFFB9) {
        c = '0' + (keysym - 0xFFB0);  // the keypad's digits
    } else {
        // clang-format off
        static const uint32_t kKeypad[][2] = {
            {0xFF80, ' '}, {0xFFAA, '*'}, {0xFFAB, '+'}, {0xFFAC, ','}, {0xFFAD, '-'},
            {0xFFAE, '.'}, {0xFFAF, '/'}, {0xFFBD, '='},
        };
        // clang-format on
        for (const auto& k : kKeypad) {
            if (k[0] == keysym) c = k[1];
        }
        if (c == 0) return std::string();
    }
    std::string out;
    AppendUtf8(out, c);
    return out;
}

int VirtualKeyOfKeysym(uint32_t keysym) {
    if (keysym >= 'a' && keysym <= 'z') return static_cast<int>(keysym - 'a' + 65);
    if ((keysym >= 'A' && keysym <= 'Z') || (keysym >= '0' && keysym <= '9') || keysym == ' ')
        return static_cast<int>(keysym);
    if (keysym >= 0xFFBE && keysym <= 0xFFC9) return static_cast<int>(keysym - 0xFFBE + 112);  // F1 to F12
    if (keysym >= 0xFFB0 && keysym <= 0xFFB9) return static_cast<int>(keysym - 0xFFB0 + 96);   // keypad digits
    // clang-format off
    static const uint32_t kKeys[][2] = {
        {0xFF08, 8}, {0xFF09, 9}, {0xFF0D, 13}, {0xFF8D, 13}, {0xFF1B, 27}, {0xFF50, 36}, {0xFF51, 37},
        {0xFF52, 38}, {0xFF53, 39}, {0xFF54, 40}, {0xFF55, 33}, {0xFF56, 34}, {0xFF57, 35}, {0xFF63, 45},
        {0xFFFF, 46}, {0xFFE1, 16}, {0xFFE2, 16}, {0xFFE3, 17}, {0xFFE4, 17}, {0xFFE9, 18}, {0xFFEA, 18},
    };
    // clang-format on
    for (const auto& k : kKeys) {
        if (k[0] == keysym) return static_cast<int>(k[1]);
    }
    return 0;
}

std::string OpenInputContext(IDbusConnection& bus, const SDbusMessage& create, const std::string& contextInterface) {
    const auto start = std::chrono::steady_clock::now();
    auto left = [start] { return std::max(1, MillisecondsLeft(start)); };
    std::vector<DbusValue> reply;
    std::string context;
    if (bus.Call(create, left(), reply) != EDbusReply::Replied || reply.empty() || !reply[0].GetString(context) ||
        context.empty() || context[0] != '/') {
        return std::string();
    }
    // The frameworks send a context's signals to its owner; the rule also covers buses that
    // route by match rules only.
    const std::string rule = "type='signal',interface='" + contextInterface + "',path='" + context + "'";
    SDbusMessage match{
        "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "AddMatch", {DbusValue::String(rule)}};
    if (bus.Call(match, left(), reply) == EDbusReply::TimedOut) return std::string();
    return context;
}

}  // namespace kestrin
