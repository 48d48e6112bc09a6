// The program body: banner, checks, consent, then every removal pass in order.
#pragma once

// The banner and a blank line, then the architecture check: false, after its
// line, when the program must not run here (the 32-bit program on 64-bit
// Windows, or the architecture cannot be told).
bool StartRun();

// Returns the process exit code. Asked (the plain run): 0 when the user
// declines or the run is complete, -1 when the architecture or run-log check
// fails. Unattended: no question and no final pause; after the passes, the
// scanner packages no device node named are removed too, and the inventory
// is taken again; 0, 3010, 1618 or 1603 by what it finds, or -1.
int RunCleanup(bool unattended = false);
