#include "fuzz/fuzz_handles.h"

#include <cstdlib>
#include <map>
#include <memory>

namespace {

std::map<MSIHANDLE, FuzzHandleKind> msiHandles;
MSIHANDLE nextMsiHandle = 1;
std::map<const void*, std::pair<FuzzHandleKind, std::unique_ptr<char>>> pointerHandles;
std::map<void*, std::unique_ptr<char[]>> memory;

}  // namespace

MSIHANDLE FuzzOpenMsiHandle(FuzzHandleKind kind) {
    msiHandles[nextMsiHandle] = kind;
    return nextMsiHandle++;
}

bool FuzzMsiHandleIs(MSIHANDLE handle, FuzzHandleKind kind) {
    const auto found = msiHandles.find(handle);
    return found != msiHandles.end() && found->second == kind;
}

bool FuzzCloseMsiHandle(MSIHANDLE handle) { return msiHandles.erase(handle) == 1; }

void* FuzzOpenPointerHandle(FuzzHandleKind kind) {
    auto object = std::make_unique<char>('h');
    void* handle = object.get();
    pointerHandles[handle] = {kind, std::move(object)};
    return handle;
}

bool FuzzPointerHandleIs(const void* handle, FuzzHandleKind kind) {
    const auto found = pointerHandles.find(handle);
    return found != pointerHandles.end() && found->second.first == kind;
}

bool FuzzClosePointerHandle(const void* handle, FuzzHandleKind kind) {
    if (!FuzzPointerHandleIs(handle, kind)) return false;
    pointerHandles.erase(handle);
    return true;
}

void* FuzzOpenMemory(std::size_t bytes) {
    auto block = std::make_unique<char[]>(bytes);
    void* address = block.get();
    memory[address] = std::move(block);
    return address;
}

bool FuzzCloseMemory(void* address) { return memory.erase(address) == 1; }

std::size_t FuzzOpenCount() { return msiHandles.size() + pointerHandles.size() + memory.size(); }

void ResetFuzzHandles() {
    msiHandles.clear();
    pointerHandles.clear();
    memory.clear();
    nextMsiHandle = 1;
}
