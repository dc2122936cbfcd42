#include "vos/VMapSimple.h"

#include "VMapCore.h"

VOS_NAMESPACE_BEGIN

namespace {

struct WordToPtrTraits : vmap::PlainProbe<unsigned short> {
    using Map = CVMapWordToPtr;
    using Assoc = Map::CAssoc;
    using Key = unsigned short;
    static constexpr bool kHasStrings = false;

    static uint32_t Hash(Key key) { return static_cast<uint32_t>(key) >> 4; }
    static uint32_t ProbeHash(Key key) { return Hash(key); }
    static uint32_t HashStored(const Assoc* a) { return Hash(a->key); }
    static bool Equal(const Assoc* a, Key key) { return a->key == key; }
    static void Init(Assoc* a) {
        a->key = 0;
        a->value = nullptr;
    }
    static void Destroy(Assoc*) {}
    static bool StoreKey(Assoc* a, Key key) {
        a->key = key;
        return true;
    }
    // The association keeps no bucket index: it is the key's bucket.
    static void SetIndex(Assoc*, uint32_t) {}
    static uint32_t IndexOf(const Map& m, const Assoc* a) { return Hash(a->key) % m.m_nBuckets; }
};

using Core = vmap::Core<WordToPtrTraits>;

}  // namespace

CVMapWordToPtr::CVMapWordToPtr(int nBlockSize) { Core::Construct(*this, nBlockSize); }

CVMapWordToPtr::~CVMapWordToPtr() { RemoveAll(); }

void CVMapWordToPtr::InitHashTable(unsigned int nHashSize, int bAllocNow) {
    Core::InitHashTable(*this, nHashSize, bAllocNow);
}

int CVMapWordToPtr::Lookup(unsigned short key, void*& rValue) const {
    unsigned int bucket = 0;
    const CAssoc* a = Core::GetAssocAt(*this, key, bucket);
    if (a == nullptr) return 0;
    rValue = a->value;
    return 1;
}

void*& CVMapWordToPtr::operator[](unsigned short key) {
    CAssoc* a = Core::Insert(*this, key);
    if (a != nullptr) return a->value;
    thread_local void* s_pScratch;
    s_pScratch = nullptr;
    return s_pScratch;
}

void CVMapWordToPtr::SetAt(unsigned short key, void* newValue) { (*this)[key] = newValue; }

int CVMapWordToPtr::RemoveKey(unsigned short key) { return Core::RemoveKey(*this, key); }

void CVMapWordToPtr::RemoveAll() { Core::RemoveAll(*this); }

void* CVMapWordToPtr::GetStartPosition() const { return Core::StartPosition(*this); }

void CVMapWordToPtr::GetNextAssoc(void*& rNextPosition, unsigned short& rKey, void*& rValue) const {
    const CAssoc* a = Core::Next(*this, rNextPosition);
    if (a == nullptr) return;
    rKey = a->key;
    rValue = a->value;
}

CVMapWordToPtr::CAssoc* CVMapWordToPtr::GetAssocAt(unsigned short key, unsigned int& nHash) const {
    return Core::GetAssocAt(*this, key, nHash);
}

CVMapWordToPtr::CAssoc* CVMapWordToPtr::NewAssoc() { return Core::NewAssoc(*this); }

void CVMapWordToPtr::FreeAssoc(CAssoc* pAssoc) { Core::FreeAssoc(*this, pAssoc); }

VOS_NAMESPACE_END
