// (not yet written)
#ifndef VOS_VSOCKETMAN_H
#define VOS_VSOCKETMAN_H

#include "vos/VDefine.h"

#endif  // VOS_VSOCKETMAN_H
