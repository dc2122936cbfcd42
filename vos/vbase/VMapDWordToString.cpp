#include "vos/VMapSimple.h"

#include "VMapCore.h"

VOS_NAMESPACE_BEGIN

namespace {

struct DWordToStringTraits : vmap::StoredIndex<CVMapDWordToString>, vmap::PlainProbe<unsigned long> {
    using Map = CVMapDWordToString;
    using Assoc = Map::CAssoc;
    using Key = unsigned long;
    static constexpr bool kHasStrings = true;

    // Keys keep their full width on 64-bit hosts; the hash is cut to 32 bits.
    static uint32_t Hash(Key key) { return static_cast<uint32_t>(key >> 4); }
    static uint32_t ProbeHash(Key key) { return Hash(key); }
    static uint32_t HashStored(const Assoc* a) { return Hash(a->key); }
    static bool Equal(const Assoc* a, Key key) { return a->key == key; }
    static void Init(Assoc* a) {
        a->key = 0;
        VConstructElements<CVString>(&a->value, 1);
    }
    static void Destroy(Assoc* a) { VDestructElements<CVString>(&a->value, 1); }
    static bool StoreKey(Assoc* a, Key key) {
        a->key = key;
        return true;
    }
};

using Core = vmap::Core<DWordToStringTraits>;

}  // namespace

CVMapDWordToString::CVMapDWordToString(int nBlockSize) { Core::Construct(*this, nBlockSize); }

CVMapDWordToString::~CVMapDWordToString() { RemoveAll(); }

void CVMapDWordToString::InitHashTable(unsigned int nHashSize, int bAllocNow) {
    Core::InitHashTable(*this, nHashSize, bAllocNow);
}

int CVMapDWordToString::Lookup(unsigned long key, CVString& rValue) const {
    unsigned int bucket = 0;
    const CAssoc* a = Core::GetAssocAt(*this, key, bucket);
    if (a == nullptr) return 0;
    rValue = a->value;
    return 1;
}

int CVMapDWordToString::LookupKey(unsigned long key, unsigned long& rKey) const {
    unsigned int bucket = 0;
    const CAssoc* a = Core::GetAssocAt(*this, key, bucket);
    if (a == nullptr) return 0;
    rKey = a->key;
    return 1;
}

CVString& CVMapDWordToString::operator[](unsigned long key) {
    CAssoc* a = Core::Insert(*this, key);
    if (a != nullptr) return a->value;
    thread_local CVString s_strScratch;
    s_strScratch.Empty();
    return s_strScratch;
}

void CVMapDWordToString::SetAt(unsigned long key, unsigned short const* newValue) { (*this)[key] = newValue; }

int CVMapDWordToString::RemoveKey(unsigned long key) { return Core::RemoveKey(*this, key); }

void CVMapDWordToString::RemoveAll() { Core::RemoveAll(*this); }

void* CVMapDWordToString::GetStartPosition() const { return Core::StartPosition(*this); }

void CVMapDWordToString::GetNextAssoc(void*& rNextPosition, unsigned long& rKey, CVString& rValue) const {
    const CAssoc* a = Core::Next(*this, rNextPosition);
    if (a == nullptr) return;
    rKey = a->key;
    rValue = a->value;
}

CVMapDWordToString::CAssoc* CVMapDWordToString::GetAssocAt(unsigned long key, unsigned int& nHash) const {
    return Core::GetAssocAt(*this, key, nHash);
}

CVMapDWordToString::CAssoc* CVMapDWordToString::NewAssoc() { return Core::NewAssoc(*this); }

void CVMapDWordToString::FreeAssoc(CAssoc* pAssoc) { Core::FreeAssoc(*this, pAssoc); }

VOS_NAMESPACE_END
