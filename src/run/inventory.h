// What is left of the scanner on this machine, listed without changing
// anything: the driver products, the registry mark, the device nodes and the
// driver packages the cleanup would remove.
#pragma once

enum class InventoryResult { Clean, Found, Incomplete };

// Writes one line per thing found, grouped, through the report, and last
// "NRV-CHECK: CLEAN", "NRV-CHECK: FOUND products=<n> mark=<0|1> nodes=<n>
// packages=<n>" or, when a query failed (after its line),
// "NRV-CHECK: INCOMPLETE".
InventoryResult TakeInventory();
