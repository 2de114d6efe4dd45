#include "CORE/FileReplace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "CORE/FileFunctions.h"
#include "CORE/GamePath.h"
#include "CORE/Platform/IFileSystem.h"

namespace kestrin {

namespace {

bool Fail(std::string* error, const std::string& what, const std::string& path, int code) {
    if (error) {
        *error = what + " " + path;
        if (code != 0) {
            *error += ": ";
            *error += std::strerror(code);
        }
    }
    return true;
}

}  // namespace

bool ReplaceFileContents(const std::string& path, const void* data, size_t size, std::string* error) {
    IFileSystem* fs = GetFileSystem();
    std::string native = ResolveGamePathForWrite(path);
    if (native.empty()) return Fail(error, "cannot write an empty file name", path, 0);
    MakeParentDirectories(native);

    // One fixed temporary name per file: a leftover from a killed run is simply overwritten.
    std::string temporary = native + ".tmp";
    errno = 0;
    std::FILE* file = fs->OpenWrite(temporary);
    if (!file) return Fail(error, "cannot create", temporary, errno);
    errno = 0;
    bool failed = size != 0 && std::fwrite(data, 1, size, file) != size;
    int code = errno;
    if (!failed && fs->SyncFile(file)) {
        failed = true;
        code = errno;
    }
    if (std::fclose(file) != 0 && !failed) {
        failed = true;
        code = errno;
    }
    if (failed) {
        fs->RemoveFile(temporary);
        return Fail(error, "cannot write", temporary, code);
    }
    errno = 0;
    if (fs->RenameFile(temporary, native)) {
        code = errno;
        fs->RemoveFile(temporary);
        return Fail(error, "cannot replace", native, code);
    }
    return false;
}

}  // namespace kestrin
