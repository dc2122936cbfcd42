// The machinery the five hash maps share: bucket table, association blocks,
// free list, insertion, removal and iteration. Each map supplies a traits
// structure saying how its keys hash and compare and which of its fields are
// strings; the map classes forward to these templates so that the five stay
// one algorithm.
#ifndef VOS_VBASE_VMAPCORE_H
#define VOS_VBASE_VMAPCORE_H

#include <string.h>

#include "vos/VMapSimple.h"
#include "vos/VMem.h"
#include "vos/VTempl.h"

VOS_NAMESPACE_BEGIN

namespace vmap {

// The position GetStartPosition gives for a map with entries.
inline void* BeforeStart() { return reinterpret_cast<void*>(~static_cast<uintptr_t>(0)); }

// The text a null key stands for: an empty string converts to a null pointer,
// and such a key must hash and compare as the empty text.
inline constexpr unsigned short kEmptyText[1] = {0};

// h = h * 33 + unit over the text. Four units are folded per step (33^4,
// 33^3 and 33^2 applied to the independent part), which gives the same wrapped
// 32-bit result with a shorter chain of dependent multiplications.
inline uint32_t HashUnits(const unsigned short* text, uint32_t length) {
    uint32_t h = 0;
    uint32_t i = 0;
    for (; i + 4 <= length; i += 4) {
        h = h * 1185921u + text[i] * 35937u + text[i + 1] * 1089u + text[i + 2] * 33u + text[i + 3];
    }
    for (; i < length; ++i) h = h * 33u + text[i];
    return h;
}

inline uint32_t TextLength(const unsigned short* text) {
    uint32_t n = 0;
    if (text == nullptr) return 0;
    while (text[n] != 0) ++n;
    return n;
}

inline uint32_t HashText(const unsigned short* text) { return HashUnits(text, TextLength(text)); }

// A text key measured once: lookups hash it and compare it by length first.
struct TextProbe {
    explicit TextProbe(const unsigned short* t) : text(t), length(TextLength(t)), hash(HashUnits(t, length)) {}
    const unsigned short* text;
    uint32_t length;
    uint32_t hash;
};

// A CVString's text is preceded by its 32-bit length (the counted-block
// layout of string buffers); a string without a buffer is the empty text.
inline bool StringEquals(const CVString& stored, const TextProbe& probe) {
    const unsigned short* text = stored;
    if (text == nullptr) return probe.length == 0;
    const int32_t length = reinterpret_cast<const int32_t*>(text)[-1];
    if (static_cast<uint32_t>(length) != probe.length) return false;
    return probe.length == 0 || memcmp(text, probe.text, probe.length * sizeof(unsigned short)) == 0;
}

// Keys that are their own probe: integers and pointers.
template <typename K>
struct PlainProbe {
    using Probe = K;
    static Probe MakeProbe(K key) { return key; }
};

// Traits for maps whose associations keep the bucket they were inserted into.
template <typename Map>
struct StoredIndex {
    static void SetIndex(typename Map::CAssoc* a, uint32_t bucket) { a->nHashValue = bucket; }
    static uint32_t IndexOf(const Map&, const typename Map::CAssoc* a) { return a->nHashValue; }
};

template <typename Tr>
struct Core {
    using Map = typename Tr::Map;
    using Assoc = typename Map::CAssoc;
    using Key = typename Tr::Key;

    static void Construct(Map& m, int blockSize) {
        m.m_pBuckets = nullptr;
        m.m_nBuckets = 17;
        m.m_nEntries = 0;
        m.m_pFreeAssocs = nullptr;
        // A block must hold at least one association, or the free list could
        // never be refilled; the library's own maps use 10.
        m.m_nAssocsPerBlock = blockSize > 0 ? blockSize : 10;
        m.m_pBlockChain = nullptr;
    }

    // The table is a counted block: the 32-bit bucket count sits in the word
    // just before the first bucket. On 64-bit hosts the block starts early
    // enough for the buckets to stay pointer-aligned.
    static Assoc** AllocateTable(uint32_t n) {
        const size_t offset = VCountedBlockOffset<Assoc*>();
        if (n == 0 || static_cast<unsigned long>(n) > (static_cast<unsigned long>(-1) - offset) / sizeof(Assoc*)) {
            return nullptr;
        }
        const unsigned long bytes = static_cast<unsigned long>(offset + sizeof(Assoc*) * static_cast<size_t>(n));
        char* block = static_cast<char*>(CVMem::Allocate(bytes, "vos/vbase/VMapSimple.cpp", __LINE__));
        if (block == nullptr) return nullptr;
        Assoc** table = reinterpret_cast<Assoc**>(block + offset);
        VCountedBlockCount(table) = static_cast<int32_t>(n);
        memset(static_cast<void*>(table), 0, sizeof(Assoc*) * static_cast<size_t>(n));
        return table;
    }

    static void FreeTable(Assoc** table) {
        if (table == nullptr) return;
        CVMem::Deallocate(reinterpret_cast<char*>(table) - VCountedBlockOffset<Assoc*>());
    }

    using Probe = typename Tr::Probe;

    static uint32_t BucketOf(const Map& m, const Probe& probe) { return Tr::ProbeHash(probe) % m.m_nBuckets; }

    static void InitHashTable(Map& m, unsigned int n, int allocNow) {
        // Zero buckets would make every bucket computation divide by zero.
        if (n == 0) return;
        if (m.m_nEntries > 0 && m.m_pBuckets != nullptr) {
            Rehash(m, n);
            return;
        }
        FreeTable(m.m_pBuckets);
        m.m_pBuckets = nullptr;
        if (allocNow) m.m_pBuckets = AllocateTable(n);
        m.m_nBuckets = n;
    }

    // A map that already holds entries keeps them: they move into the new
    // table. When the new table cannot be had the map stays as it was.
    static void Rehash(Map& m, uint32_t n) {
        Assoc** table = AllocateTable(n);
        if (table == nullptr) return;
        for (uint32_t b = 0; b < m.m_nBuckets; ++b) {
            Assoc* a = m.m_pBuckets[b];
            while (a != nullptr) {
                Assoc* next = a->pNext;
                const uint32_t bucket = Tr::HashStored(a) % n;
                Tr::SetIndex(a, bucket);
                a->pNext = table[bucket];
                table[bucket] = a;
                a = next;
            }
        }
        FreeTable(m.m_pBuckets);
        m.m_pBuckets = table;
        m.m_nBuckets = n;
    }

    static Assoc* GetAssocAt(const Map& m, Key key, unsigned int& bucket) {
        return Find(m, Tr::MakeProbe(key), bucket);
    }

    static Assoc* Find(const Map& m, const Probe& probe, unsigned int& bucket) {
        bucket = BucketOf(m, probe);
        if (m.m_pBuckets == nullptr) return nullptr;
        for (Assoc* a = m.m_pBuckets[bucket]; a != nullptr; a = a->pNext) {
            if (Tr::Equal(a, probe)) return a;
        }
        return nullptr;
    }

    static Assoc* NewAssoc(Map& m) {
        if (m.m_pFreeAssocs == nullptr) {
            CVPlex* block = CVPlex::Create(m.m_pBlockChain, static_cast<unsigned long>(m.m_nAssocsPerBlock),
                                           static_cast<unsigned long>(sizeof(Assoc)));
            if (block == nullptr) return nullptr;
            // Pushed last to first, so the block's first association goes out first.
            Assoc* first = static_cast<Assoc*>(block->data());
            for (int i = m.m_nAssocsPerBlock - 1; i >= 0; --i) {
                first[i].pNext = m.m_pFreeAssocs;
                m.m_pFreeAssocs = first + i;
            }
        }
        Assoc* a = m.m_pFreeAssocs;
        m.m_pFreeAssocs = a->pNext;
        ++m.m_nEntries;
        Tr::Init(a);
        return a;
    }

    static void FreeAssoc(Map& m, Assoc* a) {
        Tr::Destroy(a);
        a->pNext = m.m_pFreeAssocs;
        m.m_pFreeAssocs = a;
        --m.m_nEntries;
        if (m.m_nEntries == 0) RemoveAll(m);
    }

    // The association of the key, inserted when absent; null when memory for
    // the table, a block or the key's text cannot be had (the map is then as
    // it was).
    static Assoc* Insert(Map& m, Key key) {
        unsigned int bucket = 0;
        Assoc* a = Find(m, Tr::MakeProbe(key), bucket);
        if (a != nullptr) return a;
        if (m.m_pBuckets == nullptr) {
            InitHashTable(m, m.m_nBuckets, 1);
            if (m.m_pBuckets == nullptr) return nullptr;
        }
        a = NewAssoc(m);
        if (a == nullptr) {
            if (m.m_nEntries == 0) RemoveAll(m);
            return nullptr;
        }
        Tr::SetIndex(a, bucket);
        if (!Tr::StoreKey(a, key)) {
            FreeAssoc(m, a);
            return nullptr;
        }
        a->pNext = m.m_pBuckets[bucket];
        m.m_pBuckets[bucket] = a;
        return a;
    }

    static int RemoveKey(Map& m, Key key) {
        if (m.m_pBuckets == nullptr) return 0;
        const Probe probe = Tr::MakeProbe(key);
        Assoc** link = &m.m_pBuckets[BucketOf(m, probe)];
        for (Assoc* a = *link; a != nullptr; link = &a->pNext, a = a->pNext) {
            if (Tr::Equal(a, probe)) {
                *link = a->pNext;
                FreeAssoc(m, a);
                return 1;
            }
        }
        return 0;
    }

    static void RemoveAll(Map& m) {
        if (m.m_pBuckets != nullptr) {
            if (Tr::kHasStrings) {
                for (uint32_t b = 0; b < m.m_nBuckets; ++b) {
                    for (Assoc* a = m.m_pBuckets[b]; a != nullptr; a = a->pNext) Tr::Destroy(a);
                }
            }
            FreeTable(m.m_pBuckets);
            m.m_pBuckets = nullptr;
        }
        m.m_nEntries = 0;
        m.m_pFreeAssocs = nullptr;
        if (m.m_pBlockChain != nullptr) {
            m.m_pBlockChain->FreeDataChain();
            m.m_pBlockChain = nullptr;
        }
    }

    static void* StartPosition(const Map& m) { return m.m_nEntries == 0 ? nullptr : BeforeStart(); }

    // The association at the position, with the position moved to the next
    // one (null after the last). A null or exhausted position gives null.
    static Assoc* Next(const Map& m, void*& pos) {
        if (pos == nullptr) return nullptr;
        Assoc* current = nullptr;
        if (pos == BeforeStart()) {
            if (m.m_pBuckets != nullptr) {
                for (uint32_t b = 0; b < m.m_nBuckets && current == nullptr; ++b) current = m.m_pBuckets[b];
            }
            if (current == nullptr) {
                pos = nullptr;
                return nullptr;
            }
        } else {
            current = static_cast<Assoc*>(pos);
        }
        Assoc* next = current->pNext;
        if (next == nullptr) {
            for (uint32_t b = Tr::IndexOf(m, current) + 1; b < m.m_nBuckets && next == nullptr; ++b) {
                next = m.m_pBuckets[b];
            }
        }
        pos = next;
        return current;
    }
};

}  // namespace vmap

VOS_NAMESPACE_END

#endif  // VOS_VBASE_VMAPCORE_H
