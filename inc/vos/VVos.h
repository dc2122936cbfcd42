// (not yet written)
#ifndef VOS_VVOS_H
#define VOS_VVOS_H

#include "vos/VDefine.h"

#endif  // VOS_VVOS_H
