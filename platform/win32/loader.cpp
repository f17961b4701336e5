// The real loader says everything through GetLastError.
#include "platform/loader.h"

const char* LastLoadErrorText() {
    return "";
}
