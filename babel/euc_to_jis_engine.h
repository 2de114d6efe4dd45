#ifndef BABEL_EUC_TO_JIS_ENGINE_H
#define BABEL_EUC_TO_JIS_ENGINE_H

#include "babel/bbl_translate_engine.h"

namespace babel {

// EUC-JP to ISO-2022-JP.
class euc_to_jis_engine : public bbl_narrow_to_narrow {
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
