#include "CORE/Platform/DbusValue.h"

namespace kestrin {

namespace {
// Deeper nesting than the bus allows is malformed.
constexpr int kMaxUnwrap = 64;
}  // namespace

DbusValue DbusValue::Bool(bool value) {
    DbusValue v;
    v.type = 'b';
    v.number = value ? 1 : 0;
    return v;
}

DbusValue DbusValue::Int32(int32_t value) {
    DbusValue v;
    v.type = 'i';
    v.number = static_cast<uint64_t>(static_cast<int64_t>(value));
    return v;
}

DbusValue DbusValue::Uint32(uint32_t value) {
    DbusValue v;
    v.type = 'u';
    v.number = value;
    return v;
}

DbusValue DbusValue::Uint64(uint64_t value) {
    DbusValue v;
    v.type = 't';
    v.number = value;
    return v;
}

DbusValue DbusValue::String(const std::string& value) {
    DbusValue v;
    v.type = 's';
    v.text = value;
    return v;
}

DbusValue DbusValue::ObjectPath(const std::string& value) {
    DbusValue v;
    v.type = 'o';
    v.text = value;
    return v;
}

DbusValue DbusValue::Struct(std::vector<DbusValue> fields) {
    DbusValue v;
    v.type = '(';
    v.items = std::move(fields);
    return v;
}

DbusValue DbusValue::Array(const std::string& elementSignature, std::vector<DbusValue> elements) {
    DbusValue v;
    v.type = 'a';
    v.text = elementSignature;
    v.items = std::move(elements);
    return v;
}

DbusValue DbusValue::DictEntry(DbusValue key, DbusValue value) {
    DbusValue v;
    v.type = '{';
    v.items.push_back(std::move(key));
    v.items.push_back(std::move(value));
    return v;
}

DbusValue DbusValue::Variant(DbusValue value) {
    DbusValue v;
    v.type = 'v';
    v.items.push_back(std::move(value));
    return v;
}

std::string DbusValue::Signature() const {
    switch (type) {
        case 0: return std::string();
        case 'a': return "a" + text;
        case '(': {
            std::string s = "(";
            for (const DbusValue& field : items) s += field.Signature();
            return s + ")";
        }
        case '{': {
            std::string s = "{";
            for (const DbusValue& field : items) s += field.Signature();
            return s + "}";
        }
        default: return std::string(1, type);
    }
}

const DbusValue& DbusValue::Unwrapped() const {
    const DbusValue* v = this;
    for (int depth = 0; v->type == 'v' && !v->items.empty() && depth < kMaxUnwrap; ++depth) v = &v->items[0];
    return *v;
}

const DbusValue* DbusValue::Item(size_t index) const {
    const DbusValue& v = Unwrapped();
    return index < v.items.size() ? &v.items[index] : nullptr;
}

bool DbusValue::GetString(std::string& out) const {
    const DbusValue& v = Unwrapped();
    if (v.type != 's' && v.type != 'o' && v.type != 'g') return false;
    out = v.text;
    return true;
}

bool DbusValue::GetUint32(uint32_t& out) const {
    const DbusValue& v = Unwrapped();
    if (v.type != 'u' && v.type != 'y' && v.type != 'q') return false;
    out = static_cast<uint32_t>(v.number);
    return true;
}

bool DbusValue::GetInt32(int32_t& out) const {
    const DbusValue& v = Unwrapped();
    if (v.type != 'i' && v.type != 'n') return false;
    out = static_cast<int32_t>(static_cast<int64_t>(v.number));
    return true;
}

bool DbusValue::GetBool(bool& out) const {
    const DbusValue& v = Unwrapped();
    if (v.type != 'b') return false;
    out = v.number != 0;
    return true;
}

}  // namespace kestrin
