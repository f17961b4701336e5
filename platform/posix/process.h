// Process facts the stand-in host needs and Windows answers through the tool-help functions.
#pragma once

// The number of threads the process runs now.
int CountProcessThreads();
