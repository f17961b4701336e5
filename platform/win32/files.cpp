// The existence test on Windows: a path exists when Windows can read its attributes.
#include "platform/files.h"

#include "platform.h"

bool PathExists(const char* path) {
    return path != nullptr && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}
