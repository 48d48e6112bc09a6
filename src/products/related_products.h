// Installed driver products: found by upgrade code, their cached package
// patched so it no longer blocks its own removal, then uninstalled silently.
#pragma once

#include "run/inventory.h"

// Reports the upgrade code, then removes every installed product related to
// it, in the order the installer lists them.
void PurgeRelatedProducts(const wchar_t* upgradeCode);

// With a folder of originals, first restores the product's cached package
// and cached patches that are gone. Patches the product's cached package,
// starts an installer log named after the product code (in the working
// directory, handed to the installer by its real path) and uninstalls the product with
// "REMOVE=ALL REBOOT=ReallySuppress". A removal
// the installer reports as needing a restart counts as done, followed by the
// restart line.
void RemoveProduct(const wchar_t* productCode);

// Adds to the inventory each installed product related to the upgrade code
// (its code, name, version, whether its cached package is missing, the applied
// patches whose cached file is gone and, with a folder of originals, what the
// search for each original found), or what could not be read; changes nothing.
void ListRelatedProducts(const wchar_t* upgradeCode, Inventory& inventory);
