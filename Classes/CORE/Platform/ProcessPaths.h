#pragma once
// Where the process and the user's data live (native "/" paths).
#include <string>

namespace kestrin {

// Full path of the running executable; argv0 made absolute when the system cannot say.
std::string GetExecutablePath(const char* argv0);

// $XDG_DATA_HOME, else $HOME/.local/share (the home from the password database when
// HOME is unset); "" when neither is known.
std::string GetUserDataHome();

}  // namespace kestrin
