#include "babel/bbl_translate_engine.h"

namespace babel {

const std::string bbl_narrow_substitute = "?";
const std::u16string bbl_wide_substitute = u"?";

template class bbl_translate_engine<std::string, std::string>;
template class bbl_translate_engine<std::string, std::u16string>;
template class bbl_translate_engine<std::u16string, std::string>;

}  // namespace babel
