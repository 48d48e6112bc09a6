#include "platform/new_file.h"

namespace {

OwnedFile Owned(HANDLE file) { return OwnedFile(file == INVALID_HANDLE_VALUE ? nullptr : file); }

constexpr DWORD kCopyChunk = 64 * 1024;

}  // namespace

OwnedFile OpenFileToRead(const wchar_t* path) {
    // Not sharing delete: should the copy's name be this very file (a run in
    // the Windows directory), it cannot be deleted to make the copy.
    return Owned(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

OwnedFile CreateNewFile(const wchar_t* path, DWORD access) {
    // No FILE_SHARE_DELETE: nobody can swap the name for a link while the
    // file is held open.
    return Owned(CreateFileW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

OwnedFile ReplaceWithNewFile(const wchar_t* path, DWORD access) {
    DeleteFileW(path);
    return CreateNewFile(path, access);
}

bool CopyFileContent(HANDLE from, HANDLE to) {
    static char chunk[kCopyChunk];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(from, chunk, kCopyChunk, &read, nullptr)) return false;
        if (read == 0) return true;
        DWORD written = 0;
        if (!WriteFile(to, chunk, read, &written, nullptr) || written != read) return false;
    }
}
