// (not yet written)
#ifndef VOS_VTIMER_H
#define VOS_VTIMER_H

#include "vos/VDefine.h"

#endif  // VOS_VTIMER_H
