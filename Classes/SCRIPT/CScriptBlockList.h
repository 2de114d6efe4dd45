#pragma once
// The blocks of one loaded script, stored compactly: a fixed-size record per block, one flat
// list of attributes (ordered by name within a block), the script's own text, which most
// text runs, labels and values are slices of, and one buffer for the rest (each tag and
// attribute name once, unescaped values, the blocks of inserted commands). A script of a
// million blocks is a handful of allocations. Blocks leave the list as CScriptBlock values.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "SCRIPT/CScriptBlock.h"

namespace kestrin {

// Leaves the elements a vector grows by unset (new char[] style): a script's text is read over
// them at once, and writing zeros over tens of megabytes first costs as much as reading them.
template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <typename U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

// A script's text as read from its file, zero-terminated once parsed.
using ScriptText = std::vector<char, UninitialisedAllocator<char>>;

class CScriptBlockList {
    struct Record;
    struct AttributeRecord;

public:
    // A view of one block; valid while the list lives and is not appended to.
    class Ref {
    public:
        Ref(const CScriptBlockList* list, size_t index) : m_list(list), m_index(index) {}

        int32_t GetKind() const;
        int32_t GetLine() const;
        std::string_view GetName() const;
        size_t GetAttributeCount() const;
        std::string_view GetAttributeName(size_t i) const;
        std::string_view GetAttributeValue(size_t i) const;
        bool HasAttribute(std::string_view name) const;
        // The value, or "" when absent.
        std::string_view GetAttribute(std::string_view name) const;
        // The block as a value of its own.
        CScriptBlock ToBlock() const;

        // Pointer-like access, so code written against a list of owned blocks reads the same.
        const Ref* operator->() const { return this; }
        CScriptBlock operator*() const { return ToBlock(); }
        explicit operator bool() const { return true; }

    private:
        const Record& Get() const;
        const CScriptBlockList* m_list;
        size_t m_index;
    };

    class Iterator {
    public:
        Iterator(const CScriptBlockList* list, size_t index) : m_list(list), m_index(index) {}
        Ref operator*() const { return Ref(m_list, m_index); }
        Iterator& operator++() {
            ++m_index;
            return *this;
        }
        bool operator!=(const Iterator& other) const { return m_index != other.m_index; }
        bool operator==(const Iterator& other) const { return m_index == other.m_index; }

    private:
        const CScriptBlockList* m_list;
        size_t m_index;
    };

    CScriptBlockList() = default;
    CScriptBlockList(CScriptBlockList&& other) noexcept;
    CScriptBlockList& operator=(CScriptBlockList&& other) noexcept;
    CScriptBlockList(const CScriptBlockList&) = delete;
    CScriptBlockList& operator=(const CScriptBlockList&) = delete;
    ~CScriptBlockList();

    // A list still being parsed reads as the whole script: asking for its size or a block
    // past its end parses on as far as needed (which changes no block it holds already).
    size_t size() const {
        if (m_rest) Complete();
        return m_recordCount;
    }
    bool empty() const { return !HasBlock(0); }
    Ref operator[](size_t index) const {
        if (index >= m_recordCount && m_rest) HasBlock(index);
        return Ref(this, index);
    }
    Iterator begin() const { return Iterator(this, 0); }
    Iterator end() const { return Iterator(this, size()); }
    void clear();

    // A big script is parsed as far as the game reads it and the rest a slice at a time
    // between frames. The rest is given this list and how many bytes of text to parse at
    // least; it appends their blocks and says whether any text is left.
    using Rest = std::function<bool(CScriptBlockList&, size_t)>;
    static constexpr size_t kSliceBytes = 64 * 1024;
    void SetRest(Rest rest) { m_rest = std::move(rest); }
    bool IsPartial() const { return static_cast<bool>(m_rest); }
    // Parses about this much more of the text; false once the whole script is parsed.
    bool ParseMore(size_t bytes = kSliceBytes);
    // Whether the block is there, parsing on as far as it if need be; unlike size(), this
    // leaves the rest of a big script for later.
    bool HasBlock(size_t index) const;

    // Takes the script's text (zero-terminated), which blocks added later may refer to; only
    // into an empty list (false otherwise, and the text is left alone).
    bool AdoptSource(ScriptText& text);
    const char* GetSource() const { return m_source.empty() ? nullptr : m_source.data(); }
    // Room for a script of about this many bytes of text, so that building it rarely grows.
    void Reserve(size_t textBytes);
    // Copies text into the buffer and returns its offset; Add* take offsets and sizes from it.
    uint32_t AddText(std::string_view text);
    // Copies an attribute or tag name into the buffer and returns its number (callers intern).
    uint32_t AddName(std::string_view name);
    uint32_t GetNameOffset(uint32_t number) const { return m_names[number].offset; }
    // Whether AddName took this name: every tag and attribute name of the list is one of them.
    bool HasName(std::string_view name) const;
    // The offset of a block name or attribute value: where it stands in the script's text when
    // verbatim points at an unchanged copy of it there (null: it is not), otherwise a copy's.
    uint32_t PlaceName(std::string_view text, const char* verbatim);
    uint32_t PlaceValue(std::string_view text, const char* verbatim);
    // Appends a block whose name was added with AddText. Its attributes follow with AddAttribute,
    // in name order, names unique.
    void AddBlock(int32_t kind, int32_t line, uint32_t nameOffset, uint32_t nameSize);
    void AddAttribute(uint32_t nameNumber, uint32_t valueOffset, uint32_t valueSize);
    // Empties the value of the named attribute of a block (its text stays in the buffer).
    void ClearAttributeValue(size_t index, std::string_view name);
    // Gives back the room that Reserve took and building did not use.
    void Trim();

    // The index of the label block of that name (of a name given twice, the later label), or
    // -1. The labels are indexed by the first call, so that a game starts without waiting for
    // the index of a big script it has not jumped into yet.
    int64_t FindLabel(std::string_view name);

    // Heap bytes held (records, attributes, the script's text and the buffer).
    size_t GetHeapBytes() const;
    size_t GetTextBytes() const { return m_textSize; }
    size_t GetSourceBytes() const { return m_source.size(); }

private:
    struct Record {
        uint32_t nameOffset;
        uint32_t nameSize : 30;
        uint32_t kind : 2;
        int32_t line;
        uint32_t attributeEnd;  // one past its last attribute; the previous block's end is its first
    };
    // Fields too small for their number are saturated: AddText stores the size of every long
    // text in the four bytes before it, and m_farNames holds the name numbers that do not fit.
    struct AttributeRecord {
        uint32_t valueOffset;
        uint16_t valueSize;
        uint16_t name;
    };
    struct NameRecord {
        uint32_t offset;
        uint32_t size;
    };
    struct FarName {
        uint32_t attribute;
        uint32_t name;
    };

    // Grows a malloc'd array to at least count elements (realloc moves large ones by remapping).
    static void* Grow(void* data, size_t& capacity, size_t count, size_t elementSize);
    std::string_view TextAt(uint32_t offset, uint32_t size, uint32_t saturated) const;
    uint32_t Place(std::string_view text, const char* verbatim, uint32_t limit);
    uint32_t AttributeBegin(size_t index) const { return index ? m_records[index - 1].attributeEnd : 0; }
    std::string_view AttributeName(uint32_t i) const;
    std::string_view AttributeValue(uint32_t i) const;
    void Release();
    void IndexLabels();
    void Complete() const;

    // Offsets below its size are in the script's text, the others in m_text after it.
    ScriptText m_source;
    Record* m_records = nullptr;
    size_t m_recordCount = 0, m_recordCapacity = 0;
    AttributeRecord* m_attributes = nullptr;
    size_t m_attributeCount = 0, m_attributeCapacity = 0;
    std::vector<NameRecord> m_names;
    std::vector<FarName> m_farNames;  // in attribute order
    char* m_text = nullptr;
    size_t m_textSize = 0, m_textCapacity = 0;
    // Open addressing by the hash of the name, a power of two long: 0, or the hash's upper half
    // above the label block's index + 1.
    std::vector<uint64_t> m_labelSlots;
    bool m_labelsIndexed = false;
    // The parse of the rest of the text, while any is left.
    Rest m_rest;
};

}  // namespace kestrin
