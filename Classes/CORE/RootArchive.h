#pragma once
// The root pack archive: searched after loose files. Start-up sets it once the game is
// located; until then it names "root.pfs" in the current folder.
#include <string>

namespace kestrin {

extern std::string g_rootArchivePath;

}  // namespace kestrin
