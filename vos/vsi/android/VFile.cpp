// CVFile over the C library's buffered streams, with UTF-8 paths.
#include "vos/VFile.h"

VOS_NAMESPACE_BEGIN

int CVFile::InitFileSystem() { return 1; }

int CVFile::UnInitFileSystem() { return 1; }

VOS_NAMESPACE_END
