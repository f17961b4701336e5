// Where the plug-in's traces go: text for a developer reading along, never for the user. Win32:
// OutputDebugStringA, which hands it to an attached debugger (win32/debug_output.cpp). POSIX: the
// host program's exported PellixDebugOutput(text) when there is one (posix/debug_output.cpp).
#pragma once

// Hands one terminated text on; null is ignored.
void WriteDebugText(const char* text);
