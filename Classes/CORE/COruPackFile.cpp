#include "CORE/COruPackFile.h"

namespace kestrin {

COruPackFile::~COruPackFile() = default;

CFile* COruPackFile::Clone(bool copyState) {
    COruPackFile* clone = new COruPackFile();
    if (copyState) clone->CopyFrom(*this);
    return clone;
}

}  // namespace kestrin
