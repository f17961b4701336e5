// The runtime's thread start, _beginthread, from the C runtime's own header.
#pragma once

#include <process.h>
