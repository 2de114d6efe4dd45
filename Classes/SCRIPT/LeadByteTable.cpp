#include "SCRIPT/LeadByteTable.h"

#include "CORE/StringHelpers.h"

namespace kestrin {

namespace {
struct Tables {
    uint8_t lead[4][256];
    Tables() {
        for (int e = 0; e < 4; ++e) {
            for (int b = 0; b < 256; ++b) {
                int trail = 0;
                bool isLead = e < 3 && IsLeadByte(static_cast<unsigned char>(b), &trail, e);
                lead[e][b] = isLead ? static_cast<uint8_t>(1 + trail) : 0;
            }
        }
    }
};
}  // namespace

const uint8_t* GetLeadByteTable(int encoding) {
    static const Tables tables;
    return tables.lead[encoding >= 0 && encoding < 3 ? encoding : 3];
}

}  // namespace kestrin
