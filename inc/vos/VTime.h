// (not yet written)
#ifndef VOS_VTIME_H
#define VOS_VTIME_H

#include "vos/VDefine.h"

#endif  // VOS_VTIME_H
