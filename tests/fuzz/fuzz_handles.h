// The handles the fuzzed platform has handed out and not yet seen closed.
#pragma once

#include <cstddef>

#include "platform/platform.h"

enum class FuzzHandleKind { Database, View, Record, DeviceSet, RegistryKey, FileSearch, Inf, File, Summary };

MSIHANDLE FuzzOpenMsiHandle(FuzzHandleKind kind);
bool FuzzMsiHandleIs(MSIHANDLE handle, FuzzHandleKind kind);
bool FuzzCloseMsiHandle(MSIHANDLE handle);

void* FuzzOpenPointerHandle(FuzzHandleKind kind);
bool FuzzPointerHandleIs(const void* handle, FuzzHandleKind kind);
bool FuzzClosePointerHandle(const void* handle, FuzzHandleKind kind);

void* FuzzOpenMemory(std::size_t bytes);
bool FuzzCloseMemory(void* memory);

// Handles and memory still open; ResetFuzzHandles frees what is left.
std::size_t FuzzOpenCount();
void ResetFuzzHandles();

// Resets the platform's state between runs (handles included).
void ResetFuzzPlatform();

// While set, any call that would change the machine or write a file is a
// fault (the inventory must only look).
void FuzzForbidChanges(bool forbid);
