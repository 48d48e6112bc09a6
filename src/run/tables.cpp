#include "run/tables.h"

const wchar_t* const UpgradeCodeTable[] = {
    L"{6B1D2E40-3C8F-4a7e-91D5-2E7A4C0B93F1}",
    L"{5E93A1C7-0D42-4b6f-A2E8-7C19D3F5046B}",
    L"{8C2F6A19-47B3-4705-B1A6-93D0E7254C8A}",
    L"{3A7E05D2-9B61-4c38-8F2D-A64E1B07C59E}",
    nullptr,
};

const wchar_t* const HardwareIdTable[] = {
    L"USB\\VID_7F3A&PID_0031",
    L"USB\\VID_7F3A&PID_0036",
    L"USB\\VID_7F3A&PID_0042",
    L"USB\\VID_7F3A&PID_0047",
    L"USB\\VID_7F3A&PID_0053",
    L"USB\\VID_7F3A&PID_0058",
    L"USB\\VID_7F3A&PID_0064",
    L"USB\\VID_7F3A&PID_8064",
    nullptr,
};
