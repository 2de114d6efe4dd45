// Serializer images over arbitrary bytes: Attach, keyed and unkeyed loads of every kind,
// nested objects and containers. A loaded object saved, loaded and saved again must give
// the same bytes both times.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "CORE/CSerializer.h"

using namespace kestrin;

namespace {

struct Inner : ISerializable {
    int32_t number = 0;
    std::string text;
    void Save(CSerializer* s) override {
        s->SaveInt(number, 1);
        s->SaveString(text, 2);
    }
    void Load(CSerializer* s) override {
        s->LoadInt(number, 1);
        s->LoadString(text, 2);
    }
};

struct Outer : ISerializable {
    int32_t a = 0;
    bool flag = false;
    std::string name;
    Inner inner;
    std::map<std::string, std::string> attributes;
    std::vector<std::string> lines;
    std::map<int, std::set<int>> keys;
    std::deque<Inner> items;
    std::deque<std::vector<Inner>> pages;
    std::set<char> bytes;
    std::vector<std::unique_ptr<Inner>> owned;
    std::vector<std::pair<std::string, std::pair<int32_t, int32_t>>> ranges;
    void Save(CSerializer* s) override {
        s->SaveInt(a, 1);
        s->SaveByte(flag, 2);
        s->SaveString(name, 3);
        s->SaveSerializable(inner, 4);
        s->SaveStringMap(attributes, 5);
        s->SaveStringVector(lines, 6);
        s->SaveKeyConfigMap(keys, 7);
        s->SaveScriptBlockDeque(items, 8);
        s->SaveScriptBlockVectorDeque(pages, 9);
        s->SaveByteSet(bytes, 10);
        s->SaveVariablesPtrList(owned, 11);
        s->SaveContainer(ranges, 0);
    }
    void Load(CSerializer* s) override {
        s->LoadInt(a, 1);
        s->LoadByte(flag, 2);
        s->LoadString(name, 3);
        s->LoadSerializable(inner, 4);
        s->LoadStringMap(attributes, 5);
        s->LoadStringVector(lines, 6);
        s->LoadKeyConfigMap(keys, 7);
        s->LoadScriptBlockDeque(items, 8);
        s->LoadScriptBlockVectorDeque(pages, 9);
        s->LoadByteSet(bytes, 10);
        s->LoadVariablesPtrList(owned, 11);
        s->LoadContainer(ranges, 0);
    }
};

std::string Image(Outer& o) {
    CSerializer s;
    o.Save(&s);
    CBinaryStream::CMemoryInfo* m = s.GetMemory();
    return m ? std::string(reinterpret_cast<char*>(m->data), static_cast<size_t>(m->size)) : std::string();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Outer loaded;
    {
        CSerializer s;
        s.Attach(data, static_cast<unsigned>(size));
        loaded.Load(&s);
    }
    {
        // The pack-index forms, unindexed from the start.
        CSerializer s;
        s.Attach(data, static_cast<unsigned>(size));
        std::unordered_map<std::string, std::pair<int32_t, int32_t>> ranges;
        s.LoadEntryRangeHashMap(ranges, 0);
        std::map<std::string, std::set<int>> done;
        s.LoadStringIntSetMap(done, 0);
    }
    const std::string first = Image(loaded);
    Outer again;
    CSerializer s;
    s.Attach(first.data(), static_cast<unsigned>(first.size()));
    again.Load(&s);
    if (Image(again) != first) std::abort();
    return 0;
}
