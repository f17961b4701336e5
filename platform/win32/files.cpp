// The existence test: a path exists when Windows can read its attributes.
#include "files.h"

#include "platform.h"

bool PathExists(const char* path) {
    return path != nullptr && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}
