/// @file
/// Version: the release of vos a program was compiled against and the one it
/// runs with.
///
/// The numbers below are the project's only version: CMake reads them from
/// this header, so the package version, the shared object's version and these
/// macros always agree. Compare VOS_VERSION_NUMBER at compile time; ask
/// V_GetVersion at run time when the loaded library may be newer.
#ifndef VOS_VVERSION_H
#define VOS_VVERSION_H

#include "vos/VDefine.h"

/// Major version: changes when the exported interface changes incompatibly.
#define VOS_VERSION_MAJOR 0
/// Minor version: changes when the interface grows compatibly.
#define VOS_VERSION_MINOR 1
/// Patch version: fixes only.
#define VOS_VERSION_PATCH 0

/// The version as one number, 10000 * major + 100 * minor + patch.
#define VOS_VERSION_NUMBER (VOS_VERSION_MAJOR * 10000 + VOS_VERSION_MINOR * 100 + VOS_VERSION_PATCH)

/** @name Helpers */
///@{
/// Turn a number macro into text, expanding it first.
#define VOS_VERSION_STR2_(x) #x
#define VOS_VERSION_STR_(x) VOS_VERSION_STR2_(x)
///@}
/// The version as text, "major.minor.patch".
#define VOS_VERSION_STRING \
    VOS_VERSION_STR_(VOS_VERSION_MAJOR) "." VOS_VERSION_STR_(VOS_VERSION_MINOR) "." VOS_VERSION_STR_(VOS_VERSION_PATCH)

VOS_NAMESPACE_BEGIN

/// The version of the loaded library as "major.minor.patch"; the text is
/// static and never null.
VOS_API const char* V_GetVersion();

/// The version of the loaded library as VOS_VERSION_NUMBER computes it.
VOS_API int V_GetVersionNumber();

VOS_NAMESPACE_END

#endif  // VOS_VVERSION_H
