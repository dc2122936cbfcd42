#include "vos/VMapSimple.h"

#include "VMapCore.h"

VOS_NAMESPACE_BEGIN

namespace {

struct PtrToPtrTraits : vmap::PlainProbe<void*> {
    using Map = CVMapPtrToPtr;
    using Assoc = Map::CAssoc;
    using Key = void*;
    static constexpr bool kHasStrings = false;

    // The low bits of an address are mostly alignment; on a 64-bit host the
    // shifted address is cut to 32 bits, which keeps the bits that vary.
    static uint32_t Hash(Key key) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(key) >> 4); }
    static uint32_t ProbeHash(Key key) { return Hash(key); }
    static uint32_t HashStored(const Assoc* a) { return Hash(a->key); }
    static bool Equal(const Assoc* a, Key key) { return a->key == key; }
    static void Init(Assoc* a) {
        a->key = nullptr;
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

using Core = vmap::Core<PtrToPtrTraits>;

}  // namespace

CVMapPtrToPtr::CVMapPtrToPtr(int nBlockSize) { Core::Construct(*this, nBlockSize); }

CVMapPtrToPtr::~CVMapPtrToPtr() { RemoveAll(); }

void CVMapPtrToPtr::InitHashTable(unsigned int nHashSize, int bAllocNow) {
    Core::InitHashTable(*this, nHashSize, bAllocNow);
}

int CVMapPtrToPtr::Lookup(void* key, void*& rValue) const {
    unsigned int bucket = 0;
    const CAssoc* a = Core::GetAssocAt(*this, key, bucket);
    if (a == nullptr) return 0;
    rValue = a->value;
    return 1;
}

void*& CVMapPtrToPtr::operator[](void* key) {
    CAssoc* a = Core::Insert(*this, key);
    if (a != nullptr) return a->value;
    thread_local void* s_pScratch;
    s_pScratch = nullptr;
    return s_pScratch;
}

void* CVMapPtrToPtr::GetValueAt(void* key) const {
    // A map without a table has no chain to walk.
    if (m_pBuckets == nullptr) return nullptr;
    for (const CAssoc* a = m_pBuckets[PtrToPtrTraits::Hash(key) % m_nBuckets]; a != nullptr; a = a->pNext) {
        if (a->key == key) return a->value;
    }
    return nullptr;
}

void CVMapPtrToPtr::SetAt(void* key, void* newValue) { (*this)[key] = newValue; }

int CVMapPtrToPtr::RemoveKey(void* key) { return Core::RemoveKey(*this, key); }

void CVMapPtrToPtr::RemoveAll() { Core::RemoveAll(*this); }

void* CVMapPtrToPtr::GetStartPosition() const { return Core::StartPosition(*this); }

void CVMapPtrToPtr::GetNextAssoc(void*& rNextPosition, void*& rKey, void*& rValue) const {
    const CAssoc* a = Core::Next(*this, rNextPosition);
    if (a == nullptr) return;
    rKey = a->key;
    rValue = a->value;
}

CVMapPtrToPtr::CAssoc* CVMapPtrToPtr::GetAssocAt(void* key, unsigned int& nHash) const {
    return Core::GetAssocAt(*this, key, nHash);
}

CVMapPtrToPtr::CAssoc* CVMapPtrToPtr::NewAssoc() { return Core::NewAssoc(*this); }

void CVMapPtrToPtr::FreeAssoc(CAssoc* pAssoc) { Core::FreeAssoc(*this, pAssoc); }

VOS_NAMESPACE_END
