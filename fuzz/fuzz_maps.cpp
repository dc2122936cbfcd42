// Drives the string-keyed and word-keyed maps with a byte-coded sequence of
// operations and checks every step against std::map: contents, counts,
// iteration order (ascending bucket) and the release of the table and blocks
// when the last entry goes.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <map>
#include <string>

#include "vos/vos.h"

using namespace _palex_zu;

namespace {

struct Input {
    const uint8_t* p;
    size_t n;
    bool Empty() const { return n == 0; }
    uint8_t Byte() {
        if (n == 0) return 0;
        --n;
        return *p++;
    }
};

void Check(bool ok) {
    if (!ok) abort();
}

std::u16string ToU16(const CVString& s) {
    const unsigned short* p = s;
    return p == nullptr ? std::u16string() : std::u16string(reinterpret_cast<const char16_t*>(p));
}

const unsigned short* Units(const std::u16string& s) { return reinterpret_cast<const unsigned short*>(s.c_str()); }

// Short keys from a small alphabet, so that keys repeat and buckets collide.
std::u16string Key(Input& in) {
    const int len = in.Byte() % 5;
    std::u16string k;
    for (int i = 0; i < len; ++i) {
        const uint8_t b = in.Byte();
        k.push_back(b & 0x80 ? static_cast<char16_t>(0x4E00 + (b & 7)) : static_cast<char16_t>(u'a' + (b & 3)));
    }
    return k;
}

void CheckStringMap(const CVMapStringToString& m, const std::map<std::u16string, std::u16string>& ref) {
    Check(m.GetCount() == static_cast<int>(ref.size()));
    Check(m.IsEmpty() == (ref.empty() ? 1 : 0));
    if (ref.empty()) {
        // A table may exist (InitHashTable allocates one), but no block does.
        Check(m.m_pBlockChain == nullptr && m.GetStartPosition() == nullptr);
        return;
    }
    std::map<std::u16string, std::u16string> seen;
    void* pos = m.GetStartPosition();
    unsigned int lastBucket = 0;
    CVString k, v;
    while (pos != nullptr) {
        m.GetNextAssoc(pos, k, v);
        const unsigned int bucket = CVMapStringToString::HashKey(k) % m.GetHashTableSize();
        Check(bucket >= lastBucket);
        lastBucket = bucket;
        Check(seen.emplace(ToU16(k), ToU16(v)).second);
    }
    Check(seen == ref);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in{data, size};
    CVMapStringToString ss(1 + in.Byte() % 12);
    CVMapStringToPtr sp;
    CVMapWordToPtr wp(1 + in.Byte() % 12);
    std::map<std::u16string, std::u16string> ref;
    std::map<unsigned short, uintptr_t> refWords;
    while (!in.Empty()) {
        const uint8_t op = in.Byte() % 8;
        const std::u16string key = Key(in);
        switch (op) {
            case 0:
            case 1: {
                const std::u16string value = Key(in);
                ss.SetAt(Units(key), Units(value));
                sp.SetAt(Units(key), reinterpret_cast<void*>(static_cast<uintptr_t>(value.size() + 1)));
                ref[key] = value;
                break;
            }
            case 2: {
                const int removed = ss.RemoveKey(Units(key));
                Check(removed == static_cast<int>(ref.erase(key)));
                Check(sp.RemoveKey(Units(key)) == removed);
                // The last removal releases the table too.
                if (removed && ref.empty()) Check(ss.m_pBuckets == nullptr && sp.m_pBuckets == nullptr);
                break;
            }
            case 3: {
                CVString v;
                const auto it = ref.find(key);
                Check(ss.Lookup(Units(key), v) == (it != ref.end() ? 1 : 0));
                if (it != ref.end()) Check(ToU16(v) == it->second);
                const unsigned short* stored = nullptr;
                Check(ss.LookupKey(Units(key), stored) == (it != ref.end() ? 1 : 0));
                if (stored != nullptr) Check(std::u16string(reinterpret_cast<const char16_t*>(stored)) == key);
                break;
            }
            case 4: {
                // Resizing keeps the entries, whether or not the map holds any.
                const unsigned int buckets = 1 + in.Byte() % 40;
                ss.InitHashTable(buckets, in.Byte() & 1);
                Check(ss.GetHashTableSize() == buckets);
                break;
            }
            case 5: {
                const unsigned short w = static_cast<unsigned short>(in.Byte() | (in.Byte() << 8));
                if (in.Byte() & 1) {
                    Check(wp.RemoveKey(w) == static_cast<int>(refWords.erase(w)));
                } else {
                    wp[w] = reinterpret_cast<void*>(static_cast<uintptr_t>(w) + 1);
                    refWords[w] = static_cast<uintptr_t>(w) + 1;
                }
                Check(wp.GetCount() == static_cast<int>(refWords.size()));
                break;
            }
            case 6: {
                CVMapStringToPtr copy(sp);
                Check(copy.GetCount() == sp.GetCount());
                CVMapStringToPtr assigned(3);
                assigned = copy;
                Check(assigned.GetCount() == sp.GetCount());
                break;
            }
            default:
                if (in.Byte() % 8 == 0) {
                    ss.RemoveAll();
                    sp.RemoveAll();
                    ref.clear();
                }
                break;
        }
        CheckStringMap(ss, ref);
        Check(sp.GetCount() == static_cast<int>(ref.size()));
    }
    std::map<unsigned short, uintptr_t> seenWords;
    void* pos = wp.GetStartPosition();
    while (pos != nullptr) {
        unsigned short k = 0;
        void* v = nullptr;
        wp.GetNextAssoc(pos, k, v);
        seenWords[k] = reinterpret_cast<uintptr_t>(v);
    }
    Check(seenWords == refWords);
    return 0;
}
