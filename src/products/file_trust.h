// Who can change a file or folder, read from an open handle to it, so that
// what was checked is what is used.
#pragma once

#include "platform/platform.h"

// Whether only SYSTEM, Administrators, TrustedInstaller and the account this
// program runs as can change the object: one of them owns it, it has a DACL,
// and no entry of it that applies to the object itself allows anyone else to
// write, append, delete, or change its DACL or owner. False when its security
// cannot be read.
bool OnlyAdministratorsCanChange(HANDLE object);
