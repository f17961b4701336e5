// Binding the host API (HostApi::Bind, declared with the record in base/hostapi.h).
#pragma once

// The version rule: true when a host reporting `version` is older than 2.00.06 and so need not
// export PXA_SetStatus. A text of 8 or more characters counts as 2.00.06 or later.
bool IsHostOlderThan2_00_06(const char* version);
