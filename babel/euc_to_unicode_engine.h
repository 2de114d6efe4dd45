#ifndef BABEL_EUC_TO_UNICODE_ENGINE_H
#define BABEL_EUC_TO_UNICODE_ENGINE_H

#include "babel/bbl_translate_engine.h"

namespace babel {

// EUC-JP (with JIS X 0212) to UTF-16.
class euc_to_unicode_engine : public bbl_narrow_to_wide {
protected:
    std::size_t translate_units(const input_unit* units, std::size_t n, writer& out) override;
};

}  // namespace babel

#endif
