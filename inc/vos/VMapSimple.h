/// @file
/// Hash maps: five separately chained maps, one class per pair of key and value
/// types (CVMapWordToPtr, CVMapStringToPtr, CVMapPtrToPtr, CVMapDWordToString,
/// CVMapStringToString).
///
/// Rules a caller must know:
/// - No map takes a lock; an owner sharing one between threads guards it.
/// - The bucket table (17 buckets unless InitHashTable is called) is allocated
///   on the first insertion and never resized by itself; associations come from
///   blocks of the constructor's size and are recycled through a free list. The
///   last removal releases the table and every block.
/// - A string key is looked up by its zero-terminated UTF-16 text; a null text
///   is the empty text.
/// - Iteration: GetStartPosition gives null for an empty map; GetNextAssoc
///   hands out the entries in ascending bucket order, the most recently inserted
///   first within a bucket, and leaves null in the position after the last one.
///   Do not remove the entry the position points at while iterating.
/// - When memory cannot be had an insertion inserts nothing: operator[] then
///   gives a scratch value that belongs to no map, and GetCount is unchanged.
#ifndef VOS_VMAPSIMPLE_H
#define VOS_VMAPSIMPLE_H

#include "vos/VDefine.h"
#include "vos/VString.h"
#include "vos/VTempl.h"

VOS_NAMESPACE_BEGIN

/// A map from 16-bit keys to pointers.
class VOS_API CVMapWordToPtr {
public:
    /// One entry: the link to the next entry of its bucket, then key and value.
    struct CAssoc {
        ///@{
        /// The next association of the same bucket (or of the free list), the key
        /// and the value.
        CAssoc* pNext;
        unsigned short key;
        void* value;
        ///@}
    };

    /// An empty map whose associations come in blocks of nBlockSize.
    explicit CVMapWordToPtr(int nBlockSize = 10);
    /// Frees the bucket table and every block of associations.
    virtual ~CVMapWordToPtr();

    /** @name Size */
    ///@{
    /// The number of entries; 1 when there is none; the number of buckets (0
    /// before the table exists). InitHashTable sets the bucket count for a map
    /// that is still empty and, with bAllocNow, allocates the table at once.
    int GetCount() const { return m_nEntries; }
    int IsEmpty() const { return m_nEntries == 0 ? 1 : 0; }
    unsigned int GetHashTableSize() const { return m_nBuckets; }
    void InitHashTable(unsigned int nHashSize, int bAllocNow = 1);
    ///@}

    /// 1 and the value when the key is present; 0 and rValue unchanged otherwise.
    int Lookup(unsigned short key, void*& rValue) const;
    /** @name Insertion and removal */
    ///@{
    /// operator[] gives the value of key, inserting a null one first when the
    /// key is missing; SetAt stores a value under key; RemoveKey gives 1 when it
    /// removed the key, else 0; RemoveAll empties the map and frees its memory.
    void*& operator[](unsigned short key);
    void SetAt(unsigned short key, void* newValue);
    int RemoveKey(unsigned short key);
    void RemoveAll();
    ///@}

    /** @name Iteration */
    ///@{
    /// GetStartPosition gives the first position, null for an empty map;
    /// GetNextAssoc hands out the entry at rNextPosition and advances it (null
    /// after the last entry).
    void* GetStartPosition() const;
    void GetNextAssoc(void*& rNextPosition, unsigned short& rKey, void*& rValue) const;
    ///@}

    /** @name Internals shared with the implementation */
    ///@{
    /// GetAssocAt finds the association of key and the bucket it hashes to;
    /// NewAssoc takes an association from the free list (growing it by a block);
    /// FreeAssoc returns one to it.
    CAssoc* GetAssocAt(unsigned short key, unsigned int& nHash) const;
    CAssoc* NewAssoc();
    void FreeAssoc(CAssoc* pAssoc);
    ///@}

    /** @name State */
    ///@{
    /// The bucket table and its size, the entry count, the free list, the
    /// associations per block and the chain of blocks.
    CAssoc** m_pBuckets;
    uint32_t m_nBuckets;
    int32_t m_nEntries;
    CAssoc* m_pFreeAssocs;
    int32_t m_nAssocsPerBlock;
    CVPlex* m_pBlockChain;
    ///@}

private:
    CVMapWordToPtr(const CVMapWordToPtr&);
    CVMapWordToPtr& operator=(const CVMapWordToPtr&);
};

/// A map from pointers to pointers; keys are hashed by address.
class VOS_API CVMapPtrToPtr {
public:
    /// One entry: the link to the next entry of its bucket, then key and value.
    struct CAssoc {
        ///@{
        /// The next association of the same bucket (or of the free list), the key
        /// and the value.
        CAssoc* pNext;
        void* key;
        void* value;
        ///@}
    };

    /// An empty map whose associations come in blocks of nBlockSize.
    explicit CVMapPtrToPtr(int nBlockSize = 10);
    /// Frees the bucket table and every block of associations.
    virtual ~CVMapPtrToPtr();

    /** @name Size */
    ///@{
    /// The number of entries; 1 when there is none; the number of buckets (0
    /// before the table exists). InitHashTable sets the bucket count for a map
    /// that is still empty and, with bAllocNow, allocates the table at once.
    int GetCount() const { return m_nEntries; }
    int IsEmpty() const { return m_nEntries == 0 ? 1 : 0; }
    unsigned int GetHashTableSize() const { return m_nBuckets; }
    void InitHashTable(unsigned int nHashSize, int bAllocNow = 1);
    ///@}

    /// 1 and the value when the key is present; 0 and rValue unchanged otherwise.
    int Lookup(void* key, void*& rValue) const;
    /// The value of the key, or null when the key is absent.
    void* GetValueAt(void* key) const;
    /** @name Insertion and removal */
    ///@{
    /// operator[] gives the value of key, inserting a null one first when the
    /// key is missing; SetAt stores a value under key; RemoveKey gives 1 when it
    /// removed the key, else 0; RemoveAll empties the map and frees its memory.
    void*& operator[](void* key);
    void SetAt(void* key, void* newValue);
    int RemoveKey(void* key);
    void RemoveAll();
    ///@}

    /** @name Iteration */
    ///@{
    /// GetStartPosition gives the first position, null for an empty map;
    /// GetNextAssoc hands out the entry at rNextPosition and advances it (null
    /// after the last entry).
    void* GetStartPosition() const;
    void GetNextAssoc(void*& rNextPosition, void*& rKey, void*& rValue) const;
    ///@}

    /** @name Internals shared with the implementation */
    ///@{
    /// GetAssocAt finds the association of key and the bucket it hashes to;
    /// NewAssoc takes an association from the free list (growing it by a block);
    /// FreeAssoc returns one to it.
    CAssoc* GetAssocAt(void* key, unsigned int& nHash) const;
    CAssoc* NewAssoc();
    void FreeAssoc(CAssoc* pAssoc);
    ///@}

    /** @name State */
    ///@{
    /// The bucket table and its size, the entry count, the free list, the
    /// associations per block and the chain of blocks.
    CAssoc** m_pBuckets;
    uint32_t m_nBuckets;
    int32_t m_nEntries;
    CAssoc* m_pFreeAssocs;
    int32_t m_nAssocsPerBlock;
    CVPlex* m_pBlockChain;
    ///@}

private:
    CVMapPtrToPtr(const CVMapPtrToPtr&);
    CVMapPtrToPtr& operator=(const CVMapPtrToPtr&);
};

/// A map from unsigned long keys to strings.
class VOS_API CVMapDWordToString {
public:
    /// One entry: the link to the next entry of its bucket, then key and value.
    struct CAssoc {
        ///@{
        /// The next association of the same bucket (or of the free list), the key
        /// and the value.
        CAssoc* pNext;
        uint32_t nHashValue;  ///< the bucket the association was inserted into
        unsigned long key;
        CVString value;
        ///@}
    };

    /// An empty map whose associations come in blocks of nBlockSize.
    explicit CVMapDWordToString(int nBlockSize = 10);
    /// Frees the bucket table and every block of associations.
    virtual ~CVMapDWordToString();

    /** @name Size */
    ///@{
    /// The number of entries; 1 when there is none; the number of buckets (0
    /// before the table exists). InitHashTable sets the bucket count for a map
    /// that is still empty and, with bAllocNow, allocates the table at once.
    int GetCount() const { return m_nEntries; }
    int IsEmpty() const { return m_nEntries == 0 ? 1 : 0; }
    unsigned int GetHashTableSize() const { return m_nBuckets; }
    void InitHashTable(unsigned int nHashSize, int bAllocNow = 1);
    ///@}

    /// 1 and the value when the key is present; 0 and rValue unchanged otherwise.
    int Lookup(unsigned long key, CVString& rValue) const;
    /// 1 and the stored key when the key is present.
    int LookupKey(unsigned long key, unsigned long& rKey) const;
    /** @name Insertion and removal */
    ///@{
    /// operator[] gives the value of key, inserting an empty one first when the
    /// key is missing; SetAt stores a value under key; RemoveKey gives 1 when it
    /// removed the key, else 0; RemoveAll empties the map and frees its memory.
    CVString& operator[](unsigned long key);
    void SetAt(unsigned long key, unsigned short const* newValue);
    int RemoveKey(unsigned long key);
    void RemoveAll();
    ///@}

    /** @name Iteration */
    ///@{
    /// GetStartPosition gives the first position, null for an empty map;
    /// GetNextAssoc hands out the entry at rNextPosition and advances it (null
    /// after the last entry).
    void* GetStartPosition() const;
    void GetNextAssoc(void*& rNextPosition, unsigned long& rKey, CVString& rValue) const;
    ///@}

    /** @name Internals shared with the implementation */
    ///@{
    /// GetAssocAt finds the association of key and the bucket it hashes to;
    /// NewAssoc takes an association from the free list (growing it by a block);
    /// FreeAssoc returns one to it.
    CAssoc* GetAssocAt(unsigned long key, unsigned int& nHash) const;
    CAssoc* NewAssoc();
    void FreeAssoc(CAssoc* pAssoc);
    ///@}

    /** @name State */
    ///@{
    /// The bucket table and its size, the entry count, the free list, the
    /// associations per block and the chain of blocks.
    CAssoc** m_pBuckets;
    uint32_t m_nBuckets;
    int32_t m_nEntries;
    CAssoc* m_pFreeAssocs;
    int32_t m_nAssocsPerBlock;
    CVPlex* m_pBlockChain;
    ///@}

private:
    CVMapDWordToString(const CVMapDWordToString&);
    CVMapDWordToString& operator=(const CVMapDWordToString&);
};

/// A map from strings (by their UTF-16 text) to pointers.
class VOS_API CVMapStringToPtr {
public:
    /// One entry: the link to the next entry of its bucket, then key and value.
    struct CAssoc {
        ///@{
        /// The next association of the same bucket (or of the free list), the key
        /// and the value.
        CAssoc* pNext;
        uint32_t nHashValue;  ///< the bucket the association was inserted into
        CVString key;
        void* value;
        ///@}
    };

    /// An empty map whose associations come in blocks of nBlockSize.
    explicit CVMapStringToPtr(int nBlockSize = 10);
    /// An empty map of 17 buckets and 10 associations per block holding the
    /// source's entries.
    CVMapStringToPtr(const CVMapStringToPtr& other);
    /// Frees the bucket table and every block of associations.
    virtual ~CVMapStringToPtr();
    /// Replaces the entries by the source's; keeps this map's bucket count and
    /// block size. Assigning a map to itself changes nothing.
    void operator=(const CVMapStringToPtr& other);

    /** @name Size */
    ///@{
    /// The number of entries; 1 when there is none; the number of buckets (0
    /// before the table exists). InitHashTable sets the bucket count for a map
    /// that is still empty and, with bAllocNow, allocates the table at once.
    int GetCount() const { return m_nEntries; }
    int IsEmpty() const { return m_nEntries == 0 ? 1 : 0; }
    unsigned int GetHashTableSize() const { return m_nBuckets; }
    void InitHashTable(unsigned int nHashSize, int bAllocNow = 1);
    ///@}

    /// h = h * 33 + unit over the text, wrapping in 32 bits; 0 for null.
    static unsigned int HashKey(unsigned short const* key);

    /// 1 and the value when the key is present; 0 and rValue unchanged otherwise.
    int Lookup(unsigned short const* key, void*& rValue) const;
    /// 1 and the stored key's text (never null) when the key is present.
    int LookupKey(unsigned short const* key, unsigned short const*& rKey) const;
    /** @name Insertion and removal */
    ///@{
    /// operator[] gives the value of key, inserting a null one first when the
    /// key is missing; SetAt stores a value under key; RemoveKey gives 1 when it
    /// removed the key, else 0; RemoveAll empties the map and frees its memory.
    void*& operator[](unsigned short const* key);
    void SetAt(unsigned short const* key, void* newValue);
    int RemoveKey(unsigned short const* key);
    void RemoveAll();
    ///@}

    /** @name Iteration */
    ///@{
    /// GetStartPosition gives the first position, null for an empty map;
    /// GetNextAssoc hands out the entry at rNextPosition and advances it (null
    /// after the last entry).
    void* GetStartPosition() const;
    void GetNextAssoc(void*& rNextPosition, CVString& rKey, void*& rValue) const;
    ///@}

    /** @name Internals shared with the implementation */
    ///@{
    /// GetAssocAt finds the association of key and the bucket it hashes to;
    /// NewAssoc takes an association from the free list (growing it by a block);
    /// FreeAssoc returns one to it.
    CAssoc* GetAssocAt(unsigned short const* key, unsigned int& nHash) const;
    CAssoc* NewAssoc();
    void FreeAssoc(CAssoc* pAssoc);
    ///@}

    /** @name State */
    ///@{
    /// The bucket table and its size, the entry count, the free list, the
    /// associations per block and the chain of blocks.
    CAssoc** m_pBuckets;
    uint32_t m_nBuckets;
    int32_t m_nEntries;
    CAssoc* m_pFreeAssocs;
    int32_t m_nAssocsPerBlock;
    CVPlex* m_pBlockChain;
    ///@}
};

/// A map from strings (by their UTF-16 text) to strings.
class VOS_API CVMapStringToString {
public:
    /// One entry: the link to the next entry of its bucket, then key and value.
    struct CAssoc {
        ///@{
        /// The next association of the same bucket (or of the free list), the key
        /// and the value.
        CAssoc* pNext;
        uint32_t nHashValue;  ///< the bucket the association was inserted into
        CVString key;
        CVString value;
        ///@}
    };

    /// An empty map whose associations come in blocks of nBlockSize.
    explicit CVMapStringToString(int nBlockSize = 10);
    /// Frees the bucket table and every block of associations.
    virtual ~CVMapStringToString();

    /** @name Size */
    ///@{
    /// The number of entries; 1 when there is none; the number of buckets (0
    /// before the table exists). InitHashTable sets the bucket count for a map
    /// that is still empty and, with bAllocNow, allocates the table at once.
    int GetCount() const { return m_nEntries; }
    int IsEmpty() const { return m_nEntries == 0 ? 1 : 0; }
    unsigned int GetHashTableSize() const { return m_nBuckets; }
    void InitHashTable(unsigned int nHashSize, int bAllocNow = 1);
    ///@}

    /// h = h * 33 + unit over the text, wrapping in 32 bits; 0 for null.
    static unsigned int HashKey(unsigned short const* key);

    /// 1 and the value when the key is present; 0 and rValue unchanged otherwise.
    int Lookup(unsigned short const* key, CVString& rValue) const;
    /// 1 and the stored key's text (never null) when the key is present.
    int LookupKey(unsigned short const* key, unsigned short const*& rKey) const;
    /** @name Insertion and removal */
    ///@{
    /// operator[] gives the value of key, inserting an empty one first when the
    /// key is missing; SetAt stores a value under key; RemoveKey gives 1 when it
    /// removed the key, else 0; RemoveAll empties the map and frees its memory.
    CVString& operator[](unsigned short const* key);
    void SetAt(unsigned short const* key, unsigned short const* newValue);
    int RemoveKey(unsigned short const* key);
    void RemoveAll();
    ///@}

    /** @name Iteration */
    ///@{
    /// GetStartPosition gives the first position, null for an empty map;
    /// GetNextAssoc hands out the entry at rNextPosition and advances it (null
    /// after the last entry).
    void* GetStartPosition() const;
    void GetNextAssoc(void*& rNextPosition, CVString& rKey, CVString& rValue) const;
    ///@}

    /** @name Internals shared with the implementation */
    ///@{
    /// GetAssocAt finds the association of key and the bucket it hashes to;
    /// NewAssoc takes an association from the free list (growing it by a block);
    /// FreeAssoc returns one to it.
    CAssoc* GetAssocAt(unsigned short const* key, unsigned int& nHash) const;
    CAssoc* NewAssoc();
    void FreeAssoc(CAssoc* pAssoc);
    ///@}

    /** @name State */
    ///@{
    /// The bucket table and its size, the entry count, the free list, the
    /// associations per block and the chain of blocks.
    CAssoc** m_pBuckets;
    uint32_t m_nBuckets;
    int32_t m_nEntries;
    CAssoc* m_pFreeAssocs;
    int32_t m_nAssocsPerBlock;
    CVPlex* m_pBlockChain;
    ///@}

private:
    CVMapStringToString(const CVMapStringToString&);
    CVMapStringToString& operator=(const CVMapStringToString&);
};

VOS_NAMESPACE_END

#endif  // VOS_VMAPSIMPLE_H
