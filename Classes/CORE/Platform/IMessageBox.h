#pragma once
// Modal message boxes (the start-up errors, the screen-saver settings box, script dialogs).
// Works before any window exists. Text arrives in the game's encoding.
#include <string>

namespace kestrin {

// Box types and answers, numbered as the scripts and stored settings know them.
enum : int {
    kMessageBoxOk = 0x0,
    kMessageBoxYesNo = 0x4,
    kMessageBoxIconError = 0x10,
    kMessageBoxIconWarning = 0x30,
    kMessageBoxIconInformation = 0x40,
};
enum : int { kAnswerOk = 1, kAnswerYes = 6, kAnswerNo = 7 };

class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    // Shows text with caption; type is kMessageBoxOk or kMessageBoxYesNo, plus an icon
    // bit. Returns the answer; without a display, the default (OK, or No for yes/no).
    virtual int Show(const std::string& text, const std::string& caption, int type) = 0;
};

// The default answer of a box type when nobody can answer it.
inline int DefaultMessageBoxAnswer(int type) { return (type & 0xF) == kMessageBoxYesNo ? kAnswerNo : kAnswerOk; }

// The service in use: the one set last, else the SDL one.
IMessageBox* GetMessageBox();
// Installs a service (not owned); null goes back to the SDL one.
void SetMessageBox(IMessageBox* messageBox);

// Shortcut for GetMessageBox()->Show(...).
int ShowMessageBox(const std::string& text, const std::string& caption, int type);

}  // namespace kestrin
