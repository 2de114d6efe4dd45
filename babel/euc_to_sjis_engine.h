#ifndef BABEL_EUC_TO_SJIS_ENGINE_H
#define BABEL_EUC_TO_SJIS_ENGINE_H

#include "babel/bbl_translate_engine.h"

namespace babel {

// EUC-JP to Shift_JIS by JIS row and cell.
class euc_to_sjis_engine : public bbl_narrow_to_narrow {
protected:
    std::size_t translate_units(const input_unit* units, std::size_t n, writer& out) override;
};

}  // namespace babel

#endif
