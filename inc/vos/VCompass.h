// (not yet written)
#ifndef VOS_VCOMPASS_H
#define VOS_VCOMPASS_H

#include "vos/VDefine.h"

#endif  // VOS_VCOMPASS_H
