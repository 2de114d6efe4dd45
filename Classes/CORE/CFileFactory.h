#pragma once
// Makes fresh closed file objects for loaders; derived factories make pack files.
#include "CORE/CFile.h"

namespace kestrin {

class CFileFactory {
public:
    virtual ~CFileFactory() = default;
    // A new closed file that the caller owns.
    virtual CFile* Create() { return new CFile(); }
};

}  // namespace kestrin
