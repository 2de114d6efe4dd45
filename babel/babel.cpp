#include "babel/babel.h"

#include <algorithm>
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

// One fresh engine per call. `reserve` bounds the output size (or nearly), so
// the output is allocated once and written once.
template <class Engine>
typename Engine::output_string run(const typename Engine::input_string& text, std::size_t reserve) {
    Engine engine;
    engine.output.reserve(reserve);
    engine.convert(text);
    return std::move(engine.output);
}

// Input is passed along a chain of engines in slices of this many units, so
// the intermediate strings stay small; each stage converts text fed in
// pieces exactly as it would in one piece.
constexpr std::size_t kSlice = 16 * 1024;

template <class From, class To>
void pass_on(From& from, To& to) {
    to.feed(from.output.data(), from.output.size());
    from.output.clear();
}

template <class First, class Second>
typename Second::output_string chain(const typename First::input_string& text, std::size_t reserve) {
    First first;
    Second second;
    second.output.reserve(reserve);
    for (std::size_t at = 0; at < text.size(); at += kSlice) {
        first.feed(text.data() + at, std::min(kSlice, text.size() - at));
        pass_on(first, second);
    }
    first.flush();
    pass_on(first, second);
    second.flush();
    return std::move(second.output);
}

template <class First, class Second, class Third>
typename Third::output_string chain(const typename First::input_string& text, std::size_t reserve) {
    First first;
    Second second;
    Third third;
    third.output.reserve(reserve);
    for (std::size_t at = 0; at < text.size(); at += kSlice) {
        first.feed(text.data() + at, std::min(kSlice, text.size() - at));
        pass_on(first, second);
        pass_on(second, third);
    }
    first.flush();
    pass_on(first, second);
    second.flush();
    pass_on(second, third);
    third.flush();
    return std::move(third.output);
}

}  // namespace

// Reserves are upper bounds where they are small multiples of the input
// (a reserve only takes address space until written).
std::string sjis_to_euc(const std::string& text) { return run<sjis_to_euc_engine>(text, text.size() * 2); }
std::string sjis_to_jis(const std::string& text) { return run<sjis_to_jis_engine>(text, text.size() * 2 + 16); }
std::string euc_to_sjis(const std::string& text) { return run<euc_to_sjis_engine>(text, text.size()); }
std::string euc_to_jis(const std::string& text) { return run<euc_to_jis_engine>(text, text.size() + 16); }
std::string jis_to_sjis(const std::string& text) { return run<jis_to_sjis_engine>(text, text.size()); }
std::string jis_to_euc(const std::string& text) { return run<jis_to_euc_engine>(text, text.size()); }

std::u16string sjis_cp932_to_unicode(const std::string& text) {
    return run<sjis_cp932_to_unicode_engine>(text, text.size());
}
std::string unicode_to_sjis_cp932(const std::u16string& text) {
    return run<unicode_to_sjis_cp932_engine>(text, text.size() * 2);
}
std::u16string euc_to_unicode(const std::string& text) { return run<euc_to_unicode_engine>(text, text.size()); }
std::string unicode_to_euc(const std::u16string& text) { return run<unicode_to_euc_engine>(text, text.size() * 3); }
std::u16string utf8_to_unicode(const std::string& text) { return run<utf8_to_unicode_engine>(text, text.size()); }
std::string unicode_to_utf8(const std::u16string& text) { return run<unicode_to_utf8_engine>(text, text.size() * 3); }

std::u16string jis_to_unicode(const std::string& text) {
    return chain<jis_to_euc_engine, euc_to_unicode_engine>(text, text.size());
}
std::string sjis_to_utf8(const std::string& text) {
    return chain<sjis_cp932_to_unicode_engine, unicode_to_utf8_engine>(text, text.size() * 3);
}
std::string euc_to_utf8(const std::string& text) {
    return chain<euc_to_unicode_engine, unicode_to_utf8_engine>(text, text.size() * 2);
}
std::string jis_to_utf8(const std::string& text) {
    return chain<jis_to_euc_engine, euc_to_unicode_engine, unicode_to_utf8_engine>(text, text.size() * 2);
}
std::string utf8_to_sjis(const std::string& text) {
    return chain<utf8_to_unicode_engine, unicode_to_sjis_cp932_engine>(text, text.size());
}
std::string utf8_to_euc(const std::string& text) {
    return chain<utf8_to_unicode_engine, unicode_to_euc_engine>(text, text.size() + text.size() / 2);
}
std::string utf8_to_jis(const std::string& text) {
    return chain<utf8_to_unicode_engine, unicode_to_euc_engine, euc_to_jis_engine>(text, text.size() + 16);
}

void init_maps() {}

}  // namespace babel
