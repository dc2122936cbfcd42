/// @file
/// vos: the portable operating-system layer. Including this header gives the
/// whole public interface; each family also has a header of its own.
#ifndef VOS_VOS_H
#define VOS_VOS_H

#include "vos/VDefine.h"
#include "vos/VVersion.h"

// Memory
#include "vos/VMem.h"
#include "vos/VMemPool.h"

// Text
#include "vos/VStrFunc.h"
#include "vos/VString.h"
#include "vos/VCMMap.h"

// Containers and geometry
#include "vos/VTempl.h"
#include "vos/VMapSimple.h"
#include "vos/VGeometry.h"

// System services
#include "vos/VThread.h"
#include "vos/VTime.h"
#include "vos/VTimer.h"
#include "vos/VFile.h"
#include "vos/VLog.h"

// Library frame
#include "vos/VException.h"
#include "vos/VJni.h"
#include "vos/VVos.h"

// Messaging
#include "vos/VMsg.h"
#include "vos/VObserver.h"

// Networking
#include "vos/VSocket.h"
#include "vos/VSocketMan.h"
#include "vos/VDNSCache.h"

// Device services
#include "vos/VDeviceAPI.h"
#include "vos/VGpsMan.h"
#include "vos/VCompass.h"

#endif  // VOS_VOS_H
