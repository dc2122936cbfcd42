// (not yet written)
#ifndef VOS_VLOG_H
#define VOS_VLOG_H

#include "vos/VDefine.h"

#endif  // VOS_VLOG_H
