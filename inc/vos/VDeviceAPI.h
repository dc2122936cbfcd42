// (not yet written)
#ifndef VOS_VDEVICEAPI_H
#define VOS_VDEVICEAPI_H

#include "vos/VDefine.h"

#endif  // VOS_VDEVICEAPI_H
