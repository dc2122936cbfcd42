// (not yet written)
#ifndef VOS_VMSG_H
#define VOS_VMSG_H

#include "vos/VDefine.h"

#endif  // VOS_VMSG_H
