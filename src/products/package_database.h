// Edits of a driver product's cached package, made through a database handle
// opened in transacted mode, so that the package no longer blocks its own
// removal. Nothing reaches the package file unless it is committed here.
#pragma once

#include <string>

#include "platform/platform.h"

// The one product whose package has its launch condition replaced.
inline constexpr wchar_t PatchedProductCode[] = L"{5E93A1C7-0D42-4b6f-A2E8-7C19D3F5046B}";

// Replaces the launch condition (that product only), disables the uninstall
// check action (every product), and commits when either edit was made.
// Does not close the handle.
void PatchPackageDatabase(MSIHANDLE database, const wchar_t* productCode);

// True when the package has the launch condition "VersionNT = 602"; its
// description is then in description, in full.
bool FindVersionLaunchCondition(MSIHANDLE database, std::wstring& description);

// Each returns 0, or the code of the installer call that failed (reported).
UINT InsertLaunchCondition(MSIHANDLE database, const wchar_t* description);
UINT DeleteLaunchCondition(MSIHANDLE database);
UINT DisableUninstallCheckAction(MSIHANDLE database);

// True when the package's execute sequence has the action
// CheckDriverUninstallResult.
bool FindUninstallCheckAction(MSIHANDLE database);
