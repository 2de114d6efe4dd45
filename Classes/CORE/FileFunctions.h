#pragma once
// What the engine needs from the file system beyond reading files: a file's last-write
// time, the current directory, creating a file with its folders, and the current time.
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

namespace kestrin {

// Last-write time of a file in seconds since 1970 (0 when it cannot be read); out, when
// given, receives the local calendar fields (day of year and daylight flag 0).
int32_t GetFileUpdateTime(const std::string& path, std::tm* out);
void ChangeDirectory(const std::string& path);
// Creates the folders named before each '\' or '/' (failures ignored; a Shift_JIS
// character's 0x5C byte is no separator), then the file in mode "wb". True when the file
// cannot be created. With out the caller gets the open stream and closes it; without,
// the file is closed at once (left empty).
bool CreateFileWithDirectories(const std::string& path, std::FILE** out);
// Creates each folder level of a native ("/" separated) path before its last element;
// failures are ignored (a level may exist already). Those of a relative path are made below
// the current folder as CORE/FolderWalk.h says; an absolute path is taken as it is.
void MakeParentDirectories(const std::string& native);
// Seconds since 1970, also stored in out when given.
int32_t GetUnixTime(int32_t* out);

}  // namespace kestrin
