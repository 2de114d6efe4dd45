#pragma once
// The engine's pack file class.
#include "CORE/CPackFile.h"

namespace kestrin {

class COruPackFile : public CPackFile {
public:
    COruPackFile() = default;
    ~COruPackFile() override;
    CFile* Clone(bool copyState) override;
};

}  // namespace kestrin
