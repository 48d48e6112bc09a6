// Installed driver products: found by upgrade code, their cached package
// patched so it no longer blocks its own removal, then uninstalled silently.
#pragma once

// Reports the upgrade code, then removes every installed product related to
// it, in the order the installer lists them.
void PurgeRelatedProducts(const wchar_t* upgradeCode);

// Patches the product's cached package, starts an installer log named after
// the product code (in the working directory, by its full path) and
// uninstalls the product with "REMOVE=ALL REBOOT=ReallySuppress". A removal
// the installer reports as needing a restart counts as done, followed by the
// restart line.
void RemoveProduct(const wchar_t* productCode);

// Writes one line per installed product related to the upgrade code (its
// code, name and version) and returns how many there are; changes nothing.
// A failing enumeration writes its line and sets incomplete.
unsigned ListRelatedProducts(const wchar_t* upgradeCode, bool& incomplete);
