// Fake Windows Installer (msi.dll).
#pragma once

#include "fake/fake_platform.h"

struct FakeMsi {
    int setInternalUICalls = 0;
};

FakeMsi& TheFakeMsi();
