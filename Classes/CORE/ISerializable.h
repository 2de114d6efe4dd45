#pragma once
// An object that the serialization archive can save and load as keyed members.
namespace kestrin {

class CSerializer;

class ISerializable {
public:
    virtual ~ISerializable() = default;
    // The serializer is the one whose image holds this object: the nested serializer for
    // an object stored as a member, the top-level one for the root object.
    virtual void Save(CSerializer* serializer) = 0;
    virtual void Load(CSerializer* serializer) = 0;
};

}  // namespace kestrin
