// Whether the signed-in user has chosen the dark theme for apps, so that a message can be shown in
// the dark sibling of its style. Win32: the AppsUseLightTheme value of the user's personalisation
// settings (HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize), 0
// meaning dark; read at each call, so that a change counts from the next message opened. A system
// without the value (before Windows 10) is light. POSIX: the host program's PellixDarkTheme
// export (the stand-in host's --dark option) stands in for it; without one, light.
#pragma once

bool AppsUseDarkTheme();
