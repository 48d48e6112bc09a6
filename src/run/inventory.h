// What is left of the scanner on this machine: the driver products, the
// registry mark, the device nodes and the driver packages the cleanup would
// remove. The read-only passes read it into one value without changing
// anything, and one printer writes every line and the verdict from that
// value.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "devices/inf_name_set.h"
#include "devices/scanner_packages.h"
#include "products/original_packages.h"
#include "report/report_writer.h"

// The labels that start the inventory's lines. The printer writes them; the
// tests build the lines they expect, and the fuzzer the lines it accepts,
// from them.
inline constexpr char kProductLabel[] = "Driver product: ";
inline constexpr char kOriginalRefusedAnotherBuildLabel[] = "Original package refused, another build: ";
inline constexpr char kOriginalRefusedOthersCanChangeLabel[] = "Original package refused, others can change it: ";
inline constexpr char kOriginalLabel[] = "Original package: ";
inline constexpr char kNoOriginalLabel[] = "No original package of this product in: ";
inline constexpr char kCachedPatchMissingLabel[] = "Cached patch missing: ";
inline constexpr char kNoOriginalPatchLabel[] = "No original of this patch in: ";
inline constexpr char kMarkLine[] = "Driver mark: HKEY_LOCAL_MACHINE\\Software\\NerovanDrv DriverName (32-bit view)";
inline constexpr char kNodeLabel[] = "Device node: ";
inline constexpr char kDriverPackageLabel[] = "Driver package: ";
inline constexpr char kWindowsPackageLabel[] = "Windows driver package kept: ";
inline constexpr char kOtherMakersPackageLabel[] = "Another maker's driver package kept: ";
inline constexpr char kPackageWithoutDeviceLabel[] = "Driver package without device: ";
inline constexpr char kSharedPackageLabel[] = "Shared driver package kept: ";
inline constexpr char kPackageAfterRestartLabel[] = "Driver package to remove after the restart: ";
// Followed by the name, ". Error: " and the code.
inline constexpr char kUnreadPackageLabel[] = "Can't read driver package, kept: ";
inline constexpr char kCleanVerdict[] = "NRV-CHECK: CLEAN";
inline constexpr char kIncompleteVerdict[] = "NRV-CHECK: INCOMPLETE";
inline constexpr char kFoundVerdictLabel[] = "NRV-CHECK: FOUND products=";

// What follows a label on its line: nothing, a text of the system (with the
// program's own words around it), or the verdict's counts.
enum class LabelTail { None, Text, Counts };
struct InventoryLabel {
    const char* text;
    LabelTail tail;
};
inline constexpr InventoryLabel kInventoryLabels[] = {
    {kProductLabel, LabelTail::Text},
    {kOriginalRefusedAnotherBuildLabel, LabelTail::Text},
    {kOriginalRefusedOthersCanChangeLabel, LabelTail::Text},
    {kOriginalLabel, LabelTail::Text},
    {kNoOriginalLabel, LabelTail::Text},
    {kCachedPatchMissingLabel, LabelTail::Text},
    {kNoOriginalPatchLabel, LabelTail::Text},
    {kMarkLine, LabelTail::None},
    {kNodeLabel, LabelTail::Text},
    {kDriverPackageLabel, LabelTail::Text},
    {kWindowsPackageLabel, LabelTail::Text},
    {kOtherMakersPackageLabel, LabelTail::Text},
    {kPackageWithoutDeviceLabel, LabelTail::Text},
    {kSharedPackageLabel, LabelTail::Text},
    {kPackageAfterRestartLabel, LabelTail::Text},
    {kUnreadPackageLabel, LabelTail::Text},
    {kCleanVerdict, LabelTail::None},
    {kIncompleteVerdict, LabelTail::None},
    {kFoundVerdictLabel, LabelTail::Counts},
};

// A patch applied to a product whose cached file is gone.
struct MissingPatchFact {
    std::wstring code;
    // Looked for when a folder was given.
    std::optional<OriginalSearch> original;
};

// An installed product related to one of the upgrade codes.
struct ProductFact {
    std::wstring code;
    std::wstring name;     // "" when it cannot be read
    std::wstring version;  // "" when it cannot be read
    bool cachedPackageMissing = false;
    // Looked for when the cached package is missing and a folder was given.
    std::optional<OriginalSearch> originals;
    std::vector<MissingPatchFact> missingPatches;
};

// A device node registered under one of the hardware ids.
struct NodeFact {
    std::wstring instanceId;  // "" when it cannot be read
    // Windows removes it at the restart: not counted, nothing more read.
    bool removalAwaitsRestart = false;
    bool attached = false;
    std::optional<std::wstring> inf;      // none: no driver, or it cannot be read
    std::optional<std::wstring> version;  // none: it cannot be read
};

// The parts of the list, in the order they are written.
enum class InventoryPart { Products, Mark, Nodes, Packages };

// A query that failed: its failure line, written before the fact of its
// part that has the index `before` (after the part's last fact when no
// fact follows), so the list keeps the order in which it was read.
struct Unread {
    InventoryPart part;
    std::size_t before;
    FailureLine failure;
};

// Each part is filled in the order its lines are written.
struct Inventory {
    std::vector<ProductFact> products;
    bool mark = false;
    std::vector<NodeFact> nodes;
    // Packages: the oemNN.inf names the nodes give (the cleanup removes
    // them), the other INF names they give (Windows' own files, kept), the
    // names they give of another maker's packages (kept), then the scanner
    // packages of the driver store no node names, and those that serve other
    // devices too (kept) that no line above counts; last the packages this
    // run could not remove while a node left for the restart named them
    // (not counted: the run after the restart removes them).
    InfNameSet packages;
    InfNameSet windowsPackages;
    InfNameSet otherMakersPackages;
    InfNameSet packagesWithoutDevice;
    InfNameSet sharedPackages;
    InfNameSet packagesAfterRestart;
    // The oemNN.inf files, named by a node or in the INF folder, that could
    // not be read, each once: written after the package lines.
    std::vector<UnreadPackage> unreadPackages;
    // What could not be read; the verdict is INCOMPLETE when anything was,
    // or when a package could not be read.
    std::vector<Unread> unread;
};

// Notes a failed query of the part, before the part's next fact.
void NoteUnread(Inventory& inventory, InventoryPart part, const FailureLine& failure);

// The packages counted: the names of both kinds of "Driver package" lines,
// each once whatever the letter case of its name (file names compared as the
// file system compares them).
InfNameSet CountedPackages(const Inventory& inventory);

// Runs the read-only passes in the order of the list. Changes nothing,
// writes nothing.
Inventory ReadInventory();

enum class InventoryResult { Clean, Found, Incomplete };

// Writes one line per fact, grouped, through the report, each failure line
// at its place, and last "NRV-CHECK: CLEAN", "NRV-CHECK: FOUND
// products=<n> mark=<0|1> nodes=<n> packages=<n>" or, when a query failed,
// "NRV-CHECK: INCOMPLETE".
InventoryResult ReportInventory(const Inventory& inventory);

// ReadInventory, then ReportInventory.
InventoryResult TakeInventory();

// "Can't read driver package, kept: <name>. Error: <code>": the cleanup
// writes it too, for a package it keeps.
void ReportUnreadPackage(const UnreadPackage& package);

// The lines of a search for a product's original package or a patch's: each
// refusal, then the original or that the folder has none. The cleanup writes
// them too, where it looks for an original.
void ReportOriginalSearch(const OriginalSearch& search);
