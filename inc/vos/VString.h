// (not yet written)
#ifndef VOS_VSTRING_H
#define VOS_VSTRING_H

#include "vos/VDefine.h"

#endif  // VOS_VSTRING_H
