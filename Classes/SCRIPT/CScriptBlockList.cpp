#include "SCRIPT/CScriptBlockList.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "CORE/Platform/MemoryAdvice.h"

namespace kestrin {

namespace {
// Texts at least this long carry their size in front of them.
constexpr uint32_t kLongText = 255;
constexpr uint32_t kMaxNameSize = (1u << 30) - 1;
constexpr uint32_t kMaxAttributeName = (1u << 16) - 1;
constexpr uint32_t kMaxAttributeValue = (1u << 16) - 1;
}  // namespace

// --- Ref ---

const CScriptBlockList::Record& CScriptBlockList::Ref::Get() const { return m_list->m_records[m_index]; }

int32_t CScriptBlockList::Ref::GetKind() const { return static_cast<int32_t>(Get().kind); }

int32_t CScriptBlockList::Ref::GetLine() const { return Get().line; }

std::string_view CScriptBlockList::Ref::GetName() const {
    const Record& r = Get();
    return m_list->TextAt(r.nameOffset, r.nameSize, kMaxNameSize);
}

size_t CScriptBlockList::Ref::GetAttributeCount() const { return Get().attributeEnd - m_list->AttributeBegin(m_index); }

std::string_view CScriptBlockList::Ref::GetAttributeName(size_t i) const {
    return m_list->AttributeName(m_list->AttributeBegin(m_index) + static_cast<uint32_t>(i));
}

std::string_view CScriptBlockList::Ref::GetAttributeValue(size_t i) const {
    return m_list->AttributeValue(m_list->AttributeBegin(m_index) + static_cast<uint32_t>(i));
}

bool CScriptBlockList::Ref::HasAttribute(std::string_view name) const {
    for (uint32_t i = m_list->AttributeBegin(m_index), e = Get().attributeEnd; i < e; ++i)
        if (m_list->AttributeName(i) == name) return true;
    return false;
}

std::string_view CScriptBlockList::Ref::GetAttribute(std::string_view name) const {
    for (uint32_t i = m_list->AttributeBegin(m_index), e = Get().attributeEnd; i < e; ++i)
        if (m_list->AttributeName(i) == name) return m_list->AttributeValue(i);
    return std::string_view();
}

CScriptBlock CScriptBlockList::Ref::ToBlock() const {
    const std::string_view name = GetName();
    CScriptBlock::AttributeMap attributes;
    // Stored in name order: each insertion goes at the end of the map.
    for (uint32_t i = m_list->AttributeBegin(m_index), e = Get().attributeEnd; i < e; ++i)
        attributes.emplace_hint(attributes.end(), std::string(m_list->AttributeName(i)),
                                std::string(m_list->AttributeValue(i)));
    return CScriptBlock(GetKind(), GetLine(), std::string(name), std::move(attributes));
}

// --- the list ---

CScriptBlockList::CScriptBlockList(CScriptBlockList&& other) noexcept { *this = std::move(other); }

CScriptBlockList& CScriptBlockList::operator=(CScriptBlockList&& other) noexcept {
    if (this == &other) return *this;
    Release();
    m_source = std::move(other.m_source);
    other.m_source.clear();
    m_records = std::exchange(other.m_records, nullptr);
    m_recordCount = std::exchange(other.m_recordCount, 0);
    m_recordCapacity = std::exchange(other.m_recordCapacity, 0);
    m_attributes = std::exchange(other.m_attributes, nullptr);
    m_attributeCount = std::exchange(other.m_attributeCount, 0);
    m_attributeCapacity = std::exchange(other.m_attributeCapacity, 0);
    m_names = std::move(other.m_names);
    other.m_names.clear();
    m_farNames = std::move(other.m_farNames);
    other.m_farNames.clear();
    m_text = std::exchange(other.m_text, nullptr);
    m_textSize = std::exchange(other.m_textSize, 0);
    m_textCapacity = std::exchange(other.m_textCapacity, 0);
    m_labelSlots = std::move(other.m_labelSlots);
    other.m_labelSlots.clear();
    m_labelsIndexed = std::exchange(other.m_labelsIndexed, false);
    m_rest = std::move(other.m_rest);
    other.m_rest = nullptr;
    return *this;
}

CScriptBlockList::~CScriptBlockList() { Release(); }

void CScriptBlockList::Release() {
    // The rest's parser points into the text.
    m_rest = nullptr;
    m_source = ScriptText();
    m_labelSlots = std::vector<uint64_t>();
    m_labelsIndexed = false;
    m_names = std::vector<NameRecord>();
    m_farNames = std::vector<FarName>();
    std::free(m_records);
    std::free(m_attributes);
    std::free(m_text);
    m_records = nullptr;
    m_attributes = nullptr;
    m_text = nullptr;
    m_recordCount = m_recordCapacity = m_attributeCount = m_attributeCapacity = m_textSize = m_textCapacity = 0;
}

void CScriptBlockList::clear() { Release(); }

bool CScriptBlockList::ParseMore(size_t bytes) {
    if (!m_rest) return false;
    // The rest moves the blocks through its parser and back: it must not be held here then.
    Rest rest = std::move(m_rest);
    m_rest = nullptr;
    if (rest(*this, bytes)) m_rest = std::move(rest);
    return IsPartial();
}

// Parsing on adds blocks and changes none that were there, so a const list may do it.
bool CScriptBlockList::HasBlock(size_t index) const {
    auto* self = const_cast<CScriptBlockList*>(this);
    while (index >= m_recordCount && self->ParseMore()) {
    }
    return index < m_recordCount;
}

void CScriptBlockList::Complete() const {
    auto* self = const_cast<CScriptBlockList*>(this);
    while (self->ParseMore(std::numeric_limits<size_t>::max())) {
    }
}

void* CScriptBlockList::Grow(void* data, size_t& capacity, size_t count, size_t elementSize) {
    if (count <= capacity) return data;
    size_t wanted = capacity < 64 ? 64 : capacity + capacity / 2;
    if (wanted < count) wanted = count;
    // Offsets and counts are 32-bit.
    if (wanted > std::numeric_limits<uint32_t>::max()) wanted = std::numeric_limits<uint32_t>::max();
    if (wanted < count) throw std::bad_alloc();
    void* grown = std::realloc(data, wanted * elementSize);
    if (!grown) throw std::bad_alloc();
    // A big script fills its arrays at once: huge pages spare most of their page faults.
    if (wanted * elementSize >= (size_t(4) << 20)) AdviseHugePages(grown, wanted * elementSize);
    capacity = wanted;
    return grown;
}

void CScriptBlockList::Reserve(size_t textBytes) {
    // A typical scenario has a block for every 20 to 40 bytes and fewer attributes than blocks;
    // untouched room of a large allocation costs address space only, and Trim gives it back.
    // Most text stays in the script's own; the buffer holds names and unescaped values.
    m_text = static_cast<char*>(Grow(m_text, m_textCapacity, textBytes / 64 + 4096, 1));
    m_records = static_cast<Record*>(Grow(m_records, m_recordCapacity, textBytes / 12 + 16, sizeof(Record)));
    m_attributes = static_cast<AttributeRecord*>(
        Grow(m_attributes, m_attributeCapacity, textBytes / 12 + 16, sizeof(AttributeRecord)));
}

void CScriptBlockList::Trim() {
    auto shrink = [](void* data, size_t& capacity, size_t count, size_t elementSize) {
        if (!data || count == capacity) return data;
        if (count == 0) {
            std::free(data);
            capacity = 0;
            return static_cast<void*>(nullptr);
        }
        void* shrunk = std::realloc(data, count * elementSize);
        if (!shrunk) return data;
        capacity = count;
        return shrunk;
    };
    m_records = static_cast<Record*>(shrink(m_records, m_recordCapacity, m_recordCount, sizeof(Record)));
    m_attributes = static_cast<AttributeRecord*>(
        shrink(m_attributes, m_attributeCapacity, m_attributeCount, sizeof(AttributeRecord)));
    m_text = static_cast<char*>(shrink(m_text, m_textCapacity, m_textSize, 1));
}

size_t CScriptBlockList::GetHeapBytes() const {
    return m_recordCapacity * sizeof(Record) + m_attributeCapacity * sizeof(AttributeRecord) + m_textCapacity +
           m_source.capacity() + m_names.capacity() * sizeof(NameRecord) + m_farNames.capacity() * sizeof(FarName) +
           m_labelSlots.capacity() * sizeof(uint64_t);
}

bool CScriptBlockList::AdoptSource(ScriptText& text) {
    if (m_recordCount || m_textSize || !m_source.empty() || text.size() >= kMaxNameSize) return false;
    m_source = std::move(text);
    text.clear();
    return true;
}

uint32_t CScriptBlockList::Place(std::string_view text, const char* verbatim, uint32_t limit) {
    // Inserted commands are parsed from texts of their own: only a slice of ours is referred to.
    const uintptr_t begin = reinterpret_cast<uintptr_t>(m_source.data());
    const uintptr_t at = reinterpret_cast<uintptr_t>(verbatim);
    if (verbatim && !m_source.empty() && at >= begin && at - begin < m_source.size() &&
        text.size() <= m_source.size() - (at - begin) && text.size() < limit)
        return static_cast<uint32_t>(at - begin);
    return AddText(text);
}

uint32_t CScriptBlockList::PlaceName(std::string_view text, const char* verbatim) {
    return Place(text, verbatim, kMaxNameSize);
}

uint32_t CScriptBlockList::PlaceValue(std::string_view text, const char* verbatim) {
    return Place(text, verbatim, kMaxAttributeValue);
}

uint32_t CScriptBlockList::AddText(std::string_view text) {
    const size_t prefix = text.size() >= kLongText ? sizeof(uint32_t) : 0;
    const size_t end = m_textSize + prefix + text.size();
    if (text.size() > std::numeric_limits<uint32_t>::max() ||
        m_source.size() + end > std::numeric_limits<uint32_t>::max())
        throw std::bad_alloc();
    m_text = static_cast<char*>(Grow(m_text, m_textCapacity, end, 1));
    if (prefix) {
        const uint32_t size = static_cast<uint32_t>(text.size());
        std::memcpy(m_text + m_textSize, &size, sizeof size);
    }
    const size_t offset = m_textSize + prefix;
    if (!text.empty()) std::memcpy(m_text + offset, text.data(), text.size());
    m_textSize = end;
    return static_cast<uint32_t>(m_source.size() + offset);
}

std::string_view CScriptBlockList::TextAt(uint32_t offset, uint32_t size, uint32_t saturated) const {
    if (offset < m_source.size()) return std::string_view(m_source.data() + offset, size);
    const char* text = m_text + (offset - m_source.size());
    if (size == saturated) std::memcpy(&size, text - sizeof size, sizeof size);
    return std::string_view(text, size);
}

uint32_t CScriptBlockList::AddName(std::string_view name) {
    const uint32_t offset = AddText(name);
    m_names.push_back(NameRecord{offset, static_cast<uint32_t>(name.size())});
    return static_cast<uint32_t>(m_names.size() - 1);
}

bool CScriptBlockList::HasName(std::string_view name) const {
    Complete();
    for (const NameRecord& record : m_names)
        if (TextAt(record.offset, record.size, kMaxNameSize) == name) return true;
    return false;
}

std::string_view CScriptBlockList::AttributeName(uint32_t i) const {
    uint32_t number = m_attributes[i].name;
    if (number == kMaxAttributeName) {
        auto it = std::lower_bound(m_farNames.begin(), m_farNames.end(), i,
                                   [](const FarName& far, uint32_t attribute) { return far.attribute < attribute; });
        number = it->name;
    }
    const NameRecord& name = m_names[number];
    return TextAt(name.offset, name.size, kMaxNameSize);
}

std::string_view CScriptBlockList::AttributeValue(uint32_t i) const {
    const AttributeRecord& a = m_attributes[i];
    return TextAt(a.valueOffset, a.valueSize, kMaxAttributeValue);
}

void CScriptBlockList::AddBlock(int32_t kind, int32_t line, uint32_t nameOffset, uint32_t nameSize) {
    m_records = static_cast<Record*>(Grow(m_records, m_recordCapacity, m_recordCount + 1, sizeof(Record)));
    Record& r = m_records[m_recordCount++];
    r.nameOffset = nameOffset;
    r.nameSize = nameSize < kMaxNameSize ? nameSize : kMaxNameSize;
    r.kind = static_cast<uint32_t>(kind) & 3u;
    r.line = line;
    r.attributeEnd = static_cast<uint32_t>(m_attributeCount);
    m_labelsIndexed = false;
}

void CScriptBlockList::AddAttribute(uint32_t nameNumber, uint32_t valueOffset, uint32_t valueSize) {
    if (m_recordCount == 0 || nameNumber >= m_names.size()) return;
    if (m_attributeCount >= std::numeric_limits<uint32_t>::max()) throw std::bad_alloc();
    m_attributes = static_cast<AttributeRecord*>(
        Grow(m_attributes, m_attributeCapacity, m_attributeCount + 1, sizeof(AttributeRecord)));
    const uint32_t index = static_cast<uint32_t>(m_attributeCount++);
    AttributeRecord& a = m_attributes[index];
    a.valueOffset = valueOffset;
    a.valueSize = static_cast<uint16_t>(valueSize < kMaxAttributeValue ? valueSize : kMaxAttributeValue);
    a.name = static_cast<uint16_t>(nameNumber < kMaxAttributeName ? nameNumber : kMaxAttributeName);
    if (nameNumber >= kMaxAttributeName) m_farNames.push_back(FarName{index, nameNumber});
    m_records[m_recordCount - 1].attributeEnd = static_cast<uint32_t>(m_attributeCount);
}

void CScriptBlockList::ClearAttributeValue(size_t index, std::string_view name) {
    if (index >= m_recordCount) return;
    for (uint32_t i = AttributeBegin(index), e = m_records[index].attributeEnd; i < e; ++i)
        if (AttributeName(i) == name) m_attributes[i].valueSize = 0;
}

namespace {
// A slot holds the name's hash above the block index + 1, so that probing past other labels
// rarely has to fetch their names.
uint64_t LabelSlot(uint32_t hash, size_t index) { return (uint64_t(hash) << 32) | uint32_t(index + 1); }
}  // namespace

void CScriptBlockList::IndexLabels() {
    m_labelsIndexed = true;
    m_labelSlots = std::vector<uint64_t>();
    size_t count = 0;
    for (size_t i = 0; i < m_recordCount; ++i)
        if (m_records[i].kind == CScriptBlock::kLabel) ++count;
    if (count == 0) return;
    // At most two thirds full: short probes.
    size_t capacity = 16;
    while (capacity < count + count / 2) capacity *= 2;
    m_labelSlots.reserve(capacity);
    if (capacity * sizeof(uint64_t) >= (size_t(2) << 20))
        AdviseHugePages(m_labelSlots.data(), capacity * sizeof(uint64_t));
    m_labelSlots.assign(capacity, 0);
    const size_t mask = capacity - 1;
    const std::hash<std::string_view> hasher;
    for (size_t i = 0; i < m_recordCount; ++i) {
        if (m_records[i].kind != CScriptBlock::kLabel) continue;
        const std::string_view name = Ref(this, i).GetName();
        const uint64_t hash = hasher(name);
        const uint32_t tag = static_cast<uint32_t>(hash >> 32);
        for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
            uint64_t& entry = m_labelSlots[slot];
            if (entry == 0 || (static_cast<uint32_t>(entry >> 32) == tag &&
                               Ref(this, static_cast<uint32_t>(entry) - 1).GetName() == name)) {
                entry = LabelSlot(tag, i);
                break;
            }
        }
    }
}

int64_t CScriptBlockList::FindLabel(std::string_view name) {
    // Of a label given twice the later one counts: the whole script must be known.
    Complete();
    if (!m_labelsIndexed) IndexLabels();
    if (m_labelSlots.empty()) return -1;
    const size_t mask = m_labelSlots.size() - 1;
    const uint64_t hash = std::hash<std::string_view>()(name);
    const uint32_t tag = static_cast<uint32_t>(hash >> 32);
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const uint64_t entry = m_labelSlots[slot];
        if (entry == 0) return -1;
        const uint32_t index = static_cast<uint32_t>(entry) - 1;
        if (static_cast<uint32_t>(entry >> 32) == tag && Ref(this, index).GetName() == name) return index;
    }
}

}  // namespace kestrin
