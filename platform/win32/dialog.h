// The win32 side of the dialog, menu and message box calls: the real dialog manager from the
// Windows headers, and the scripted user of platform/scripted_user.h, which works real dialogs
// by messages to their controls.
#pragma once

#include "platform.h"
#include "platform/scripted_user.h"
