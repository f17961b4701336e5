// The runtime's thread start, _beginthread(start, stackSize, argument): starts start(argument) on
// a new thread that nobody joins and that ends when start returns; a stack size of 0 means the
// platform's default. Answers a value other than -1 when the thread was started, and -1 when it
// could not be (the argument is then left to the caller). Win32: the C runtime's. POSIX: a
// detached thread (platform/posix/thread_start.cpp).
#pragma once

#include "platform.h"
