#pragma once

// True when some network interface is up, is not the loopback interface and
// has an address. VANTREL_ASSUME_ONLINE=1 skips the check (tests, containers).
bool IsNetworkAvailable();
