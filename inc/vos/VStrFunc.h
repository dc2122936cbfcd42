/// @file
/// Text primitives: zero-terminated 16-bit strings and a few narrow helpers.
///
/// The library's text is UTF-16 in unsigned 16-bit units, never the platform's
/// wide character. The functions below carry the familiar wide-string names but
/// take and return unsigned short strings; they are global overloads beside the
/// C library's wchar_t functions, and the library only ever calls these. Case
/// folding is ASCII-only and white space is the space character alone. No
/// function checks its string pointers: a null string is a caller error (the
/// optional `used` out-parameters may be null).
#ifndef VOS_VSTRFUNC_H
#define VOS_VSTRFUNC_H

#include <stdarg.h>

#include <type_traits>

#include "vos/VDefine.h"

/// Length, copy and search.
VOS_API int wcslen(const unsigned short* s);
/// Returns the address of the terminator written into dst, not dst itself.
VOS_API unsigned short* wcscpy(unsigned short* dst, const unsigned short* src);
/// Appends src to dst; returns dst.
VOS_API unsigned short* wcscat(unsigned short* dst, const unsigned short* src);
/// Writes at most count units; adds a terminator only when src ends first.
VOS_API unsigned short* wcsncpy(unsigned short* dst, const unsigned short* src, int count);
/** @name Searching */
///@{
/// The first, respectively last, unit c in s; the first occurrence of sub;
/// the first unit of s that occurs in set. Null when there is none.
VOS_API unsigned short* wcschr(const unsigned short* s, unsigned short c);
VOS_API unsigned short* wcsrchr(const unsigned short* s, unsigned short c);
VOS_API unsigned short* wcsstr(const unsigned short* s, const unsigned short* sub);
VOS_API unsigned short* wcspbrk(const unsigned short* s, const unsigned short* set);
///@}

/// Comparison.
/// -1, 0 or 1.
VOS_API int wcscmp(const unsigned short* a, const unsigned short* b);
/// The raw difference of the units where the comparison stopped.
VOS_API int V_wcsncmp(const unsigned short* a, const unsigned short* b, int count);
/// A signed difference; a letter and a non-letter order by their raw units.
VOS_API int _wcsicmp(const unsigned short* a, const unsigned short* b);

/** @name Case and order */
///@{
/// In place, ASCII letters only; each returns its argument.
VOS_API unsigned short* _wcsupr(unsigned short* s);
VOS_API unsigned short* _wcslwr(unsigned short* s);
VOS_API unsigned short* _wcsrev(unsigned short* s);
///@}

/** @name Character classes */
///@{
/// The space (32) only counts as white space.
VOS_API int iswspace(unsigned short c);
VOS_API int VIsSpace(int c);
///@}

/// Where the platform's iswspace(wint_t) is also visible, a call with an int,
/// char or char16_t argument would be ambiguous between the two; these forms
/// take such arguments exactly and test them as a 16-bit unit. wchar_t and
/// wint_t arguments are left to the platform function.
template <typename T, typename = typename std::enable_if<
                          std::is_same<T, int>::value || std::is_same<T, char>::value ||
                          std::is_same<T, signed char>::value || std::is_same<T, unsigned char>::value ||
                          std::is_same<T, short>::value || std::is_same<T, char16_t>::value>::type>
inline int iswspace(T c) {
    return iswspace(static_cast<unsigned short>(c));
}

/** @name Number parsing */
///@{
/// No white space skipped, no '+', values wrap in 32 bits; decimal, or
/// hexadecimal for V_wtol16; used receives the units read.
VOS_API int _wtoi(const unsigned short* s);
VOS_API int _wtol(const unsigned short* s, int* used);
VOS_API int V_wtol16(const unsigned short* s, int* used);
///@}
/// Base 10 or 16 only; any other base gives 0 and leaves *end unchanged.
VOS_API int _vcstol(const unsigned short* s, unsigned short** end, int base);

/// Formats through the narrow vsprintf (so %s takes a narrow char*), converting
/// format and result with the multibyte code page. buffer must hold 512 units;
/// the result is cut at 511 units and always terminated, and a format longer
/// than 511 bytes is cut at a character boundary before formatting.
VOS_API int vswprintf(unsigned short* buffer, const unsigned short* format, va_list args);

// Narrow helpers. A byte 0x80-0xFF followed by a non-zero byte leads a
// two-byte character of the multibyte code page; nothing is read past the
// terminator.

/** @name Case */
///@{
/// ASCII letters of s changed in place, two-byte characters left alone;
/// returns s.
VOS_API char* V_strupr(char* s);
VOS_API char* V_strlwr(char* s);
///@}
/// 0 when a ends first (a prefix compares equal), else the byte difference.
VOS_API int V_stricmp(const char* a, const char* b);
/// Reverses characters, keeping each two-byte character's byte order; null
/// when no temporary buffer can be had.
VOS_API char* V_strrev(char* s);
/// Compares at most count bytes without regard to ASCII case: 0 or the
/// difference of the first unequal bytes, both folded to lower case.
VOS_API int _strnicmp(const unsigned char* a, const unsigned char* b, int count);

#endif  // VOS_VSTRFUNC_H
