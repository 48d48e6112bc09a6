// What each pass reports on a machine without any trace of the scanner
// (what the fake platform models unless a test scripts otherwise).
#pragma once

#include <string>

#include "unit/report_fixture.h"

inline const std::string kProductsOnCleanMachine =
    Lines({"", "Check product upgrade code: {6B1D2E40-3C8F-4a7e-91D5-2E7A4C0B93F1}",
           "", "Check product upgrade code: {5E93A1C7-0D42-4b6f-A2E8-7C19D3F5046B}",
           "", "Check product upgrade code: {8C2F6A19-47B3-4705-B1A6-93D0E7254C8A}",
           "", "Check product upgrade code: {3A7E05D2-9B61-4c38-8F2D-A64E1B07C59E}"});
inline const std::string kRegistryOnCleanMachine = Lines({"", "Check registry entries"});
inline const std::string kDevicesOnCleanMachine =
    Lines({"", "Check device with HardwareId: USB\\VID_7F3A&PID_0031",
           "", "Check device with HardwareId: USB\\VID_7F3A&PID_0036",
           "", "Check device with HardwareId: USB\\VID_7F3A&PID_0042",
           "", "Check device with HardwareId: USB\\VID_7F3A&PID_0047",
           "", "Check device with HardwareId: USB\\VID_7F3A&PID_0053",
           "", "Check device with HardwareId: USB\\VID_7F3A&PID_0058",
           "", "Check device with HardwareId: USB\\VID_7F3A&PID_0064",
           "", "Check device with HardwareId: USB\\VID_7F3A&PID_8064"});
