#pragma once
// The serialization archive. An object saves its fields as members under small integer
// keys; keyed members are found on load through an index of offsets, so a field that an
// older image lacks keeps the value the object already has. Members saved with key 0 are
// unindexed and read back strictly in order. Nested objects are length-prefixed images,
// containers a count and their elements (each with key 0), and values of types the archive
// does not know go to the registered ISerializerExtension objects.
//
// Image: int32 n, n pairs (int32 key, int32 offset from the image's first byte) in
// ascending key order, then the member bytes in saving order; everything little-endian.
//
// Images are outside data (saves are edited by players): every load checks counts and
// lengths against the bytes that remain, and a value that cannot be read leaves its
// destination unchanged.
#include <any>
#include <cstdint>
#include <deque>
#include <list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "CORE/CBinaryStream.h"
#include "CORE/ISerializable.h"
#include "CORE/ISerializerExtension.h"

namespace kestrin {

namespace serializer_detail {
template <class T, class = void>
struct IsContainer : std::false_type {};
template <class T>
struct IsContainer<
    T, std::void_t<typename T::value_type, typename T::const_iterator, decltype(std::declval<T&>().clear())>>
    : std::true_type {};
template <class T, class = void>
struct HasPushBack : std::false_type {};
template <class T>
struct HasPushBack<T, std::void_t<decltype(std::declval<T&>().push_back(std::declval<typename T::value_type>()))>>
    : std::true_type {};
template <class T>
struct IsPair : std::false_type {};
template <class A, class B>
struct IsPair<std::pair<A, B>> : std::true_type {};
template <class T>
struct IsOwningPointer : std::false_type {};
template <class T>
struct IsOwningPointer<std::unique_ptr<T>> : std::true_type {};
template <class T>
struct IsOwningPointer<std::shared_ptr<T>> : std::true_type {};
// The element a container load builds: map elements lose the const of their key.
template <class T>
struct Element {
    using type = T;
};
template <class A, class B>
struct Element<std::pair<const A, B>> {
    using type = std::pair<A, B>;
};
template <class T>
constexpr bool IsByte = std::is_same_v<T, bool> || std::is_same_v<T, char> || std::is_same_v<T, signed char> ||
                        std::is_same_v<T, unsigned char>;
template <class T>
constexpr bool IsInt = (std::is_integral_v<T> || std::is_enum_v<T>)&&!IsByte<T> && sizeof(T) == 4;
}  // namespace serializer_detail

// The int32 stored little-endian in the 4 bytes at bytes, as images and pack indexes hold it.
int32_t DecodeInt32(const unsigned char* bytes);

class CSerializer {
public:
    CSerializer();
    // The same with the index flag given: false only for the serializer that writes an
    // index block.
    static CSerializer CSerializerWithIndexFlag(bool indexed) { return CSerializer(indexed); }
    CSerializer(const CSerializer&) = delete;
    CSerializer& operator=(const CSerializer&) = delete;
    ~CSerializer();

    // Whole images.
    // Writes the index block in front (when indexed) and returns the image; null when
    // nothing was written. Call once, after the last member; the block belongs to us.
    CBinaryStream::CMemoryInfo* GetMemory();
    // Reads the caller's bytes (kept alive by the caller while loading).
    void Attach(const void* data, unsigned size);
    void Reset();
    CBinaryStream* GetStream() { return m_stream.get(); }

    // Members. Key 0 is unindexed.
    CSerializer* BeginMember(unsigned key, bool nested);
    void EndNested();
    // True when the member is absent (the position then does not move). For a nested
    // member the nested serializer (GetNested) is attached to its bytes.
    bool FindMember(unsigned key, bool nested);
    CSerializer* GetNested() { return m_nested.get(); }

    void WriteIndex();
    void LoadIndex();
    void SaveIndex(const std::unordered_map<uint32_t, int32_t>& index);
    void SaveIntPair(int32_t first, int32_t second);
    // True when the pair could not be read.
    bool LoadIntPair(std::pair<int32_t, int32_t>& pair);

    // Values. Every Save is (value, key), every Load (value out, key); a Load whose
    // member is absent or cannot be read leaves the value unchanged.
    void SaveInt(int32_t value, unsigned key);
    void LoadInt(int32_t& value, unsigned key);
    void LoadInt(uint32_t& value, unsigned key);
    void SaveByte(uint8_t value, unsigned key);
    void LoadByte(uint8_t& value, unsigned key);
    void LoadByte(bool& value, unsigned key);
    void LoadByte(char& value, unsigned key);
    void SaveString(const std::string& value, unsigned key);
    // The stored bytes up to the first zero byte; "" when the length cannot be read or
    // exceeds the bytes left.
    void LoadString(std::string& value, unsigned key);
    void SaveSerializable(const ISerializable& value, unsigned key);
    void LoadSerializable(ISerializable& value, unsigned key);
    // The variable tables save through their ISerializable part.
    void SaveVariables(const ISerializable& value, unsigned key) { SaveSerializable(value, key); }
    void LoadVariables(ISerializable& value, unsigned key) { LoadSerializable(value, key); }

    // Any supported value: 4-byte integers and enumerations, bool/char bytes, strings,
    // pairs, ISerializable objects, owned pointers to them (unique_ptr, shared_ptr or a raw
    // pointer that the container's owner deletes), containers of these, and anything
    // else as an extension value.
    template <class T>
    void SaveValue(const T& value, unsigned key);
    template <class T>
    void LoadValue(T& value, unsigned key);
    // Containers: int32 count, then each element with key 0 in iteration order. Load
    // clears the container (unless the member is absent) and adds elements: sequences at
    // the back, sets and maps by insertion (the first of duplicate keys stays). It stops
    // when the image holds no further element.
    template <class C>
    void SaveContainer(const C& container, unsigned key);
    template <class C>
    void LoadContainer(C& container, unsigned key);
    // Extension values: a nested object written by the first extension that accepts it
    // (empty when none does); the any holds a T*.
    template <class T>
    void SaveExtended(const T& value, unsigned key);
    template <class T>
    void LoadExtended(T& value, unsigned key);

    // The containers the engine saves, by name.
    // clang-format off
    void SaveStringMap(const std::map<std::string, std::string>& v, unsigned key) { SaveContainer(v, key); }
    void LoadStringMap(std::map<std::string, std::string>& v, unsigned key) { LoadContainer(v, key); }
    void SaveStringPair(const std::pair<const std::string, std::string>& v, unsigned key) { SaveValue(v, key); }
    void LoadStringPair(std::pair<std::string, std::string>& v, unsigned key) { LoadValue(v, key); }
    template <class Byte>
    void SaveByteSet(const std::set<Byte>& v, unsigned key) { SaveContainer(v, key); }
    template <class Byte>
    void LoadByteSet(std::set<Byte>& v, unsigned key) { LoadContainer(v, key); }
    template <class Map>
    void SaveStringHashMap(const Map& v, unsigned key) { SaveContainer(v, key); }
    template <class Map>
    void LoadStringHashMap(Map& v, unsigned key) { LoadContainer(v, key); }
    template <class List>
    void SaveVariablesPtrList(const List& v, unsigned key) { SaveContainer(v, key); }
    template <class List>
    void LoadVariablesPtrList(List& v, unsigned key) { LoadContainer(v, key); }
    template <class Ptr>
    void SaveVariablesPtr(const Ptr& v, unsigned key) { SaveValue(v, key); }
    template <class Ptr>
    void LoadVariablesPtr(Ptr& v, unsigned key) { LoadValue(v, key); }
    template <class Block>
    void SaveScriptBlockDeque(const std::deque<Block>& v, unsigned key) { SaveContainer(v, key); }
    template <class Block>
    void LoadScriptBlockDeque(std::deque<Block>& v, unsigned key) { LoadContainer(v, key); }
    void SaveKeyConfigMap(const std::map<int, std::set<int>>& v, unsigned key) { SaveContainer(v, key); }
    void LoadKeyConfigMap(std::map<int, std::set<int>>& v, unsigned key) { LoadContainer(v, key); }
    void SaveKeySetPair(const std::pair<const int, std::set<int>>& v, unsigned key) { SaveValue(v, key); }
    void LoadKeySetPair(std::pair<int, std::set<int>>& v, unsigned key) { LoadValue(v, key); }
    void SaveIntSet(const std::set<int>& v, unsigned key) { SaveContainer(v, key); }
    void LoadIntSet(std::set<int>& v, unsigned key) { LoadContainer(v, key); }
    template <class Font>
    void SaveFontPropertyDequeDeque(const std::deque<std::deque<Font>>& v, unsigned key) { SaveContainer(v, key); }
    template <class Font>
    void LoadFontPropertyDequeDeque(std::deque<std::deque<Font>>& v, unsigned key) { LoadContainer(v, key); }
    template <class Font>
    void SaveFontPropertyDeque(const std::deque<Font>& v, unsigned key) { SaveContainer(v, key); }
    template <class Font>
    void LoadFontPropertyDeque(std::deque<Font>& v, unsigned key) { LoadContainer(v, key); }
    template <class Block>
    void SaveScriptBlockVectorDeque(const std::deque<std::vector<Block>>& v, unsigned key) { SaveContainer(v, key); }
    template <class Block>
    void LoadScriptBlockVectorDeque(std::deque<std::vector<Block>>& v, unsigned key) { LoadContainer(v, key); }
    template <class Block>
    void SaveScriptBlockVector(const std::vector<Block>& v, unsigned key) { SaveContainer(v, key); }
    template <class Block>
    void LoadScriptBlockVector(std::vector<Block>& v, unsigned key) { LoadContainer(v, key); }
    // Text tween records are written only by an extension.
    template <class Tween>
    void SaveTweenInfoVector(const std::vector<Tween>& v, unsigned key) { SaveContainer(v, key); }
    template <class Tween>
    void LoadTweenInfoVector(std::vector<Tween>& v, unsigned key) { LoadContainer(v, key); }
    template <class Tween>
    void SaveTweenInfoExtended(const Tween& v, unsigned key) { SaveExtended(v, key); }
    template <class Tween>
    void LoadTweenInfoExtended(Tween& v, unsigned key) { LoadExtended(v, key); }
    void SaveStringIntSetMap(const std::map<std::string, std::set<int>>& v, unsigned key) { SaveContainer(v, key); }
    void LoadStringIntSetMap(std::map<std::string, std::set<int>>& v, unsigned key) { LoadContainer(v, key); }
    template <class Icon>
    void SaveIconInfoMap(const std::map<std::string, Icon>& v, unsigned key) { SaveContainer(v, key); }
    template <class Icon>
    void LoadIconInfoMap(std::map<std::string, Icon>& v, unsigned key) { LoadContainer(v, key); }
    template <class Object>
    void SaveStringSerializablePair(const std::pair<const std::string, Object>& v, unsigned key) { SaveValue(v, key); }
    template <class Object>
    void LoadStringSerializablePair(std::pair<std::string, Object>& v, unsigned key) { LoadValue(v, key); }
    void SaveStringVector(const std::vector<std::string>& v, unsigned key) { SaveContainer(v, key); }
    void LoadStringVector(std::vector<std::string>& v, unsigned key) { LoadContainer(v, key); }
    template <class Caret>
    void SaveCaretDeque(const std::deque<Caret>& v, unsigned key) { SaveContainer(v, key); }
    template <class Caret>
    void LoadCaretDeque(std::deque<Caret>& v, unsigned key) { LoadContainer(v, key); }
    void SaveStringDeque(const std::deque<std::string>& v, unsigned key) { SaveContainer(v, key); }
    void LoadStringDeque(std::deque<std::string>& v, unsigned key) { LoadContainer(v, key); }
    template <class Tween>
    void SaveTweenInfoVectorMap(const std::map<std::string, std::vector<Tween>>& v, unsigned key) { SaveContainer(v, key); }
    template <class Tween>
    void LoadTweenInfoVectorMap(std::map<std::string, std::vector<Tween>>& v, unsigned key) { LoadContainer(v, key); }
    void SaveStringSet(const std::set<std::string>& v, unsigned key) { SaveContainer(v, key); }
    void LoadStringSet(std::set<std::string>& v, unsigned key) { LoadContainer(v, key); }
    template <class Glyph>
    void SaveGlyphInfoMap(const std::map<std::string, Glyph>& v, unsigned key) { SaveContainer(v, key); }
    template <class Glyph>
    void LoadGlyphInfoMap(std::map<std::string, Glyph>& v, unsigned key) { LoadContainer(v, key); }
    template <class Block>
    void SaveIntScriptBlockMap(const std::map<int, Block>& v, unsigned key) { SaveContainer(v, key); }
    template <class Block>
    void LoadIntScriptBlockMap(std::map<int, Block>& v, unsigned key) { LoadContainer(v, key); }
    template <class Object>
    void SaveIntSerializablePair(const std::pair<const int, Object>& v, unsigned key) { SaveValue(v, key); }
    template <class Object>
    void LoadIntSerializablePair(std::pair<int, Object>& v, unsigned key) { LoadValue(v, key); }
    template <class Block>
    void SaveScriptBlockVectorMap(const std::map<std::string, std::vector<Block>>& v, unsigned key) { SaveContainer(v, key); }
    template <class Block>
    void LoadScriptBlockVectorMap(std::map<std::string, std::vector<Block>>& v, unsigned key) { LoadContainer(v, key); }
    template <class Font>
    void SaveFontPropertyDequeMap(const std::map<std::string, std::deque<Font>>& v, unsigned key) { SaveContainer(v, key); }
    template <class Font>
    void LoadFontPropertyDequeMap(std::map<std::string, std::deque<Font>>& v, unsigned key) { LoadContainer(v, key); }
    template <class Block>
    void SaveScriptBlockMap(const std::map<std::string, Block>& v, unsigned key) { SaveContainer(v, key); }
    template <class Block>
    void LoadScriptBlockMap(std::map<std::string, Block>& v, unsigned key) { LoadContainer(v, key); }
    template <class Holder>
    void SaveKeyConfigExtended(const Holder& v, unsigned key) { SaveExtended(v, key); }
    template <class Holder>
    void LoadKeyConfigExtended(Holder& v, unsigned key) { LoadExtended(v, key); }
    // Pack indexes: entry name to (offset, size), and entry name to a serializable record.
    void LoadEntryRangeHashMap(std::unordered_map<std::string, std::pair<int32_t, int32_t>>& v, unsigned key) {
        LoadContainer(v, key);
    }
    template <class Map>
    void LoadPackedFileHashMap(Map& v, unsigned key) { LoadContainer(v, key); }
    // clang-format on

    static std::vector<std::shared_ptr<ISerializerExtension>> Extensions;

private:
    explicit CSerializer(bool indexed);
    // Raw little-endian access at the current position; reads return true on failure.
    void WriteInt32(int32_t value);
    bool ReadInt32(int32_t& value);
    CSerializer* Nested();

    std::unique_ptr<CBinaryStream> m_stream;
    bool m_indexed = true;
    bool m_indexWritten = false;
    std::unique_ptr<CSerializer> m_nested;
    std::vector<unsigned char> m_readBuffer;
    std::unordered_map<uint32_t, int32_t> m_index;
};

// Takes ownership of the extension and appends it to CSerializer::Extensions.
void RegisterSerializerExtension(std::shared_ptr<ISerializerExtension> extension);
void RegisterSerializerExtension(ISerializerExtension* extension);

template <class T>
void CSerializer::SaveValue(const T& value, unsigned key) {
    using namespace serializer_detail;
    if constexpr (std::is_same_v<T, std::string>) {
        SaveString(value, key);
    } else if constexpr (IsByte<T>) {
        SaveByte(static_cast<uint8_t>(value), key);
    } else if constexpr (IsInt<T>) {
        SaveInt(static_cast<int32_t>(value), key);
    } else if constexpr (IsPair<std::remove_cv_t<T>>::value) {
        BeginMember(key, false);
        SaveValue(value.first, 0);
        SaveValue(value.second, 0);
    } else if constexpr (std::is_base_of_v<ISerializable, T>) {
        SaveSerializable(value, key);
    } else if constexpr (IsOwningPointer<T>::value || std::is_pointer_v<T>) {
        CSerializer* nested = BeginMember(key, true);
        if (value) const_cast<ISerializable&>(static_cast<const ISerializable&>(*value)).Save(nested);
        EndNested();
    } else if constexpr (IsContainer<T>::value) {
        SaveContainer(value, key);
    } else {
        SaveExtended(value, key);
    }
}

template <class T>
void CSerializer::LoadValue(T& value, unsigned key) {
    using namespace serializer_detail;
    if constexpr (std::is_same_v<T, std::string>) {
        LoadString(value, key);
    } else if constexpr (IsByte<T>) {
        uint8_t b = static_cast<uint8_t>(value);
        LoadByte(b, key);
        value = static_cast<T>(b);
    } else if constexpr (IsInt<T>) {
        int32_t v = static_cast<int32_t>(value);
        LoadInt(v, key);
        value = static_cast<T>(v);
    } else if constexpr (IsPair<T>::value) {
        if (FindMember(key, false)) return;
        LoadValue(value.first, 0);
        LoadValue(value.second, 0);
    } else if constexpr (std::is_base_of_v<ISerializable, T>) {
        LoadSerializable(value, key);
    } else if constexpr (IsOwningPointer<T>::value) {
        if (FindMember(key, true)) return;
        value.reset(new typename T::element_type());
        value->Load(GetNested());
    } else if constexpr (std::is_pointer_v<T>) {
        if (FindMember(key, true)) return;
        value = new std::remove_pointer_t<T>();
        value->Load(GetNested());
    } else if constexpr (IsContainer<T>::value) {
        LoadContainer(value, key);
    } else {
        LoadExtended(value, key);
    }
}

template <class C>
void CSerializer::SaveContainer(const C& container, unsigned key) {
    BeginMember(key, false);
    int32_t count = 0;
    for (auto it = container.begin(); it != container.end(); ++it) ++count;
    WriteInt32(count);
    for (const auto& element : container) SaveValue(element, 0);
}

template <class C>
void CSerializer::LoadContainer(C& container, unsigned key) {
    if (FindMember(key, false)) return;
    container.clear();
    int32_t count = 0;
    if (ReadInt32(count)) return;
    for (int32_t i = 0; i < count; ++i) {
        // Every element occupies at least one byte: once a load no longer advances, the
        // image holds no further element, whatever the count claims.
        uint32_t before = m_stream->GetPosition();
        typename serializer_detail::Element<typename C::value_type>::type element{};
        LoadValue(element, 0);
        if (m_stream->GetPosition() == before) {
            if constexpr (std::is_pointer_v<decltype(element)>) delete element;
            break;
        }
        if constexpr (serializer_detail::HasPushBack<C>::value) {
            container.push_back(std::move(element));
        } else {
            // Saved in key order: the end is the right place for an ordered container.
            container.insert(container.end(), std::move(element));
        }
    }
}

template <class T>
void CSerializer::SaveExtended(const T& value, unsigned key) {
    CSerializer* nested = BeginMember(key, true);
    std::any held(const_cast<T*>(&value));
    for (const auto& extension : Extensions) {
        if (extension && extension->Save(nested, held)) break;
    }
    EndNested();
}

template <class T>
void CSerializer::LoadExtended(T& value, unsigned key) {
    if (FindMember(key, true)) return;
    std::any held(&value);
    for (const auto& extension : Extensions) {
        if (extension && extension->Load(GetNested(), held)) break;
    }
}

}  // namespace kestrin
