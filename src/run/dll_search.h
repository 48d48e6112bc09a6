// Where DLLs the program loads after start-up (msi.dll, delay-loaded at the
// first installer call) may come from: the system directory only, never the
// program's folder or the working directory, where anyone may have put one.
#pragma once

void LimitDllSearchToSystemDirectory();
