// (not yet written)
#ifndef VOS_VTEMPL_H
#define VOS_VTEMPL_H

#include "vos/VDefine.h"

#endif  // VOS_VTEMPL_H
