// (not yet written)
#ifndef VOS_VGPSMAN_H
#define VOS_VGPSMAN_H

#include "vos/VDefine.h"

#endif  // VOS_VGPSMAN_H
