// (not yet written)
#ifndef VOS_VDNSCACHE_H
#define VOS_VDNSCACHE_H

#include "vos/VDefine.h"

#endif  // VOS_VDNSCACHE_H
