// (not yet written)
#ifndef VOS_VGEOMETRY_H
#define VOS_VGEOMETRY_H

#include "vos/VDefine.h"

#endif  // VOS_VGEOMETRY_H
