// Junctions made by other users are not followed, where Windows can refuse them.
#pragma once

// Switches on the process mitigation that stops this process following
// file-system junctions created by non-administrators (Windows 10 22H2 and
// Windows 11). Looked up at run time; where Windows lacks it or refuses, the
// run goes on without it.
void RefuseUntrustedJunctions();
