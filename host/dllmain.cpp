// The module's entry point, called by the platform's loader (on POSIX by the stand-in host's).
#include "host/module_entry.h"

extern "C" BOOL QF_MODULE_ENTRY DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    return ModuleEntry(instance, reason, reserved);
}
