#pragma once
// The file factory the screen hands to the image, sound and font loaders: pack files.
#include "CORE/CFileFactory.h"
#include "CORE/COruPackFile.h"

namespace kestrin {

class COruPackFileFactory : public CFileFactory {
public:
    CFile* Create() override { return new COruPackFile(); }
};

}  // namespace kestrin
