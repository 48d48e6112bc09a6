#include "platform/final_path.h"

namespace {

constexpr std::wstring_view kLocalPrefix = L"\\\\?\\";
constexpr std::wstring_view kUncPrefix = L"\\\\?\\UNC\\";

}  // namespace

std::wstring FinalPathOf(HANDLE object) {
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length = GetFinalPathNameByHandleW(object, path.data(), static_cast<DWORD>(path.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            // "\\?\UNC\server\share" is "\\server\share".
            if (path.starts_with(kUncPrefix)) return L"\\\\" + path.substr(kUncPrefix.size());
            return path.starts_with(kLocalPrefix) ? path.substr(kLocalPrefix.size()) : path;
        }
        path.assign(length, L'\0');  // the size needed, terminator included
    }
    return {};  // the path grew between the two calls
}
