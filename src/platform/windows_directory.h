// The Windows directory, as GetWindowsDirectoryW gives it.
#pragma once

#include <string>

// The Windows directory, or "" when it cannot be read. A path longer than
// MAX_PATH is read again with the size the platform asks for.
std::wstring WindowsDirectory();
