/// @file
/// CVString: the library's string, UTF-16 text in unsigned 16-bit units.
///
/// Every string owns its own buffer (no sharing, no reference count), sized
/// exactly by copies and modifying operations; only a buffer grown by an
/// append keeps room to spare, which later appends fill without allocating.
/// A string without a buffer is empty and converts to a null pointer, not to
/// an empty text. Narrow text handed in is taken to be in the multibyte code
/// page (GBK), not UTF-8. Pointers from the conversion operators or GetBuffer
/// are valid until the next modifying operation. No locking: a string shared between threads needs its owner's lock.
#ifndef VOS_VSTRING_H
#define VOS_VSTRING_H

#include <stdint.h>

#include "vos/VDefine.h"
#include "vos/VStrFunc.h"

VOS_NAMESPACE_BEGIN

/// The header of a string buffer: the length in units, stored in the 32-bit
/// word just ahead of the first unit (the counted-block layout).
class CVStringData {
public:
    CVStringData() : nDataLength(0) {}
    /// Length of the text in units, without the terminating zero unit.
    int32_t nDataLength;
};

/// UTF-16 text in 16-bit units, owned in an exact-size buffer.
class VOS_API CVString {
public:
    CVString();
    /** @name Construction */
    ///@{
    /// Copies of a 16-bit text, a GBK text or another string; a null or empty
    /// source leaves the string without a buffer.
    CVString(const unsigned short* s);
    CVString(const char* s);
    CVString(const CVString& other);
    virtual ~CVString();
    ///@}

    /** @name Assignment */
    ///@{
    /// Replace the text by a copy of the source (GBK for narrow text); the source
    /// may point into this string's own text.
    CVString& operator=(const CVString& other);
    CVString& operator=(const char* s);
    CVString& operator=(const unsigned short* s);
    ///@}

    /** @name Length and single units */
    ///@{
    /// Length in units (both), 0 without a buffer; 1 or 0 for IsEmpty; Empty
    /// releases the buffer. GetAt gives 0 outside the text; SetAt ignores
    /// positions outside it.
    int GetLength() const;
    int GetCharCount() const;
    int IsEmpty() const;
    void Empty();
    unsigned short GetAt(int i) const;
    void SetAt(int i, int ch);
    ///@}
    /// No bounds check.
    unsigned short operator[](int i) const;

    /** @name The text */
    ///@{
    /// The text, or null for a string without a buffer (not an empty text).
    operator const unsigned short*() const { return m_pData; }
    operator unsigned short*() { return m_pData; }
    ///@}

    /** @name Buffer access */
    ///@{
    /// GetBuffer is the text advanced by n units and allocates nothing;
    /// ReleaseBuffer does nothing; GetBufferSetLength resizes to n units, keeping
    /// the start and zero-filling the rest, and returns the text (null when the
    /// allocation fails).
    unsigned short* GetBuffer(int n);
    void ReleaseBuffer();
    unsigned short* GetBufferSetLength(int n);
    ///@}

    /** @name Comparison */
    ///@{
    /// 0 when equal, negative when this string sorts first, positive otherwise;
    /// an empty string sorts before any non-empty one. The NoCase forms fold
    /// ASCII letters only; narrow arguments are GBK.
    int Compare(CVString other) const;
    int Compare(const unsigned short* s) const;
    int Compare(const char* s) const;
    int CompareNoCase(CVString other) const;
    int CompareNoCase(const unsigned short* s) const;
    int CompareNoCase(const char* s) const;
    ///@}

    /** @name Searching */
    ///@{
    /// The first position at or after start holding ch or beginning sub, the
    /// last one holding ch (ReverseFind), or the first one holding any unit of
    /// set (FindOneOf); -1 when there is none.
    int Find(int ch, int start = 0) const;
    int Find(const unsigned short* sub, int start = 0) const;
    int Find(const char* sub, int start = 0) const;
    int ReverseFind(int ch) const;
    int FindOneOf(const unsigned short* set) const;
    ///@}

    /** @name Substrings */
    ///@{
    /// Substrings by position and count; counts are cut to the text, and an out
    /// of range start gives an empty string.
    CVString Mid(int first) const;
    CVString Mid(int first, int count) const;
    CVString Left(int n) const;
    CVString Right(int n) const;
    ///@}

    /** @name Appending */
    ///@{
    /// Appends in the buffer's room to spare, or through one grown buffer;
    /// narrow text is GBK.
    CVString& operator+=(const CVString& s);
    CVString& operator+=(unsigned short ch);
    CVString& operator+=(const unsigned short* s);
    CVString& operator+=(const char* s);
    ///@}

    /** @name Case and order */
    ///@{
    /// Change the case of ASCII letters, or reverse the units, in place.
    void MakeUpper();
    void MakeLower();
    void MakeReverse();
    ///@}

    /** @name Trimming */
    ///@{
    /// Remove the leading or trailing run of spaces (unit 32), of units equal to
    /// c, or of units that occur in set.
    void TrimLeft();
    void TrimRight();
    void TrimLeft(unsigned char c);
    void TrimRight(unsigned char c);
    void TrimLeft(const unsigned short* set);
    void TrimRight(const unsigned short* set);
    ///@}

    /** @name Editing */
    ///@{
    /// Replace gives the number of replacements; Delete the new length; Insert
    /// the new length + 1, 0 when the string was empty (it becomes the inserted
    /// text), -1 when nothing could be inserted.
    int Replace(unsigned short from, unsigned short to);
    int Replace(const unsigned short* from, const unsigned short* to);
    int Delete(int index, int count = 1);
    int Insert(int index, unsigned short ch);
    int Insert(int index, const unsigned short* s);
    ///@}

    /// The result is cut at 511 units; %s takes a narrow char* argument.
    void Format(const unsigned short* format, ...);

    /// Allocates a zero-filled buffer for length units without releasing the
    /// previous one; 1, or 0 with m_pData null.
    int AllocateData(int length);
    /// Frees the buffer and leaves the string without one.
    void ReleaseData();

    /// The first unit of the text, just past the buffer's length word; null
    /// when the string has no buffer.
    unsigned short* m_pData;

private:
    /// Replaces the text by a copy of count units of s (no buffer when count
    /// is 0); s may point into the current text.
    void AssignUnits(const unsigned short* s, int count);
    /// Appends count units of s in the room to spare or through one grown
    /// buffer.
    void AppendUnits(const unsigned short* s, int count);
    /// Inserts count units of s before index (clamped); the new length + 1,
    /// or -1 with the string unchanged.
    int InsertUnits(int index, const unsigned short* s, int count);
    /// Remove the leading, respectively trailing, run of units that trimmed
    /// accepts, through a new buffer.
    void TrimLeftWhere(bool (*trimmed)(unsigned short, const void*), const void* arg);
    void TrimRightWhere(bool (*trimmed)(unsigned short, const void*), const void* arg);
};

/** @name Concatenation */
///@{
/// A new string holding a followed by b; narrow text is GBK.
VOS_API CVString operator+(const CVString& a, const CVString& b);
VOS_API CVString operator+(const CVString& a, const char* b);
VOS_API CVString operator+(const CVString& a, const unsigned short* b);
VOS_API CVString operator+(const char* a, const CVString& b);
VOS_API CVString operator+(const unsigned short* a, const CVString& b);
///@}

VOS_NAMESPACE_END

#endif  // VOS_VSTRING_H
