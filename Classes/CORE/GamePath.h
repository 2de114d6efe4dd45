#pragma once
// From the file names games use to the native paths of this system. Scripts and archives
// name files with "\" (sometimes "/"), in any letter case, in the game's encoding (see
// CGameFileNames.h); games unpacked here may hold the files of a Shift_JIS game under
// either the Shift_JIS or the UTF-8 form of a name.
#include <string>
#include <vector>

namespace kestrin {

// Finds the existing native path a game file name stands for: the name as it is first,
// then each folder level matched without regard to letter case (and in its UTF-8 form).
// True when nothing matches; native is left untouched then.
bool ResolveGamePath(const std::string& name, std::string& native);
// As ResolveGamePath for the levels that exist; the rest of the name is kept as given.
// Used to create files and folders without making a second spelling of an existing one.
std::string ResolveGamePathForWrite(const std::string& name);
// The entry names of the folder that holds an existing game file; true when the file is
// not found or its folder cannot be listed.
bool ListGameFolderOf(const std::string& name, std::vector<std::string>& names);
// Forgets the cached folder listings.
void ClearGamePathCache();
// A game file name made relative and clean: "\" to "/", "." and empty elements dropped,
// ".." applied. False for absolute names, drive letters and ".." that leaves the folder.
bool NormalizeFolderName(const std::string& name, std::string& out);

}  // namespace kestrin
