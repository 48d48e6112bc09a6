// The folder where a run leaves its files: the working directory.
#pragma once

#include <string>

// The full path of the named file in the working directory, for a consumer
// that does not share this process's working directory (the installer
// service). The bare name when the working directory cannot be read.
std::wstring RunFolderFile(const std::wstring& name);
