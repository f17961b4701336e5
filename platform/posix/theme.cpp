// The app theme as the host program says it: the POSIX side of theme.h. The stand-in host exports
// PellixDarkTheme, which answers its --dark option; a test program may export its own.
#include "platform/theme.h"

#include <dlfcn.h>

namespace {

typedef int (*ThemeSource)();

}  // namespace

bool AppsUseDarkTheme() {
    static const ThemeSource source =
        reinterpret_cast<ThemeSource>(dlsym(RTLD_DEFAULT, "PellixDarkTheme"));
    return source != nullptr && source() != 0;
}
