// OutputDebugStringA: where the plug-in's traces go. Windows hands the text to an attached
// debugger. POSIX: platform/posix/debug_output.cpp hands it to the host program's exported
// PellixDebugOutput(text) when there is one.
#pragma once

#include "platform.h"
