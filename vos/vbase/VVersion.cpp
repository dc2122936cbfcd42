#include "vos/VVersion.h"

VOS_NAMESPACE_BEGIN

// The macros are expanded here, inside the library, so the answer is the
// version of the shared object actually loaded, not of the caller's headers.
const char* V_GetVersion() {
    return VOS_VERSION_STRING;
}

int V_GetVersionNumber() {
    return VOS_VERSION_NUMBER;
}

VOS_NAMESPACE_END
