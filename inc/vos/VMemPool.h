// (not yet written)
#ifndef VOS_VMEMPOOL_H
#define VOS_VMEMPOOL_H

#include "vos/VDefine.h"

#endif  // VOS_VMEMPOOL_H
