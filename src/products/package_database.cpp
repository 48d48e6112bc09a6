#include "products/package_database.h"

#include <initializer_list>
#include <vector>

#include "platform/buffer_text.h"
#include "report/report_writer.h"

namespace {

constexpr const wchar_t* kOldLaunchCondition = L"VersionNT = 602";
constexpr const wchar_t* kNewLaunchCondition = L"Installed OR VersionNT >= 602";

constexpr const wchar_t* kLaunchConditionQuery =
    L"SELECT `Condition`, `Description` FROM `LaunchCondition`";
constexpr const wchar_t* kLaunchConditionInsert =
    L"INSERT INTO `LaunchCondition` (`Condition`, `Description`) VALUES (?, ?)";
constexpr const wchar_t* kLaunchConditionDelete =
    L"DELETE FROM `LaunchCondition` WHERE `Condition`='VersionNT = 602'";
constexpr const wchar_t* kActionQuery =
    L"SELECT * FROM `InstallExecuteSequence` WHERE `Action`='CheckDriverUninstallResult'";
constexpr const wchar_t* kActionUpdate =
    L"UPDATE  `InstallExecuteSequence` SET `Condition` = '0' WHERE `Action`='CheckDriverUninstallResult'";

// Product codes are GUIDs: the same text in either letter case is the same
// product (the installer lists codes in upper case).
bool SameProductCode(const wchar_t* a, const wchar_t* b) {
    auto lower = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; };
    for (; *a != L'\0' && *b != L'\0'; ++a, ++b)
        if (lower(*a) != lower(*b)) return false;
    return *a == *b;
}

// Reads a string field in full, growing the buffer as long as the installer
// asks for more. On failure the text is empty.
UINT ReadRecordString(MSIHANDLE record, UINT field, std::wstring& text) {
    std::vector<wchar_t> buffer(260);
    for (;;) {
        auto size = static_cast<DWORD>(buffer.size());
        const UINT result = MsiRecordGetStringW(record, field, buffer.data(), &size);
        if (result == ERROR_MORE_DATA && size >= buffer.size()) {
            buffer.resize(size + 1);
            continue;
        }
        // Up to the first NUL, and never past the buffer.
        text = result == ERROR_SUCCESS
                   ? TextInBuffer(buffer.data(), buffer.size())
                   : std::wstring();
        return result;
    }
}

// A record holding the statement's parameters, or none (0) when there are
// none; the caller closes a record it is given even when filling it failed.
UINT MakeParameterRecord(std::initializer_list<const wchar_t*> parameters, MSIHANDLE& record) {
    record = 0;
    if (parameters.size() == 0) return ERROR_SUCCESS;
    record = MsiCreateRecord(static_cast<UINT>(parameters.size()));
    if (record == 0) return ERROR_OUTOFMEMORY;
    UINT field = 1;
    for (const wchar_t* value : parameters) {
        const UINT result = MsiRecordSetStringW(record, field++, value);
        if (result != ERROR_SUCCESS) return result;
    }
    return ERROR_SUCCESS;
}

// Opens a view on a statement that changes the database and executes it with
// its parameters. Returns 0 or the failing call's code, reported with the
// open or the execute text.
UINT RunStatement(MSIHANDLE database, const wchar_t* statement,
                  std::initializer_list<const wchar_t*> parameters, const char* openFailure,
                  const char* executeFailure) {
    MSIHANDLE view = 0;
    UINT result = MsiDatabaseOpenViewW(database, statement, &view);
    if (result != ERROR_SUCCESS) {
        ReportFailure(openFailure, result);
        return result;
    }
    MSIHANDLE record = 0;
    result = MakeParameterRecord(parameters, record);
    if (result == ERROR_SUCCESS) result = MsiViewExecute(view, record);
    if (result != ERROR_SUCCESS) ReportFailure(executeFailure, result);
    if (record != 0) MsiCloseHandle(record);
    MsiCloseHandle(view);
    return result;
}

// Opens and executes a query; false (reported) when either fails.
bool OpenQuery(MSIHANDLE database, const wchar_t* query, MSIHANDLE& view, const char* openFailure,
               const char* executeFailure) {
    view = 0;
    UINT result = MsiDatabaseOpenViewW(database, query, &view);
    if (result != ERROR_SUCCESS) {
        ReportFailure(openFailure, result);
        return false;
    }
    result = MsiViewExecute(view, 0);
    if (result != ERROR_SUCCESS) {
        ReportFailure(executeFailure, result);
        MsiCloseHandle(view);
        return false;
    }
    return true;
}

}  // namespace

void PatchPackageDatabase(MSIHANDLE database, const wchar_t* productCode) {
    bool launchConditionReplaced = false;
    std::wstring description;
    if (SameProductCode(productCode, PatchedProductCode) &&
        FindVersionLaunchCondition(database, description)) {
        UINT result = InsertLaunchCondition(database, description.c_str());
        if (result == ERROR_SUCCESS) result = DeleteLaunchCondition(database);
        launchConditionReplaced = result == ERROR_SUCCESS;
        if (!launchConditionReplaced)
            ReportLine("Can't make changes in package installer data base (InvalidCondition).");
    }

    bool commit = launchConditionReplaced;
    if (FindUninstallCheckAction(database)) {
        if (DisableUninstallCheckAction(database) == ERROR_SUCCESS)
            commit = true;
        else
            ReportLine("Can't make changes in package installer data base (CheckUninstallAction).");
    }
    if (!commit) return;

    const UINT result = MsiDatabaseCommit(database);
    if (result == ERROR_SUCCESS)
        ReportLine("Driver installer data base has changed successfully.");
    else
        ReportFailure("Can't commit changes in package installer data base", result);
}

bool FindVersionLaunchCondition(MSIHANDLE database, std::wstring& description) {
    MSIHANDLE view = 0;
    if (!OpenQuery(database, kLaunchConditionQuery, view,
                   "Can't query condition table in package installer data base",
                   "Can't execute query condition table in package installer data base"))
        return false;

    bool found = false;
    MSIHANDLE record = 0;
    while (MsiViewFetch(view, &record) == ERROR_SUCCESS) {
        wchar_t condition[261];
        DWORD conditionSize = 261;
        if (MsiRecordGetStringW(record, 1, condition, &conditionSize) == ERROR_SUCCESS &&
            TextInBuffer(condition, 261) == kOldLaunchCondition) {
            ReadRecordString(record, 2, description);
            ReportLine("Invalid condition description string: ", description.c_str());
            found = true;
        }
        MsiCloseHandle(record);
    }
    MsiCloseHandle(view);
    return found;
}

UINT InsertLaunchCondition(MSIHANDLE database, const wchar_t* description) {
    return RunStatement(
        database, kLaunchConditionInsert, {kNewLaunchCondition, description},
        "Can't open insert to condition table in package installer data base",
        "Can't execute insert to condition table in package installer data base");
}

UINT DeleteLaunchCondition(MSIHANDLE database) {
    return RunStatement(
        database, kLaunchConditionDelete, {},
        "Can't open delete to condition table in package installer data base",
        "Can't execute delete to condition table in package installer data base");
}

bool FindUninstallCheckAction(MSIHANDLE database) {
    MSIHANDLE view = 0;
    if (!OpenQuery(database, kActionQuery, view,
                   "Can't query InstallExecuteSequence in package installer data base",
                   "Can't execute query InstallExecuteSequence in package installer data base"))
        return false;

    // A fetch that fails otherwise than with "no more items" counts as a row.
    MSIHANDLE record = 0;
    UINT fetched = MsiViewFetch(view, &record);
    const bool found = fetched != ERROR_NO_MORE_ITEMS;
    while (fetched == ERROR_SUCCESS) {
        MsiCloseHandle(record);
        fetched = MsiViewFetch(view, &record);
    }
    MsiCloseHandle(view);
    return found;
}

UINT DisableUninstallCheckAction(MSIHANDLE database) {
    return RunStatement(
        database, kActionUpdate, {},
        "Can't open update to condition InstallExecuteSequence in package installer data base",
        "Can't execute update to InstallExecuteSequence table in package installer data base");
}
