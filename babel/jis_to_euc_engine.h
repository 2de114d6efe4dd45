#ifndef BABEL_JIS_TO_EUC_ENGINE_H
#define BABEL_JIS_TO_EUC_ENGINE_H

#include "babel/bbl_translate_engine.h"

namespace babel {

// ISO-2022-JP to EUC-JP.
class jis_to_euc_engine : public bbl_narrow_to_narrow {
public:
    void flush() override;
    void clear() override;

    // Current character set (see bbl_iso2022jp.h), kept across calls.
    int mode = 0;

protected:
    std::size_t translate_units(const input_unit* units, std::size_t n, writer& out) override;
};

}  // namespace babel

#endif
