// (not yet written)
#ifndef VOS_VSOCKET_H
#define VOS_VSOCKET_H

#include "vos/VDefine.h"

#endif  // VOS_VSOCKET_H
