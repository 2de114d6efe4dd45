#pragma once
// The one way the engine goes down into the folders below a base folder to write or remove
// a file there: each level is entered from the one above it (IFolder::OpenSubfolder), so a
// symbolic link on the way is followed only when it belongs to the engine's user or to
// root. Links a game ships with keep working; one that another user planted in a folder he
// may write (a shared save folder) sends nothing elsewhere. The base folder itself is taken
// as it is: whoever chose it trusts it.
//
// A native path ("/" separated) has its base as follows: a relative one lies below the
// current folder (the game folder, or the save folder where a caller made that current),
// every level walked; an absolute one lies in its own folder, which is taken as it is.
#include <memory>
#include <string>
#include <vector>

namespace kestrin {

class IFolder;

// Splits nativePath into its base folder ("" is the current folder) and the part below it.
void SplitNativePath(const std::string& nativePath, std::string& folder, std::string& relative);
// The elements of a relative native path, empty ones too, split at raw '/' bytes (a native
// name is UTF-8, whose bytes must not be read as Shift_JIS).
std::vector<std::string> SplitNativeLevels(const std::string& relative);
// True when every level is a plain name: not empty, ".", or "..".
bool ArePlainLevels(const std::vector<std::string>& levels);

// Opens the folder nativeFolder ("" is the current folder), then each of levels in turn
// below it, making the missing ones when make is set. Null on failure, with a description
// in error (when given); a link refused on the way is also reported on stderr.
std::unique_ptr<IFolder> OpenFolderBelow(const std::string& nativeFolder, const std::vector<std::string>& levels,
                                         bool make, std::string* error);
// Removes the file at nativePath, its folders entered as above: the entry itself goes (a
// link, never what it points to), a folder never. True on failure, with a description in
// error (when given).
bool RemoveFileBelow(const std::string& nativePath, std::string* error);

}  // namespace kestrin
