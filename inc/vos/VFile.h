// (not yet written)
#ifndef VOS_VFILE_H
#define VOS_VFILE_H

#include "vos/VDefine.h"

#endif  // VOS_VFILE_H
