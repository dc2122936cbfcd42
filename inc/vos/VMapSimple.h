// (not yet written)
#ifndef VOS_VMAPSIMPLE_H
#define VOS_VMAPSIMPLE_H

#include "vos/VDefine.h"

#endif  // VOS_VMAPSIMPLE_H
