#pragma once
// The initializer slots of an aggregate: one for each field, one for each element of an array
// field (brace elision). Tests compare it with the rows that serve a struct's fields, so that a
// field added without its row fails a test instead of going unnoticed.
#include <cstddef>
#include <type_traits>
#include <utility>

namespace kestrin_test {
namespace aggregate_detail {

// Converts to any field type; only ever named in unevaluated operands.
struct AnyField {
    template <class T>
    operator T() const;
};

template <class T, class Indexes, class = void>
struct Accepts : std::false_type {};
template <class T, std::size_t... I>
struct Accepts<T, std::index_sequence<I...>, std::void_t<decltype(T{(void(I), AnyField{})...})>> : std::true_type {};

template <class T, std::size_t N>
constexpr std::size_t CountSlots() {
    if constexpr (Accepts<T, std::make_index_sequence<N + 1>>::value) {
        return CountSlots<T, N + 1>();
    } else {
        return N;
    }
}

}  // namespace aggregate_detail

template <class T>
constexpr std::size_t AggregateSlots() {
    static_assert(std::is_aggregate_v<T>, "only an aggregate has initializer slots");
    return aggregate_detail::CountSlots<T, 0>();
}

}  // namespace kestrin_test
