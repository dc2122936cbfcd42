/// @file
/// Base definitions shared by every public header of vos: the export macro,
/// the namespace macros and the fixed-width types.
///
/// Everything the library exports carries VOS_API; the rest of the shared
/// object is built with hidden visibility. Classes and functions of the
/// library live in the namespace _palex_zu, except the few global ones each
/// header names.
#ifndef VOS_VDEFINE_H
#define VOS_VDEFINE_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
/// Marks what the shared object exports; everything else stays hidden.
#define VOS_API
#else
/// Marks what the shared object exports; everything else stays hidden.
#define VOS_API __attribute__((visibility("default")))
#endif

/** @name Namespace brackets */
///@{
/// Open and close the library's namespace, _palex_zu.
#define VOS_NAMESPACE_BEGIN namespace _palex_zu {
#define VOS_NAMESPACE_END }
///@}

/// The source position handed to CVMem and the last-error store.
#define VOS_HERE __FILE__, __LINE__

#endif  // VOS_VDEFINE_H
