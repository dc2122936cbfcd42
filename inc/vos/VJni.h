// (not yet written)
#ifndef VOS_VJNI_H
#define VOS_VJNI_H

#include "vos/VDefine.h"

#endif  // VOS_VJNI_H
