#include "babel/bbl_iso2022jp.h"

namespace babel {

const char* const jis_mode_escape[4] = {"\x1B(B", "\x1B$B", "\x1B(I", "\x1B$(D"};
const std::size_t jis_mode_escape_length[4] = {3, 3, 3, 4};

}  // namespace babel
