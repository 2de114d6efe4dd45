#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "CORE/CSerializer.h"

using kestrin::CBinaryStream;
using kestrin::CSerializer;
using kestrin::ISerializable;

namespace {

std::string Image(CSerializer& s) {
    CBinaryStream::CMemoryInfo* m = s.GetMemory();
    return m ? std::string(reinterpret_cast<char*>(m->data), static_cast<size_t>(m->size)) : std::string();
}

std::string Bytes(std::initializer_list<int> list) {
    std::string out;
    for (int b : list) out.push_back(static_cast<char>(b));
    return out;
}

struct IntAndString : ISerializable {
    int32_t number = -1;
    std::string text = "default";
    unsigned numberKey = 1, textKey = 2;
    void Save(CSerializer* s) override {
        s->SaveInt(number, numberKey);
        s->SaveString(text, textKey);
    }
    void Load(CSerializer* s) override {
        s->LoadInt(number, numberKey);
        s->LoadString(text, textKey);
    }
};

struct Record : ISerializable {
    int32_t a = 6;
    bool flag = false;
    std::string name;
    IntAndString inner;
    std::map<std::string, std::string> attributes;
    std::vector<std::string> lines;
    std::map<int, std::set<int>> keys;
    std::deque<IntAndString> items;
    std::map<std::string, std::set<int>> done;
    std::vector<std::unique_ptr<IntAndString>> owned;
    void Save(CSerializer* s) override {
        s->SaveInt(a, 1);
        s->SaveByte(flag, 2);
        s->SaveString(name, 3);
        s->SaveSerializable(inner, 4);
        s->SaveStringMap(attributes, 5);
        s->SaveStringVector(lines, 6);
        s->SaveKeyConfigMap(keys, 7);
        s->SaveScriptBlockDeque(items, 8);
        s->SaveStringIntSetMap(done, 9);
        s->SaveVariablesPtrList(owned, 10);
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
        s->LoadStringIntSetMap(done, 9);
        s->LoadVariablesPtrList(owned, 10);
    }
};

Record SampleRecord() {
    Record r;
    r.a = 42;
    r.flag = true;
    r.name = "\x83\x5c\x95\x5c";  // Shift_JIS text holding 0x5C trail bytes
    r.inner.number = 7;
    r.inner.text = "in";
    r.attributes = {{"name", "bg"}, {"storage", "a.png"}};
    r.lines = {"one", "", "three"};
    r.keys = {{13, {1, 2}}, {27, {}}};
    r.items.resize(2);
    r.items[1].text = "second";
    r.done = {{"main.iet", {3, 5, 8}}};
    r.owned.emplace_back(new IntAndString());
    r.owned.back()->number = 99;
    return r;
}

}  // namespace

TEST(CSerializer, KeyedImageBytes) {
    IntAndString o;
    o.number = 7;
    o.text = "ab";
    CSerializer s;
    o.Save(&s);
    std::string image = Image(s);
    EXPECT_EQ(image,
              Bytes({2, 0, 0, 0, 1, 0, 0, 0, 20, 0, 0, 0, 2, 0, 0, 0, 24, 0, 0, 0, 7, 0, 0, 0, 2, 0, 0, 0, 'a', 'b'}));

    IntAndString unkeyed;
    unkeyed.number = 7;
    unkeyed.text = "ab";
    unkeyed.numberKey = unkeyed.textKey = 0;
    CSerializer u;
    unkeyed.Save(&u);
    EXPECT_EQ(Image(u), Bytes({0, 0, 0, 0, 7, 0, 0, 0, 2, 0, 0, 0, 'a', 'b'}));

    // Absent key: destination and position untouched.
    CSerializer r;
    r.Attach(image.data(), static_cast<unsigned>(image.size()));
    uint32_t pos = r.GetStream()->GetPosition();
    int32_t v = 5;
    r.LoadInt(v, 3);
    EXPECT_EQ(v, 5);
    EXPECT_EQ(r.GetStream()->GetPosition(), pos);
    std::string t;
    r.LoadString(t, 2);
    EXPECT_EQ(t, "ab");
    r.LoadInt(v, 1);
    EXPECT_EQ(v, 7);

    // Without the index flag (the writer of index blocks): keys are not recorded and no
    // index block goes in front.
    CSerializer bare = CSerializer::CSerializerWithIndexFlag(false);
    o.Save(&bare);
    EXPECT_EQ(Image(bare), Bytes({7, 0, 0, 0, 2, 0, 0, 0, 'a', 'b'}));
}

TEST(CSerializer, NestedAndEdgeValues) {
    // An empty nested object is just its zero length, and loading it touches nothing.
    struct Empty : ISerializable {
        int loads = 0;
        void Save(CSerializer*) override {}
        void Load(CSerializer* s) override {
            int32_t x = 3;
            s->LoadInt(x, 1);
            loads += x;
        }
    } empty;
    CSerializer s;
    s.SaveSerializable(empty, 0);
    std::string image = Image(s);
    EXPECT_EQ(image, Bytes({0, 0, 0, 0, 0, 0, 0, 0}));
    CSerializer r;
    r.Attach(image.data(), static_cast<unsigned>(image.size()));
    r.LoadSerializable(empty, 0);
    EXPECT_EQ(empty.loads, 3);

    // Embedded zero; the later of two members with one key wins.
    CSerializer w;
    w.SaveString(std::string("ab\0cd", 5), 1);
    w.SaveInt(1, 2);
    w.SaveInt(2, 2);
    std::string img = Image(w);
    CSerializer rd;
    rd.Attach(img.data(), static_cast<unsigned>(img.size()));
    std::string text;
    rd.LoadString(text, 1);
    EXPECT_EQ(text, "ab");
    int32_t v = 0;
    rd.LoadInt(v, 2);
    EXPECT_EQ(v, 2);
}

TEST(CSerializer, ExtensionsSeeTheirOwnTypes) {
    struct Tween {
        int32_t a = 6, c = 31;
    };
    struct TweenExtension : kestrin::ISerializerExtension {
        bool Save(CSerializer* s, std::any value) override {
            Tween** t = std::any_cast<Tween*>(&value);
            if (!t) return false;
            s->SaveInt((*t)->a, 0);
            s->SaveInt((*t)->c, 0);
            return true;
        }
        bool Load(CSerializer* s, std::any value) override {
            Tween** t = std::any_cast<Tween*>(&value);
            if (!t) return false;
            s->LoadInt((*t)->a, 0);
            s->LoadInt((*t)->c, 0);
            return true;
        }
    };
    struct Holder {
        int x = 0;
    };
    auto saved = CSerializer::Extensions;
    kestrin::RegisterSerializerExtension(new TweenExtension());

    std::vector<Tween> tweens(2);
    tweens[1].a = 1;
    Holder holder;
    CSerializer s;
    s.SaveTweenInfoVector(tweens, 1);
    s.SaveKeyConfigExtended(holder, 2);
    std::string image = Image(s);
    // The holder no extension takes is a 4-byte empty object at the end.
    EXPECT_EQ(image.substr(image.size() - 4), Bytes({0, 0, 0, 0}));

    CSerializer r;
    r.Attach(image.data(), static_cast<unsigned>(image.size()));
    std::vector<Tween> back;
    r.LoadTweenInfoVector(back, 1);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].a, 6);
    EXPECT_EQ(back[1].a, 1);
    EXPECT_EQ(back[1].c, 31);
    CSerializer::Extensions = saved;
}

TEST(CSerializer, RoundTripIsByteIdentical) {
    Record original = SampleRecord();
    CSerializer s1;
    original.Save(&s1);
    std::string first = Image(s1);

    Record loaded;
    loaded.items.resize(5);  // containers are replaced, not merged
    CSerializer r;
    r.Attach(first.data(), static_cast<unsigned>(first.size()));
    loaded.Load(&r);
    EXPECT_EQ(loaded.a, 42);
    EXPECT_TRUE(loaded.flag);
    EXPECT_EQ(loaded.name, original.name);
    EXPECT_EQ(loaded.inner.number, 7);
    EXPECT_EQ(loaded.attributes, original.attributes);
    EXPECT_EQ(loaded.lines, original.lines);
    EXPECT_EQ(loaded.keys, original.keys);
    ASSERT_EQ(loaded.items.size(), 2u);
    EXPECT_EQ(loaded.items[1].text, "second");
    EXPECT_EQ(loaded.done, original.done);
    ASSERT_EQ(loaded.owned.size(), 1u);
    EXPECT_EQ(loaded.owned[0]->number, 99);

    CSerializer s2;
    loaded.Save(&s2);
    EXPECT_EQ(Image(s2), first);
}

TEST(CSerializer, DamagedImagesKeepDefaults) {
    Record original = SampleRecord();
    CSerializer s;
    original.Save(&s);
    std::string image = Image(s);

    // Every truncation and a set of single-byte corruptions load without faults.
    for (size_t cut = 0; cut < image.size(); ++cut) {
        std::string part = image.substr(0, cut);
        Record r;
        CSerializer rd;
        rd.Attach(part.data(), static_cast<unsigned>(part.size()));
        r.Load(&rd);
    }
    for (size_t i = 0; i < image.size(); ++i) {
        for (int value : {0x00, 0x7F, 0x80, 0xFF}) {
            std::string bad = image;
            bad[i] = static_cast<char>(value);
            Record r;
            CSerializer rd;
            rd.Attach(bad.data(), static_cast<unsigned>(bad.size()));
            r.Load(&rd);
        }
    }

    // Huge counts and lengths read nothing beyond the data.
    std::string hugeCount = Bytes({0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 1, 0, 0, 0, 'x'});
    CSerializer rc;
    rc.Attach(hugeCount.data(), static_cast<unsigned>(hugeCount.size()));
    std::vector<std::string> v = {"keep"};
    rc.LoadStringVector(v, 0);
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0], "x");

    std::string hugeString = Bytes({0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 'a'});
    CSerializer rs;
    rs.Attach(hugeString.data(), static_cast<unsigned>(hugeString.size()));
    std::string text = "keep";
    rs.LoadString(text, 0);
    EXPECT_EQ(text, "");

    std::string hugeNested = Bytes({0, 0, 0, 0, 0x10, 0, 0, 0, 1, 0, 0, 0});
    CSerializer rn;
    rn.Attach(hugeNested.data(), static_cast<unsigned>(hugeNested.size()));
    IntAndString obj;
    rn.LoadSerializable(obj, 0);
    EXPECT_EQ(obj.number, -1);
    EXPECT_EQ(obj.text, "default");

    // An index that claims more pairs than there are bytes.
    std::string hugeIndex = Bytes({0xFF, 0xFF, 0xFF, 0x7F, 1, 0, 0, 0, 12, 0, 0, 0, 9, 0, 0, 0});
    CSerializer ri;
    ri.Attach(hugeIndex.data(), static_cast<unsigned>(hugeIndex.size()));
    int32_t n = 0;
    ri.LoadInt(n, 1);
    EXPECT_EQ(n, 9);
}
