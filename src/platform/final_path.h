// The path an open file or folder really has, every link in it resolved.
#pragma once

#include <string>

#include "platform/platform.h"

// The path the handle leads to, as a plain drive or UNC path (without the
// "\\?\" GetFinalPathNameByHandleW puts first); "" when it cannot be read,
// the last error telling why.
std::wstring FinalPathOf(HANDLE object);
