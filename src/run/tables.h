// What the cleanup removes: null-terminated tables, walked in order.
#pragma once

// Windows Installer upgrade codes of the driver products.
extern const wchar_t* const UpgradeCodeTable[];

// USB hardware ids of the scanners.
extern const wchar_t* const HardwareIdTable[];
