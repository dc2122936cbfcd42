// (not yet written)
#ifndef VOS_VTHREAD_H
#define VOS_VTHREAD_H

#include "vos/VDefine.h"

#endif  // VOS_VTHREAD_H
