#ifndef BABEL_UNICODE_TO_EUC_ENGINE_H
#define BABEL_UNICODE_TO_EUC_ENGINE_H

#include "babel/bbl_translate_engine.h"

namespace babel {

// UTF-16 to EUC-JP (with JIS X 0212).
class unicode_to_euc_engine : public bbl_wide_to_narrow {
protected:
    std::size_t translate_units(const input_unit* units, std::size_t n, writer& out) override;
};

}  // namespace babel

#endif
