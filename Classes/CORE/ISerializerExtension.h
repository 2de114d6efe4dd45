#pragma once
// Saves and loads values of types the archive does not know itself. The any holds a
// pointer (T*) to the value to write or to fill; an extension tests the held type and
// returns false for types it does not handle.
#include <any>

namespace kestrin {

class CSerializer;

class ISerializerExtension {
public:
    virtual ~ISerializerExtension() = default;
    virtual bool Save(CSerializer* nested, std::any value) = 0;
    virtual bool Load(CSerializer* nested, std::any value) = 0;
};

}  // namespace kestrin
