// (not yet written)
#ifndef VOS_VSTRFUNC_H
#define VOS_VSTRFUNC_H

#include "vos/VDefine.h"

#endif  // VOS_VSTRFUNC_H
