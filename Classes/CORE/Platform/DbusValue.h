#pragma once
// One D-Bus value as a plain tree, so that input-method clients read and build messages
// without the bus library, and tests make them by hand.
#include <cstdint>
#include <string>
#include <vector>

namespace kestrin {

class DbusValue {
public:
    // The D-Bus type code: 'y' 'b' 'n' 'q' 'i' 'u' 'x' 't' 'd' 's' 'o' 'g' 'h', 'a' (array),
    // '(' (struct), '{' (dict entry), 'v' (variant); 0 is no value.
    char type = 0;
    // Integers (signed ones sign-extended) and booleans.
    uint64_t number = 0;
    double real = 0;
    // Strings, object paths and signatures; for an array, the signature of its elements.
    std::string text;
    // Array elements, struct fields, dict-entry key and value, the variant's one value.
    std::vector<DbusValue> items;

    static DbusValue Bool(bool value);
    static DbusValue Int32(int32_t value);
    static DbusValue Uint32(uint32_t value);
    static DbusValue Uint64(uint64_t value);
    static DbusValue String(const std::string& value);
    static DbusValue ObjectPath(const std::string& value);
    static DbusValue Struct(std::vector<DbusValue> fields);
    // elementSignature: the signature every element has (also when there is none).
    static DbusValue Array(const std::string& elementSignature, std::vector<DbusValue> elements);
    static DbusValue DictEntry(DbusValue key, DbusValue value);
    static DbusValue Variant(DbusValue value);

    // The value's type signature ("u", "(sa{sv}sv)", ...).
    std::string Signature() const;

    // Readers for values of unknown shape: the inner value past any variants, and the
    // item at index, or null when there is none.
    const DbusValue& Unwrapped() const;
    const DbusValue* Item(size_t index) const;
    // False (out untouched) when the value, past variants, is not of that kind.
    bool GetString(std::string& out) const;
    bool GetUint32(uint32_t& out) const;
    bool GetInt32(int32_t& out) const;
    bool GetBool(bool& out) const;
};

}  // namespace kestrin
