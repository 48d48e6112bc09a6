// Files the program writes under names known in advance, in folders that
// other users may write to: never through a link someone planted there,
// never into a file that has other names too.
#pragma once

#include <memory>

#include "platform/platform.h"

struct FileCloser {
    void operator()(HANDLE file) const { CloseHandle(file); }
};
// An open file, closed when it goes; empty when it could not be opened.
using OwnedFile = std::unique_ptr<void, FileCloser>;

// Opens an existing file to read it while others go on writing it (a log);
// while it is open, nobody deletes it.
OwnedFile OpenFileToRead(const wchar_t* path);

// Creates a file that did not exist: fails (ERROR_FILE_EXISTS) when anything
// is there under the name, a link included, and never follows one. While the
// handle is held, the file cannot be deleted or renamed, so the name stays
// this file's; others may still open it to read and write.
OwnedFile CreateNewFile(const wchar_t* path, DWORD access);

// Removes what is there under the name first (a link itself, not its target;
// one name of a file that has several), then creates the file new.
OwnedFile ReplaceWithNewFile(const wchar_t* path, DWORD access);

// Copies what is left to read of one open file to the end of another; false
// when a read or a write fails (the last error tells why).
bool CopyFileContent(HANDLE from, HANDLE to);
