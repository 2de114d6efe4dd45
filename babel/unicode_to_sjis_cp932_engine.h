#ifndef BABEL_UNICODE_TO_SJIS_CP932_ENGINE_H
#define BABEL_UNICODE_TO_SJIS_CP932_ENGINE_H

#include "babel/bbl_translate_engine.h"

namespace babel {

// UTF-16 to Shift_JIS (code page 932).
class unicode_to_sjis_cp932_engine : public bbl_wide_to_narrow {
protected:
    std::size_t translate_units(const input_unit* units, std::size_t n, writer& out) override;
};

}  // namespace babel

#endif
