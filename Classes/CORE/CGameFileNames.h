#pragma once
// The game's file names, read in the encoding the game declares ("ini.Charset": "utf-8"
// selects UTF-8, anything else Shift_JIS). Every step that looks at the bytes of a game
// file name (turning separators, folding letter case, splitting at folders) goes through
// here, so that a separator byte inside a multibyte character is never taken for one:
// 0x5C ('\') is the trail byte of Shift_JIS characters such as "ソ" and "能", while in
// UTF-8 every byte below 0x80 is a character of its own.
#include <string>
#include <vector>

namespace kestrin {

class CGameFileNames {
public:
    // kEncodingUtf8 or kEncodingShiftJis, from the running game's "ini.Charset".
    static int Encoding();

    // '\' to '/' (the native form) and '/' to '\' (the form archives and scripts use).
    static std::string ToNative(const std::string& name);
    static std::string ToGame(const std::string& name);
    // The pieces between separators, empty ones included (n separators, n + 1 pieces).
    static std::vector<std::string> Split(const std::string& name, char separator);
    // 'A' to 'Z' lowered: the form two names are compared in when case does not matter.
    static std::string Fold(const std::string& name);
    // ToGame, then Fold: what archive entries and archives are looked up by.
    static std::string Key(const std::string& name);
    // The name as UTF-8, the encoding of this system's file names, program arguments and
    // URLs; a Shift_JIS game's names are converted.
    static std::string ToUtf8(const std::string& name);

    // The same with the encoding given.
    static std::string ToNative(const std::string& name, int encoding);
    static std::string ToGame(const std::string& name, int encoding);
    static std::vector<std::string> Split(const std::string& name, char separator, int encoding);
    static std::string Fold(const std::string& name, int encoding);
    static std::string Key(const std::string& name, int encoding);
    static std::string ToUtf8(const std::string& name, int encoding);
};

}  // namespace kestrin
