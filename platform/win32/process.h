// Process facts the stand-in host needs.
#pragma once

// The number of threads the process runs now.
int CountProcessThreads();
