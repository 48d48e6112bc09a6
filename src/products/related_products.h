// Installed driver products: found by upgrade code, their cached package
// patched so it no longer blocks its own removal, then uninstalled silently.
#pragma once

// Reports the upgrade code, then removes every installed product related to
// it, in the order the installer lists them.
void PurgeRelatedProducts(const wchar_t* upgradeCode);

// Patches the product's cached package, starts an installer log named after
// the product code and uninstalls the product with "REMOVE=ALL".
void RemoveProduct(const wchar_t* productCode);
