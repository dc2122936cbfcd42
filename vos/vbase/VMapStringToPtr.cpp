#include "vos/VMapSimple.h"

#include "VMapCore.h"

VOS_NAMESPACE_BEGIN

namespace {

struct StringToPtrTraits : vmap::StoredIndex<CVMapStringToPtr> {
    using Map = CVMapStringToPtr;
    using Assoc = Map::CAssoc;
    using Key = const unsigned short*;
    static constexpr bool kHasStrings = true;

    using Probe = vmap::TextProbe;
    static Probe MakeProbe(Key key) { return Probe(key); }
    static uint32_t ProbeHash(const Probe& probe) { return probe.hash; }
    static uint32_t HashStored(const Assoc* a) { return vmap::HashText(a->key); }
    static bool Equal(const Assoc* a, const Probe& probe) { return vmap::StringEquals(a->key, probe); }
    static void Init(Assoc* a) {
        VConstructElements<CVString>(&a->key, 1);
        a->value = nullptr;
    }
    static void Destroy(Assoc* a) { VDestructElements<CVString>(&a->key, 1); }
    // False when the key's text could not be copied.
    static bool StoreKey(Assoc* a, Key key) {
        a->key = key;
        return key == nullptr || key[0] == 0 || static_cast<const unsigned short*>(a->key) != nullptr;
    }
};

using Core = vmap::Core<StringToPtrTraits>;

}  // namespace

CVMapStringToPtr::CVMapStringToPtr(int nBlockSize) { Core::Construct(*this, nBlockSize); }

namespace {

// Straight from the source's associations, in the order GetNextAssoc hands
// them out: a key copied out through a CVString that could not get memory
// would come back empty and file its value under the empty key.
void CopyEntries(CVMapStringToPtr& to, const CVMapStringToPtr& from) {
    if (from.m_pBuckets == nullptr) return;
    for (uint32_t b = 0; b < from.m_nBuckets; ++b) {
        for (const CVMapStringToPtr::CAssoc* a = from.m_pBuckets[b]; a != nullptr; a = a->pNext) {
            to.SetAt(a->key, a->value);
        }
    }
}

}  // namespace

CVMapStringToPtr::CVMapStringToPtr(const CVMapStringToPtr& other) {
    Core::Construct(*this, 10);
    CopyEntries(*this, other);
}

CVMapStringToPtr::~CVMapStringToPtr() { RemoveAll(); }

void CVMapStringToPtr::operator=(const CVMapStringToPtr& other) {
    // Emptying the target first would leave nothing to copy from.
    if (&other == this) return;
    RemoveAll();
    CopyEntries(*this, other);
}

void CVMapStringToPtr::InitHashTable(unsigned int nHashSize, int bAllocNow) {
    Core::InitHashTable(*this, nHashSize, bAllocNow);
}

unsigned int CVMapStringToPtr::HashKey(unsigned short const* key) { return vmap::HashText(key); }

int CVMapStringToPtr::Lookup(unsigned short const* key, void*& rValue) const {
    unsigned int bucket = 0;
    const CAssoc* a = Core::GetAssocAt(*this, key, bucket);
    if (a == nullptr) return 0;
    rValue = a->value;
    return 1;
}

int CVMapStringToPtr::LookupKey(unsigned short const* key, unsigned short const*& rKey) const {
    unsigned int bucket = 0;
    const CAssoc* a = Core::GetAssocAt(*this, key, bucket);
    if (a == nullptr) return 0;
    const unsigned short* text = a->key;
    rKey = text != nullptr ? text : vmap::kEmptyText;
    return 1;
}

void*& CVMapStringToPtr::operator[](unsigned short const* key) {
    CAssoc* a = Core::Insert(*this, key);
    if (a != nullptr) return a->value;
    thread_local void* s_pScratch;
    s_pScratch = nullptr;
    return s_pScratch;
}

void CVMapStringToPtr::SetAt(unsigned short const* key, void* newValue) { (*this)[key] = newValue; }

int CVMapStringToPtr::RemoveKey(unsigned short const* key) { return Core::RemoveKey(*this, key); }

void CVMapStringToPtr::RemoveAll() { Core::RemoveAll(*this); }

void* CVMapStringToPtr::GetStartPosition() const { return Core::StartPosition(*this); }

void CVMapStringToPtr::GetNextAssoc(void*& rNextPosition, CVString& rKey, void*& rValue) const {
    const CAssoc* a = Core::Next(*this, rNextPosition);
    if (a == nullptr) return;
    rKey = a->key;
    rValue = a->value;
}

CVMapStringToPtr::CAssoc* CVMapStringToPtr::GetAssocAt(unsigned short const* key, unsigned int& nHash) const {
    return Core::GetAssocAt(*this, key, nHash);
}

CVMapStringToPtr::CAssoc* CVMapStringToPtr::NewAssoc() { return Core::NewAssoc(*this); }

void CVMapStringToPtr::FreeAssoc(CAssoc* pAssoc) { Core::FreeAssoc(*this, pAssoc); }

VOS_NAMESPACE_END
