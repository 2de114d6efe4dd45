#pragma once
// From the file names games use to the native paths of this system. Scripts and archives
// name files with "\" (sometimes "/"), in any letter case, in Shift_JIS; games unpacked
// here may hold their files under either the Shift_JIS or the UTF-8 form of a name.
#include <string>
#include <vector>

namespace kestrin {

// "\" to "/" (a 0x5C that is the second byte of a Shift_JIS character stays).
std::string ToNativeSeparators(const std::string& name);
// Splits at sep without cutting multibyte characters: UTF-8 text is split at every sep,
// other text Shift_JIS-aware. Empty pieces are kept.
std::vector<std::string> SplitPathElements(const std::string& name, char sep);
// The form two names are compared in when letter case does not matter: "A"-"Z" lowered,
// Shift_JIS double-byte characters kept whole.
std::string FoldFileName(const std::string& name);

// Finds the existing native path a game file name stands for: the name as it is first,
// then each folder level matched without regard to letter case (and in its UTF-8 form).
// True when nothing matches; native is left untouched then.
bool ResolveGamePath(const std::string& name, std::string& native);
// As ResolveGamePath for the levels that exist; the rest of the name is kept as given.
// Used to create files and folders without making a second spelling of an existing one.
std::string ResolveGamePathForWrite(const std::string& name);
// Forgets the cached folder listings.
void ClearGamePathCache();

}  // namespace kestrin
