/// @file
/// Containers: the dynamic array CVArray, the element helpers
/// VConstructElements / VDestructElements, and the block allocator CVPlex that
/// feeds the hash maps of VMapSimple.h.
///
/// Rules a caller must know:
/// - No bounds are tested and no lock is taken: indices are the caller's, and
///   an owner sharing an array between threads guards it with its own mutex.
/// - Elements move by byte copies (memcpy/memmove), never by copy
///   construction, so an element type must be relocatable by copying its bytes.
/// - A buffer grows by the owner's fixed step, or, with step 0, by one eighth
///   of the size (at least 4, at most 1024 slots); it never shrinks except when
///   the size goes to 0. When memory cannot be had the array stays as it was:
///   Add then gives -1 and SetSize / SetAtGrow change nothing.
#ifndef VOS_VTEMPL_H
#define VOS_VTEMPL_H

#include <new>
#include <string.h>
#include <type_traits>

#include "vos/VDefine.h"
#include "vos/VMem.h"

VOS_NAMESPACE_BEGIN

/// Zeroes the bytes of n elements, then default-constructs them first to last.
template <typename T>
inline void VConstructElements(T* p, int n) {
    if (p == nullptr || n <= 0) return;
    memset(static_cast<void*>(p), 0, static_cast<size_t>(n) * sizeof(T));
    for (int i = 0; i < n; ++i) ::new (static_cast<void*>(p + i)) T;
}

/// Runs the destructor of n elements in place, first to last; frees nothing.
template <typename T>
inline void VDestructElements(T* p, int n) {
    if (p == nullptr || n <= 0) return;
    for (int i = 0; i < n; ++i) p[i].~T();
}

/// The array keeps integers, pointers and plain records without calling the
/// element helpers: new slots are zero-filled, dropped ones simply forgotten.
/// A plain record whose helpers must run anyway specialises this to false.
template <typename T>
struct VIsPlainElement : std::integral_constant<bool, std::is_trivial<T>::value> {};

/// A growable array of T (A is the argument type of Add and SetAtGrow, T or
/// T&); elements move by byte copies.
template <typename T, typename A>
class CVArray {
public:
    CVArray() : m_pElements(nullptr), m_nSize(0), m_nCapacity(0), m_nGrowStep(0) {}
    virtual ~CVArray() {
        if (m_pElements != nullptr) {
            DestroySlots(0, m_nSize);
            CVMem::Deallocate(m_pElements);
        }
    }

    /** @name Access */
    ///@{
    /// The element count, the elements, and one element without a bounds check.
    int GetSize() const { return m_nSize; }
    T* GetData() { return m_pElements; }
    const T* GetData() const { return m_pElements; }
    T& operator[](int index) { return m_pElements[index]; }
    const T& operator[](int index) const { return m_pElements[index]; }
    ///@}

    /// Sets the element count (new elements zero-filled or default-built) and,
    /// when growStep is not -1, the step the buffer grows by.
    void SetSize(int newSize, int growStep = -1) {
        T* retired = nullptr;
        if (Resize(newSize, growStep, retired) && retired != nullptr) CVMem::Deallocate(retired);
    }

    /// The index the element was stored at (the size before the call), or -1
    /// when the buffer could not grow.
    int Add(A value) {
        const int index = m_nSize;
        if (index < m_nCapacity) {
            ConstructSlots(index, 1);
            m_nSize = index + 1;
            m_pElements[index] = value;
            return index;
        }
        if constexpr (VIsPlainElement<T>::value) {
            // The value may live in the buffer that growth moves.
            const T copy = value;
            T* retired = nullptr;
            if (!Resize(index + 1, -1, retired)) return -1;
            m_pElements[index] = copy;
        } else {
            // The value may live in the old buffer: it is released only after
            // the assignment has read it.
            T* retired = nullptr;
            if (!Resize(index + 1, -1, retired)) return -1;
            m_pElements[index] = value;
            if (retired != nullptr) CVMem::Deallocate(retired);
        }
        return index;
    }

    /// Stores value at index, growing the array first when index is past its end.
    void SetAtGrow(int index, A value) {
        if (index < 0) return;
        if (index < m_nSize) {
            m_pElements[index] = value;
            return;
        }
        if constexpr (VIsPlainElement<T>::value) {
            const T copy = value;
            T* retired = nullptr;
            if (!Resize(index + 1, -1, retired)) return;
            m_pElements[index] = copy;
        } else {
            T* retired = nullptr;
            if (!Resize(index + 1, -1, retired)) return;
            m_pElements[index] = value;
            if (retired != nullptr) CVMem::Deallocate(retired);
        }
    }

    /// Removes count elements from index on; later elements move down.
    void RemoveAt(int index, int count = 1) {
        if (count <= 0) return;
        DestroySlots(index, count);
        const int tail = m_nSize - index - count;
        if (tail != 0) {
            memmove(static_cast<void*>(m_pElements + index), static_cast<const void*>(m_pElements + index + count),
                    static_cast<size_t>(tail) * sizeof(T));
        }
        m_nSize -= count;
    }

    /** @name Storage */
    ///@{
    /// The elements, their count, the slots allocated and the grow step.
    T* m_pElements;
    int32_t m_nSize;
    int32_t m_nCapacity;
    int32_t m_nGrowStep;
    ///@}

private:
    CVArray(const CVArray&);
    CVArray& operator=(const CVArray&);

    static T* AllocateSlots(int32_t count) {
        // Refuses sizes whose byte count would not fit the allocator's argument.
        if (count <= 0 || static_cast<unsigned long>(count) > static_cast<unsigned long>(-1) / sizeof(T)) return nullptr;
        return static_cast<T*>(
            CVMem::Allocate(static_cast<unsigned long>(count) * sizeof(T), "inc/vos/VTempl.h", __LINE__));
    }

    void ConstructSlots(int first, int count) {
        if (count <= 0) return;
        if constexpr (VIsPlainElement<T>::value) {
            memset(static_cast<void*>(m_pElements + first), 0, static_cast<size_t>(count) * sizeof(T));
        } else {
            VConstructElements<T>(m_pElements + first, count);
        }
    }

    void DestroySlots(int first, int count) {
        if constexpr (!VIsPlainElement<T>::value) VDestructElements<T>(m_pElements + first, count);
    }

    /// Applies the growth rule. A buffer of class elements given up by growth is
    /// handed back in retired (its elements already live in the new buffer) so
    /// that the caller can still read an argument that pointed into it. Gives 0, with nothing
    /// changed but the grow step, when memory cannot be had.
    int Resize(int newSize, int growStep, T*& retired) {
        retired = nullptr;
        if (growStep != -1) m_nGrowStep = growStep;
        if (newSize < 0) return 0;
        if (newSize == 0) {
            if (m_pElements != nullptr) {
                DestroySlots(0, m_nSize);
                CVMem::Deallocate(m_pElements);
            }
            m_pElements = nullptr;
            m_nCapacity = 0;
            m_nSize = 0;
            return 1;
        }
        if (m_pElements == nullptr) {
            T* fresh = AllocateSlots(newSize);
            if (fresh == nullptr) return 0;
            m_pElements = fresh;
            ConstructSlots(0, newSize);
            m_nSize = newSize;
            m_nCapacity = newSize;
            return 1;
        }
        if (newSize <= m_nCapacity) {
            if (newSize > m_nSize) {
                ConstructSlots(m_nSize, newSize - m_nSize);
            } else if (newSize < m_nSize) {
                DestroySlots(newSize, m_nSize - newSize);
            }
            m_nSize = newSize;
            return 1;
        }
        int32_t step = m_nGrowStep;
        if (step == 0) {
            step = m_nSize / 8;
            if (step < 4) step = 4;
            if (step > 1024) step = 1024;
        }
        int32_t newCapacity;
        if (step < 0 || m_nCapacity > INT32_MAX - step) {
            newCapacity = newSize;
        } else {
            newCapacity = m_nCapacity + step;
            if (newCapacity < newSize) newCapacity = newSize;
        }
        T* fresh;
        if constexpr (VIsPlainElement<T>::value) {
            // Plain elements move by the heap's own byte move, which can often
            // extend the block in place instead of copying it.
            if (static_cast<unsigned long>(newCapacity) > static_cast<unsigned long>(-1) / sizeof(T)) return 0;
            fresh = static_cast<T*>(
                CVMem::Reallocate(m_pElements, static_cast<unsigned long>(newCapacity) * sizeof(T)));
            if (fresh == nullptr) return 0;
        } else {
            fresh = AllocateSlots(newCapacity);
            if (fresh == nullptr) return 0;
            memcpy(static_cast<void*>(fresh), static_cast<const void*>(m_pElements),
                   static_cast<size_t>(m_nSize) * sizeof(T));
            retired = m_pElements;
        }
        m_pElements = fresh;
        ConstructSlots(m_nSize, newSize - m_nSize);
        m_nSize = newSize;
        m_nCapacity = newCapacity;
        return 1;
    }
};

/// Header of one block of the hash maps' associations: the link to the next
/// block of the chain, directly followed by the associations' storage.
struct VOS_API CVPlex {
    /// The next block of the chain.
    CVPlex* pNext;

    /// The storage just past this header.
    void* data() { return this + 1; }

    /// A block for n elements of size bytes each, put at the head of the chain;
    /// null (chain untouched) when memory cannot be had.
    static CVPlex* Create(CVPlex*& head, unsigned long n, unsigned long size);
    /// Releases this block and every block after it.
    void FreeDataChain();
};

VOS_NAMESPACE_END

#endif  // VOS_VTEMPL_H
