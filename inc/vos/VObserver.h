// (not yet written)
#ifndef VOS_VOBSERVER_H
#define VOS_VOBSERVER_H

#include "vos/VDefine.h"

#endif  // VOS_VOBSERVER_H
