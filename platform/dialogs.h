// The dialog manager, menus and message boxes: the set-up dialog, the two menu commands and the
// boxes of the set-up and update commands. Win32: the real ones. POSIX: a headless model
// (platform/posix/dialogs.cpp) that knows no templates and draws nothing. On both, a scripted
// user (platform/scripted_user.h) can work the dialogs and answer the boxes.
#pragma once

#include "platform.h"
#include "platform/scripted_user.h"
