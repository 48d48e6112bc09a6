// The scanners' driver packages in the driver store, found by what their INF
// files say they install, whether or not a device node was ever installed
// from them (a package staged by the vendor's installer for a scanner never
// connected, or one whose nodes an interrupted run already removed).
#pragma once

#include <optional>
#include <string>

#include "devices/inf_name_set.h"
#include "report/report_writer.h"

struct ScannerPackages {
    InfNameSet scannerOnly;  // list scanner ids and nothing else
    InfNameSet shared;       // list the ids of other devices as well
};

// Reads every oem<number>.inf in the Windows INF folder: a package whose
// models sections (undecorated and every platform decoration the
// Manufacturer section names) list, as a hardware or compatible id, one of
// hardwareIds (a null-terminated table) is a scanner package. An INF file
// SetupAPI cannot open is no package Windows could install from, and is
// skipped. Writes nothing; returns the failure when the folder cannot be
// listed (found then holds what was read before it).
std::optional<FailureLine> FindScannerPackages(const wchar_t* const* hardwareIds, ScannerPackages& found);

// Whether an id is one of hardwareIds, or one of them followed by "&" and
// more (a revision or interface), in any letter case.
bool IsScannerId(const wchar_t* const* hardwareIds, const std::wstring& id);

// Whether the package under the name (an oem<number>.inf) in the INF folder
// is certainly another maker's: SetupAPI reads it, and its models sections
// list ids, none of them one of hardwareIds. A node keeps its INF name when
// the package is deleted by force, and Windows gives a freed name to the
// next package it adds, so the name a scanner node gives can stand for
// another maker's package. A file that cannot be read, or lists no id, is
// no evidence: false.
bool IsAnotherMakersPackage(const wchar_t* const* hardwareIds, const std::wstring& name);

// The name in lower case (ASCII letters), for comparing file names as the
// file system does.
std::wstring FileNameKey(const std::wstring& name);

// The scanner packages no name of nodeNames (compared as file names) stands
// for: the ones the device pass did not reach.
InfNameSet PackagesWithoutDevice(const ScannerPackages& found, const InfNameSet& nodeNames);
