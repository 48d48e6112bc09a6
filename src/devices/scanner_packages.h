// The scanners' driver packages in the driver store, found by what their INF
// files say they install, whether or not a device node was ever installed
// from them (a package staged by the vendor's installer for a scanner never
// connected, or one whose nodes an interrupted run already removed).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "devices/inf_name_set.h"
#include "platform/platform.h"
#include "report/report_writer.h"

// An oem<number>.inf SetupAPI could not open, and its error.
struct UnreadPackage {
    std::wstring name;
    DWORD error;
};

struct ScannerPackages {
    InfNameSet scannerOnly;  // list scanner ids and nothing else
    InfNameSet shared;       // list the ids of other devices as well
    std::vector<UnreadPackage> unreadable;
};

// Reads every oem<number>.inf in the Windows INF folder: a package whose
// models sections (undecorated and every platform decoration the
// Manufacturer section names) list, as a hardware or compatible id, one of
// hardwareIds (a null-terminated table) is a scanner package. An INF file
// SetupAPI cannot open or read is noted in unreadable (but one that is no
// Windows NT INF file): nothing tells whose it is, so it is never removed,
// and never taken for gone. Writes nothing; returns the failure when the folder cannot be
// listed (found then holds what was read before it).
std::optional<FailureLine> FindScannerPackages(const wchar_t* const* hardwareIds, ScannerPackages& found);

// Whether an id is one of hardwareIds, or one of them followed by "&" and
// more (a revision or interface), in any letter case.
bool IsScannerId(const wchar_t* const* hardwareIds, const std::wstring& id);

// Whose the package under the name (an oem<number>.inf) in the INF folder
// is. Another: SetupAPI reads it, and its models sections list ids, none of
// them one of hardwareIds. A node keeps its INF name when the package is
// deleted by force, and Windows gives a freed name to the next package it
// adds, so the name a scanner node gives can stand for another maker's
// package. Scanner: it is read and lists a scanner id, or no id at all.
// Unread (error set): the INF folder or the file could not be read, so
// nothing tells whose it is; a user can make the open fail on purpose (a
// handle sharing nothing), so it must never count as the scanner's.
enum class PackageMaker { Scanner, Another, Unread };
PackageMaker MakerOfPackage(const wchar_t* const* hardwareIds, const std::wstring& name, DWORD& error);

// The name in lower case (ASCII letters), for comparing file names as the
// file system does.
std::wstring FileNameKey(const std::wstring& name);

// The scanner packages no name of nodeNames (compared as file names) stands
// for: the ones the device pass did not reach.
InfNameSet PackagesWithoutDevice(const ScannerPackages& found, const InfNameSet& nodeNames);
