// The connections to each host, counted across every download of the plug-in: at most
// kConnectionsPerHost to one host at a time, whatever the number of workers and folders, so that
// forty folders of one site are not fetched eight at once.
#pragma once

constexpr int kConnectionsPerHost = 2;

// Waits until fewer than kConnectionsPerHost connections to `host` (in small letters) are open,
// at most until `deadline` (the steady clock's milliseconds), and counts one more. False when
// the wait ran out; nothing is counted then.
bool EnterHost(const char* host, long long deadline);

// Counts one connection to `host` less, and lets a download that waits for it go on.
void LeaveHost(const char* host);

// The steady clock's milliseconds, which deadlines are counted in.
long long SteadyMilliseconds();
