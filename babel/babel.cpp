#include "babel/babel.h"

#include <utility>

#include "babel/euc_to_jis_engine.h"
#include "babel/euc_to_sjis_engine.h"
#include "babel/euc_to_unicode_engine.h"
#include "babel/jis_to_euc_engine.h"
#include "babel/jis_to_sjis_engine.h"
#include "babel/sjis_cp932_to_unicode_engine.h"
#include "babel/sjis_to_euc_engine.h"
#include "babel/sjis_to_jis_engine.h"
#include "babel/unicode_to_euc_engine.h"
#include "babel/unicode_to_sjis_cp932_engine.h"
#include "babel/unicode_to_utf8_engine.h"
#include "babel/utf8_to_unicode_engine.h"

namespace babel {

namespace {

// One fresh engine per call; `reserve` is a guess at the output size.
template <class Engine>
typename Engine::output_string run(const typename Engine::input_string& text, std::size_t reserve)
{
    Engine engine;
    engine.output.reserve(reserve);
    engine.convert(text);
    return std::move(engine.output);
}

} // namespace

std::string sjis_to_euc(const std::string& text) { return run<sjis_to_euc_engine>(text, text.size() + text.size() / 4); }
std::string sjis_to_jis(const std::string& text) { return run<sjis_to_jis_engine>(text, text.size() + 16); }
std::string euc_to_sjis(const std::string& text) { return run<euc_to_sjis_engine>(text, text.size()); }
std::string euc_to_jis(const std::string& text) { return run<euc_to_jis_engine>(text, text.size() + 16); }
std::string jis_to_sjis(const std::string& text) { return run<jis_to_sjis_engine>(text, text.size()); }
std::string jis_to_euc(const std::string& text) { return run<jis_to_euc_engine>(text, text.size()); }

std::u16string sjis_cp932_to_unicode(const std::string& text) { return run<sjis_cp932_to_unicode_engine>(text, text.size()); }
std::string unicode_to_sjis_cp932(const std::u16string& text) { return run<unicode_to_sjis_cp932_engine>(text, text.size() * 2); }
std::u16string euc_to_unicode(const std::string& text) { return run<euc_to_unicode_engine>(text, text.size()); }
std::string unicode_to_euc(const std::u16string& text) { return run<unicode_to_euc_engine>(text, text.size() * 2); }
std::u16string utf8_to_unicode(const std::string& text) { return run<utf8_to_unicode_engine>(text, text.size()); }
std::string unicode_to_utf8(const std::u16string& text) { return run<unicode_to_utf8_engine>(text, text.size() * 3); }

std::u16string jis_to_unicode(const std::string& text) { return euc_to_unicode(jis_to_euc(text)); }
std::string sjis_to_utf8(const std::string& text) { return unicode_to_utf8(sjis_cp932_to_unicode(text)); }
std::string euc_to_utf8(const std::string& text) { return unicode_to_utf8(euc_to_unicode(text)); }
std::string jis_to_utf8(const std::string& text) { return unicode_to_utf8(jis_to_unicode(text)); }
std::string utf8_to_sjis(const std::string& text) { return unicode_to_sjis_cp932(utf8_to_unicode(text)); }
std::string utf8_to_euc(const std::string& text) { return unicode_to_euc(utf8_to_unicode(text)); }
std::string utf8_to_jis(const std::string& text) { return euc_to_jis(utf8_to_euc(text)); }

void init_maps() {}

} // namespace babel
