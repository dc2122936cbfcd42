// (not yet written)
#ifndef VOS_VEXCEPTION_H
#define VOS_VEXCEPTION_H

#include "vos/VDefine.h"

#endif  // VOS_VEXCEPTION_H
