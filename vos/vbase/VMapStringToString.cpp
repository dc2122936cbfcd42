#include "vos/VMapSimple.h"

#include "VMapCore.h"

VOS_NAMESPACE_BEGIN

namespace {

struct StringToStringTraits : vmap::StoredIndex<CVMapStringToString> {
    using Map = CVMapStringToString;
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
        VConstructElements<CVString>(&a->value, 1);
    }
    static void Destroy(Assoc* a) {
        VDestructElements<CVString>(&a->key, 1);
        VDestructElements<CVString>(&a->value, 1);
    }
    // False when the key's text could not be copied.
    static bool StoreKey(Assoc* a, Key key) {
        a->key = key;
        return key == nullptr || key[0] == 0 || static_cast<const unsigned short*>(a->key) != nullptr;
    }
};

using Core = vmap::Core<StringToStringTraits>;

}  // namespace

CVMapStringToString::CVMapStringToString(int nBlockSize) { Core::Construct(*this, nBlockSize); }

CVMapStringToString::~CVMapStringToString() { RemoveAll(); }

void CVMapStringToString::InitHashTable(unsigned int nHashSize, int bAllocNow) {
    Core::InitHashTable(*this, nHashSize, bAllocNow);
}

unsigned int CVMapStringToString::HashKey(unsigned short const* key) { return vmap::HashText(key); }

int CVMapStringToString::Lookup(unsigned short const* key, CVString& rValue) const {
    unsigned int bucket = 0;
    const CAssoc* a = Core::GetAssocAt(*this, key, bucket);
    if (a == nullptr) return 0;
    rValue = a->value;
    return 1;
}

int CVMapStringToString::LookupKey(unsigned short const* key, unsigned short const*& rKey) const {
    unsigned int bucket = 0;
    const CAssoc* a = Core::GetAssocAt(*this, key, bucket);
    if (a == nullptr) return 0;
    const unsigned short* text = a->key;
    rKey = text != nullptr ? text : vmap::kEmptyText;
    return 1;
}

CVString& CVMapStringToString::operator[](unsigned short const* key) {
    CAssoc* a = Core::Insert(*this, key);
    if (a != nullptr) return a->value;
    thread_local CVString s_strScratch;
    s_strScratch.Empty();
    return s_strScratch;
}

void CVMapStringToString::SetAt(unsigned short const* key, unsigned short const* newValue) {
    (*this)[key] = newValue;
}

int CVMapStringToString::RemoveKey(unsigned short const* key) { return Core::RemoveKey(*this, key); }

void CVMapStringToString::RemoveAll() { Core::RemoveAll(*this); }

void* CVMapStringToString::GetStartPosition() const { return Core::StartPosition(*this); }

void CVMapStringToString::GetNextAssoc(void*& rNextPosition, CVString& rKey, CVString& rValue) const {
    const CAssoc* a = Core::Next(*this, rNextPosition);
    if (a == nullptr) return;
    rKey = a->key;
    rValue = a->value;
}

CVMapStringToString::CAssoc* CVMapStringToString::GetAssocAt(unsigned short const* key, unsigned int& nHash) const {
    return Core::GetAssocAt(*this, key, nHash);
}

CVMapStringToString::CAssoc* CVMapStringToString::NewAssoc() { return Core::NewAssoc(*this); }

void CVMapStringToString::FreeAssoc(CAssoc* pAssoc) { Core::FreeAssoc(*this, pAssoc); }

VOS_NAMESPACE_END
