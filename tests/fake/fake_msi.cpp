#include "fake/fake_msi.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <optional>
#include <regex>
#include <string_view>

#include "fake/fake_kernel.h"

namespace {

// An open installer object behind a handle.
struct Object {
    std::string kind;
    // database
    std::wstring path;
    FakeMsiPackage work;  // edits not committed yet
    // view
    MSIHANDLE database = 0;
    std::wstring statement;
    bool executed = false;
    std::vector<std::vector<std::wstring>> rows;
    std::size_t nextRow = 0;
    // record (fields[0] is field 0)
    std::vector<std::wstring> fields;
};

struct Handles {
    std::map<MSIHANDLE, Object> objects;
    MSIHANDLE next = 1;
    std::wstring logFile;  // the log setting in force
};

FakeMsi msi;
Handles handles;
const FakeResetRegistration reset([] { msi = FakeMsi{}; });
const FakeProcessStateRegistration processState([] { handles = Handles{}; });

std::wstring Upper(std::wstring text) {
    for (auto& c : text) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return text;
}

// GUIDs compare without regard to letter case.
bool SameGuid(const std::wstring& a, const std::wstring& b) { return Upper(a) == Upper(b); }

std::optional<UINT> Injected(const wchar_t* operation, const std::wstring& statement = L"",
                             UINT field = 0) {
    if (const DWORD failure = FakeFailure()) return failure;
    for (const auto& f : msi.failures)
        if (f.operation == operation && (f.statement.empty() || f.statement == statement) &&
            (f.field == 0 || f.field == field))
            return f.code;
    return std::nullopt;
}

MSIHANDLE Open(Object object) {
    FakeHandleOpened(object.kind);
    const MSIHANDLE handle = handles.next++;
    handles.objects.emplace(handle, std::move(object));
    return handle;
}

Object* Find(MSIHANDLE handle, const std::string& kind) {
    const auto found = handles.objects.find(handle);
    return found == handles.objects.end() || found->second.kind != kind ? nullptr : &found->second;
}

FakeMsiProduct* FindProduct(const std::wstring& productCode) {
    for (auto& product : msi.products)
        if (SameGuid(product.productCode, productCode)) return &product;
    return nullptr;
}

// The statements the installer's SQL engine is asked for, as the fake knows
// them; anything else is a syntax error.
const std::wregex kSelectLaunchConditions(
    LR"(SELECT `Condition`, `Description` FROM `LaunchCondition`)");
const std::wregex kInsertLaunchCondition(
    LR"(INSERT INTO `LaunchCondition` \(`Condition`, `Description`\) VALUES \(\?, \?\))");
const std::wregex kDeleteLaunchCondition(
    LR"(DELETE FROM `LaunchCondition` WHERE `Condition`='([^']*)')");
const std::wregex kSelectAction(
    LR"(SELECT \* FROM `InstallExecuteSequence` WHERE `Action`='([^']*)')");
const std::wregex kUpdateActionCondition(
    LR"(UPDATE  `InstallExecuteSequence` SET `Condition` = '([^']*)' WHERE `Action`='([^']*)')");

const std::wregex kSelectProductCode(
    LR"(SELECT `Value` FROM `Property` WHERE `Property`='ProductCode')");

// What a package file's content says when it is a package: its key in
// FakeMsi::packages.
constexpr std::string_view kPackageFileMark = "msi-package:";

// The package at path: a file whose content names one (an original, or a
// copy of it), else a cached package by its path. Null when it is no package.
FakeMsiPackage* PackageAt(const std::wstring& path) {
    const auto cached = msi.packages.find(path);
    const auto file = TheFakeKernel().files.find(path);
    if (file == TheFakeKernel().files.end()) return cached == msi.packages.end() ? nullptr : &cached->second;
    if (!file->second.starts_with(kPackageFileMark)) return nullptr;
    const std::string key = file->second.substr(kPackageFileMark.size());
    const auto named = msi.packages.find(std::wstring(key.begin(), key.end()));
    return named == msi.packages.end() ? nullptr : &named->second;
}

// A package's product code (or package code): its own, or else that of the
// product it is the cached package of.
std::wstring CodeOf(const std::wstring& path, const FakeMsiPackage& package, bool productCode) {
    const std::wstring& own = productCode ? package.productCode : package.packageCode;
    if (!own.empty()) return own;
    for (const auto& product : msi.products)
        if (product.localPackage == path) return productCode ? product.productCode : product.packageCode;
    return L"";
}

// Text into a caller's buffer, as the installer gives it: ERROR_MORE_DATA
// with the length when it does not fit, and as much as fits (without cut,
// nothing).
UINT CopyOut(const std::wstring& value, LPWSTR valueBuffer, LPDWORD valueSize, bool cut = true) {
    const FakeTextAnswer answer = FakeWriteText(valueBuffer, *valueSize, value, cut);
    *valueSize = answer.length;
    return answer.fits ? ERROR_SUCCESS : ERROR_MORE_DATA;
}

bool KnownStatement(const std::wstring& sql, const FakeMsiPackage& package) {
    if (std::regex_match(sql, kSelectProductCode)) return true;
    const bool launchConditions = std::regex_match(sql, kSelectLaunchConditions) ||
                                  std::regex_match(sql, kInsertLaunchCondition) ||
                                  std::regex_match(sql, kDeleteLaunchCondition);
    if (launchConditions) return package.hasLaunchConditionTable;
    return std::regex_match(sql, kSelectAction) || std::regex_match(sql, kUpdateActionCondition);
}

UINT Execute(Object& view, const std::wstring& path, FakeMsiPackage& package, const Object* record) {
    std::wsmatch match;
    const std::wstring& sql = view.statement;
    view.rows.clear();
    view.nextRow = 0;
    if (std::regex_match(sql, kSelectProductCode)) {
        if (const std::wstring code = CodeOf(path, package, true); !code.empty()) view.rows.push_back({code});
    } else if (std::regex_match(sql, kSelectLaunchConditions)) {
        for (const auto& row : package.launchConditions)
            view.rows.push_back({row.condition, row.description});
    } else if (std::regex_match(sql, match, kSelectAction)) {
        for (const auto& row : package.installExecuteSequence)
            if (row.action == match[1].str())
                view.rows.push_back({row.action, row.condition, std::to_wstring(row.sequence)});
    } else if (std::regex_match(sql, kInsertLaunchCondition)) {
        if (record == nullptr || record->fields.size() < 3) return kMsiFunctionFailed;
        for (const auto& row : package.launchConditions)
            if (row.condition == record->fields[1]) return kMsiFunctionFailed;  // key taken
        package.launchConditions.push_back({record->fields[1], record->fields[2]});
    } else if (std::regex_match(sql, match, kDeleteLaunchCondition)) {
        std::erase_if(package.launchConditions,
                      [&](const FakeLaunchCondition& row) { return row.condition == match[1].str(); });
    } else if (std::regex_match(sql, match, kUpdateActionCondition)) {
        for (auto& row : package.installExecuteSequence)
            if (row.action == match[2].str()) row.condition = match[1].str();
    }
    view.executed = true;
    return ERROR_SUCCESS;
}

// What uninstalling from this package does on the modelled machine.
UINT UninstallResult(const FakeMsiPackage& package) {
    auto listed = [](const std::vector<std::wstring>& list, const std::wstring& item) {
        return std::find(list.begin(), list.end(), item) != list.end();
    };
    for (const auto& row : package.launchConditions)
        if (listed(msi.falseConditions, row.condition)) return kMsiInstallFailure;
    for (const auto& row : package.installExecuteSequence)
        if (listed(msi.failingActions, row.action) && row.condition != L"0") return kMsiInstallFailure;
    return ERROR_SUCCESS;
}

}  // namespace

FakeMsi& TheFakeMsi() { return msi; }

std::vector<FakeSequenceRow> FakeScannerSequence() {
    return {{L"LaunchConditions", L"", 100},
            {L"CostInitialize", L"", 800},
            {L"CheckDriverUninstallResult", L"REMOVE=\"ALL\"", 1450},
            {L"InstallInitialize", L"", 1500}};
}

void FakePlaceOriginalPackage(const std::wstring& folder, const std::wstring& name, FakeMsiPackage package) {
    const std::wstring path = folder + L"\\" + name;
    TheFakeKernel().folders[folder].push_back(name);
    TheFakeKernel().files[path] = std::string(kPackageFileMark) + std::string(path.begin(), path.end());
    msi.packages[path] = std::move(package);
}

void FakeMsiInstallProduct(const std::wstring& upgradeCode, const std::wstring& productCode,
                           const std::wstring& packagePath, FakeMsiPackage package) {
    msi.products.push_back({upgradeCode, productCode, packagePath, 0, 0});
    msi.packages[packagePath] = std::move(package);
}

INSTALLUILEVEL MsiSetInternalUI(INSTALLUILEVEL level, HWND* window) {
    FakeRecordCall(L"MsiSetInternalUI(" + std::to_wstring(static_cast<int>(level)) + L", " +
                   (window == nullptr ? L"null" : L"window") + L")");
    ++msi.setInternalUICalls;
    return INSTALLUILEVEL_NONE;
}

UINT MsiEnumRelatedProductsW(LPCWSTR upgradeCode, DWORD reserved, DWORD productIndex,
                             LPWSTR productBuffer) {
    FakeRecordCall(L"MsiEnumRelatedProductsW(" + FakeQuoted(upgradeCode) + L", " +
                   std::to_wstring(reserved) + L", " + std::to_wstring(productIndex) + L")");
    if (auto code = Injected(L"MsiEnumRelatedProductsW")) return *code;
    DWORD index = 0;
    for (const auto& product : msi.products) {
        if (!SameGuid(product.upgradeCode, upgradeCode)) continue;
        if (index++ != productIndex) continue;
        FakeWriteText(productBuffer, 39, Upper(product.productCode));
        return ERROR_SUCCESS;
    }
    for (const auto& [code, end] : msi.enumerationEnd)
        if (SameGuid(code, upgradeCode)) return end;
    return ERROR_NO_MORE_ITEMS;
}

UINT MsiGetProductInfoW(LPCWSTR product, LPCWSTR property, LPWSTR valueBuffer, LPDWORD valueSize) {
    FakeRecordCall(L"MsiGetProductInfoW(" + FakeQuoted(product) + L", " + FakeQuoted(property) + L", " +
                   std::to_wstring(*valueSize) + L")");
    if (auto code = Injected(L"MsiGetProductInfoW")) return *code;
    const FakeMsiProduct* found = FindProduct(product);
    if (found == nullptr) return kMsiUnknownProduct;
    const std::wstring name = property;
    const std::map<std::wstring, const std::wstring*> properties{
        {L"LocalPackage", &found->localPackage}, {L"InstalledProductName", &found->name},
        {L"VersionString", &found->version},     {L"PackageCode", &found->packageCode}};
    const auto known = properties.find(name);
    if (known == properties.end()) return kMsiUnknownProperty;
    return CopyOut(*known->second, valueBuffer, valueSize, false);
}

UINT MsiOpenDatabaseW(LPCWSTR databasePath, LPCWSTR persist, MSIHANDLE* database) {
    FakeRecordCall(L"MsiOpenDatabaseW(" + FakeQuoted(databasePath) + L", " +
                   std::to_wstring(reinterpret_cast<std::uintptr_t>(persist)) + L")");
    if (auto code = Injected(L"MsiOpenDatabaseW")) return *code;
    const FakeMsiPackage* package = PackageAt(databasePath);
    // MSIDBOPEN_PATCHFILE (32 bytes past the mode) for a patch, and only then.
    const bool patchMode = reinterpret_cast<std::uintptr_t>(persist) >= 32;
    if (package == nullptr || package->patch != patchMode) return kMsiOpenFailed;
    Object object;
    object.kind = kMsiDatabaseKind;
    object.path = databasePath;
    object.work = *package;
    *database = Open(std::move(object));
    return ERROR_SUCCESS;
}

UINT MsiCloseHandle(MSIHANDLE handle) {
    const auto found = handles.objects.find(handle);
    if (found == handles.objects.end()) {
        FakeRecordRelease(L"MsiCloseHandle(unknown " + std::to_wstring(handle) + L")");
        FakeHandleClosed("msi-unknown");  // counts a bad close
        return kMsiInvalidHandle;
    }
    FakeRecordRelease(L"MsiCloseHandle(" +
                   std::wstring(found->second.kind.begin(), found->second.kind.end()) + L")");
    FakeHandleClosed(found->second.kind);
    handles.objects.erase(found);
    return ERROR_SUCCESS;
}

UINT MsiEnableLogW(DWORD logMode, LPCWSTR logFile, DWORD logAttributes) {
    wchar_t mode[16];
    std::swprintf(mode, 16, L"0x%X", logMode);
    FakeRecordCall(L"MsiEnableLogW(" + std::wstring(mode) + L", " + FakeQuoted(logFile) + L", " +
                   std::to_wstring(logAttributes) + L")");
    msi.logSettings.push_back({logMode, logFile == nullptr ? L"" : logFile, logAttributes});
    if (auto code = Injected(L"MsiEnableLogW")) return *code;
    handles.logFile = logFile == nullptr ? L"" : logFile;
    return ERROR_SUCCESS;
}

UINT MsiInstallProductW(LPCWSTR packagePath, LPCWSTR commandLine) {
    FakeRecordCall(L"MsiInstallProductW(" + FakeQuoted(packagePath) + L", " + FakeQuoted(commandLine) + L")");
    FakeMsiInstall install{packagePath, commandLine, handles.logFile, ERROR_SUCCESS};
    // The product is the one whose codes the package holds; Windows refuses
    // another build of it (another package code).
    const FakeMsiPackage* package = PackageAt(packagePath);
    auto product = msi.products.end();
    if (package != nullptr) {
        const std::wstring productCode = CodeOf(packagePath, *package, true);
        product = std::find_if(msi.products.begin(), msi.products.end(),
                               [&](const FakeMsiProduct& p) { return SameGuid(p.productCode, productCode); });
    }
    if (auto code = Injected(L"MsiInstallProductW")) {
        install.result = *code;
    } else if (product == msi.products.end()) {
        install.result = kMsiPackageOpenFailed;
    } else if (!SameGuid(CodeOf(packagePath, *package, false), product->packageCode)) {
        install.result = kMsiOtherBuild;
    } else if (product->installFailure != ERROR_SUCCESS) {
        install.result = product->installFailure;
    } else if (std::any_of(product->patches.begin(), product->patches.end(), [](const FakeMsiPatch& patch) {
                   return TheFakeKernel().files.count(patch.localPackage) == 0 && msi.packages.count(patch.localPackage) == 0;
               })) {
        install.result = kMsiSourceAbsent;
    } else if (const std::wstring line = commandLine; line.starts_with(L"REMOVE=ALL")) {
        install.result = UninstallResult(*package);
        if (install.result == ERROR_SUCCESS) {
            install.result = product->removedResult;
            if (install.result != ERROR_SUCCESS && line.find(L"REBOOT=ReallySuppress") == std::wstring::npos)
                msi.restartedComputer = true;
            // Removed: unregistered, and its cached package deleted.
            msi.packages.erase(product->localPackage);
            TheFakeKernel().files.erase(product->localPackage);
            msi.products.erase(product);
        }
    }
    msi.installs.push_back(install);
    return install.result;
}

UINT MsiDatabaseOpenViewW(MSIHANDLE database, LPCWSTR query, MSIHANDLE* view) {
    FakeRecordCall(L"MsiDatabaseOpenViewW(" + FakeQuoted(query) + L")");
    Object* db = Find(database, kMsiDatabaseKind);
    if (db == nullptr) return kMsiInvalidHandle;
    if (auto code = Injected(L"MsiDatabaseOpenViewW", query)) return *code;
    if (!KnownStatement(query, db->work)) return kMsiBadQuerySyntax;
    Object object;
    object.kind = kMsiViewKind;
    object.database = database;
    object.statement = query;
    *view = Open(std::move(object));
    return ERROR_SUCCESS;
}

UINT MsiViewExecute(MSIHANDLE view, MSIHANDLE record) {
    Object* v = Find(view, kMsiViewKind);
    const Object* r = record == 0 ? nullptr : Find(record, kMsiRecordKind);
    std::wstring call = L"MsiViewExecute(" + FakeQuoted(v == nullptr ? nullptr : v->statement.c_str());
    if (r != nullptr) {
        for (std::size_t i = 1; i < r->fields.size(); ++i) call += L", " + FakeQuoted(r->fields[i].c_str());
    } else {
        call += record == 0 ? L", 0" : L", bad record";
    }
    FakeRecordCall(call + L")");
    if (v == nullptr || (record != 0 && r == nullptr)) return kMsiInvalidHandle;
    if (auto code = Injected(L"MsiViewExecute", v->statement)) return *code;
    Object* db = Find(v->database, kMsiDatabaseKind);
    if (db == nullptr) return kMsiInvalidHandle;
    return Execute(*v, db->path, db->work, r);
}

UINT MsiViewFetch(MSIHANDLE view, MSIHANDLE* record) {
    Object* v = Find(view, kMsiViewKind);
    FakeRecordCall(L"MsiViewFetch(" + FakeQuoted(v == nullptr ? nullptr : v->statement.c_str()) + L")");
    if (v == nullptr) return kMsiInvalidHandle;
    if (auto code = Injected(L"MsiViewFetch", v->statement)) return *code;
    if (!v->executed) return kMsiFunctionFailed;
    if (v->nextRow >= v->rows.size()) return ERROR_NO_MORE_ITEMS;
    Object object;
    object.kind = kMsiRecordKind;
    object.statement = v->statement;
    object.fields.push_back(L"");
    for (const auto& field : v->rows[v->nextRow]) object.fields.push_back(field);
    ++v->nextRow;
    *record = Open(std::move(object));
    return ERROR_SUCCESS;
}

UINT MsiRecordGetStringW(MSIHANDLE record, UINT field, LPWSTR valueBuffer, LPDWORD valueSize) {
    FakeRecordCall(L"MsiRecordGetStringW(" + std::to_wstring(field) + L", " +
                   std::to_wstring(*valueSize) + L")");
    const Object* r = Find(record, kMsiRecordKind);
    if (r == nullptr) return kMsiInvalidHandle;
    if (auto code = Injected(L"MsiRecordGetStringW", r->statement, field)) return *code;
    return CopyOut(field < r->fields.size() ? r->fields[field] : L"", valueBuffer, valueSize);
}

MSIHANDLE MsiCreateRecord(UINT params) {
    FakeRecordCall(L"MsiCreateRecord(" + std::to_wstring(params) + L")");
    if (Injected(L"MsiCreateRecord")) return 0;
    Object object;
    object.kind = kMsiRecordKind;
    object.fields.resize(params + 1);
    return Open(std::move(object));
}

UINT MsiRecordSetStringW(MSIHANDLE record, UINT field, LPCWSTR value) {
    FakeRecordCall(L"MsiRecordSetStringW(" + std::to_wstring(field) + L", " + FakeQuoted(value) + L")");
    Object* r = Find(record, kMsiRecordKind);
    if (r == nullptr) return kMsiInvalidHandle;
    if (auto code = Injected(L"MsiRecordSetStringW", L"", field)) return *code;
    if (field >= r->fields.size()) return kMsiInvalidParameter;
    r->fields[field] = value == nullptr ? L"" : value;
    return ERROR_SUCCESS;
}

UINT MsiDatabaseCommit(MSIHANDLE database) {
    FakeRecordCall(L"MsiDatabaseCommit()");
    Object* db = Find(database, kMsiDatabaseKind);
    if (db == nullptr) return kMsiInvalidHandle;
    if (auto code = Injected(L"MsiDatabaseCommit")) return *code;
    // A copy's edits are its own: from now on the installer finds it by its path.
    msi.packages[db->path] = db->work;
    const auto file = TheFakeKernel().files.find(db->path);
    if (file != TheFakeKernel().files.end()) file->second = std::string(kPackageFileMark) + std::string(db->path.begin(), db->path.end());
    return ERROR_SUCCESS;
}

UINT MsiGetSummaryInformationW(MSIHANDLE database, LPCWSTR, UINT, MSIHANDLE* summaryInfo) {
    FakeRecordCall(L"MsiGetSummaryInformationW()");
    if (const DWORD failure = FakeFailure()) return failure;
    const Object* db = Find(database, kMsiDatabaseKind);
    if (db == nullptr) return kMsiInvalidHandle;
    Object object;
    object.kind = kMsiSummaryKind;
    object.fields.push_back(CodeOf(db->path, db->work, false));
    *summaryInfo = Open(std::move(object));
    return ERROR_SUCCESS;
}

// The revision number alone: the package code.
UINT MsiSummaryInfoGetPropertyW(MSIHANDLE summaryInfo, UINT property, PUINT, int*, FILETIME*, LPWSTR valueBuffer,
                                LPDWORD valueSize) {
    FakeRecordCall(L"MsiSummaryInfoGetPropertyW(" + std::to_wstring(property) + L")");
    if (const DWORD failure = FakeFailure()) return failure;
    const Object* summary = Find(summaryInfo, kMsiSummaryKind);
    if (summary == nullptr || property != PID_REVNUMBER) return kMsiInvalidParameter;
    return CopyOut(summary->fields[0], valueBuffer, valueSize);
}

// The applied patches of a product installed per machine: listed when the
// machine's context is asked for; read in it, with no user.
UINT MsiEnumPatchesExW(LPCWSTR productCode, LPCWSTR userSid, DWORD context, DWORD filter, DWORD index,
                       WCHAR patchCode[39], WCHAR /*targetProductCode*/[39], MSIINSTALLCONTEXT* targetProductContext,
                       LPWSTR targetUserSid, LPDWORD targetUserSidSize) {
    FakeRecordCall(L"MsiEnumPatchesExW(" + FakeQuoted(productCode) + L", " + FakeQuoted(userSid) + L", " +
                   std::to_wstring(context) + L", " + std::to_wstring(filter) + L", " + std::to_wstring(index) + L")");
    if (auto code = Injected(L"MsiEnumPatchesExW")) return *code;
    const FakeMsiProduct* product = FindProduct(productCode);
    if (product == nullptr || index >= product->patches.size() || (context & MSIINSTALLCONTEXT_MACHINE) == 0 ||
        (filter & MSIPATCHSTATE_APPLIED) == 0)
        return ERROR_NO_MORE_ITEMS;
    if (patchCode != nullptr) FakeWriteText(patchCode, 39, product->patches[index].code);
    if (targetProductContext != nullptr) *targetProductContext = MSIINSTALLCONTEXT_MACHINE;
    if (targetUserSid != nullptr) FakeWriteText(targetUserSid, *targetUserSidSize, L"");
    if (targetUserSidSize != nullptr) *targetUserSidSize = 0;
    return ERROR_SUCCESS;
}

UINT MsiGetPatchInfoExW(LPCWSTR patchCode, LPCWSTR productCode, LPCWSTR userSid, MSIINSTALLCONTEXT context,
                        LPCWSTR property, LPWSTR value, LPDWORD valueSize) {
    FakeRecordCall(L"MsiGetPatchInfoExW(" + FakeQuoted(patchCode) + L", " + FakeQuoted(productCode) + L", " +
                   FakeQuoted(userSid) + L", " + std::to_wstring(static_cast<int>(context)) + L", " +
                   FakeQuoted(property) + L", " + std::to_wstring(*valueSize) + L")");
    if (auto code = Injected(L"MsiGetPatchInfoExW")) return *code;
    const FakeMsiProduct* product = FindProduct(productCode);
    if (product == nullptr || userSid != nullptr || context != MSIINSTALLCONTEXT_MACHINE) return kMsiUnknownProduct;
    if (std::wstring(property) != L"LocalPackage") return kMsiUnknownProperty;
    for (const FakeMsiPatch& patch : product->patches)
        if (SameGuid(patch.code, patchCode)) return CopyOut(patch.localPackage, value, valueSize, false);
    return kMsiUnknownPatch;
}
