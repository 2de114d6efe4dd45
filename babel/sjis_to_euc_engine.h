#ifndef BABEL_SJIS_TO_EUC_ENGINE_H
#define BABEL_SJIS_TO_EUC_ENGINE_H

#include "babel/bbl_translate_engine.h"

namespace babel {

// Shift_JIS to EUC-JP by JIS row and cell.
class sjis_to_euc_engine : public bbl_narrow_to_narrow {
protected:
    std::size_t translate_units(const input_unit* units, std::size_t n, writer& out) override;
};

}  // namespace babel

#endif
