// The platform layer's one shared translation unit: it checks that the chosen side's header
// compiles on its own, so that every subsystem can include it first.
#include "platform.h"
