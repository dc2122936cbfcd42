// (not yet written)
#ifndef VOS_VCMMAP_H
#define VOS_VCMMAP_H

#include "vos/VDefine.h"

#endif  // VOS_VCMMAP_H
