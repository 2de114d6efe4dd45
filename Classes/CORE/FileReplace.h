#pragma once
// Writing a whole file so that a crash, a kill or a full disk at any moment leaves either
// the old contents or the new ones, never a torn or empty file: the bytes go to a
// temporary file in the same folder, which is synced and then renamed over the old one.
#include <cstddef>
#include <string>

namespace kestrin {

// Creates the missing folders of path (a game name: "\" or "/" separated), then replaces
// the file with size bytes of data. True on failure, with a description in error (when
// given); the old file is then untouched and no temporary file is left behind.
bool ReplaceFileContents(const std::string& path, const void* data, size_t size, std::string* error);

}  // namespace kestrin
