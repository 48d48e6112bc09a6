// The program body: banner, checks, consent, then every removal pass in order.
#pragma once

// Returns the process exit code: 0 when the user declines or the run is
// complete, -1 when the architecture or run-log check fails.
int RunCleanup();
