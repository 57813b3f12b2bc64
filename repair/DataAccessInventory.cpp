#include "repair/DataAccessInventory.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cwctype>
#include <map>
#include <set>
#include <utility>

#include "repair/RepairRun.h"
#include "winsupport/Accounts.h"
#include "winsupport/MessageCatalogue.h"
#include "winsupport/PeImage.h"
#include "winsupport/modAPI.h"

namespace {

// Beside the class table: the Access engine that replaced Jet, the SQL Server
// providers and DAO, which database programs name as often.
constexpr const wchar_t* kOtherNamedProviders[] = {
    L"Microsoft.ACE.OLEDB.12.0", L"Microsoft.ACE.OLEDB.16.0", L"SQLOLEDB", L"MSOLEDBSQL",
    L"DAO.DBEngine.36",          L"DAO.DBEngine.120",
};

constexpr wchar_t kClasses[] = L"Software\\Classes";
constexpr wchar_t kOdbcInst[] = L"SOFTWARE\\ODBC\\ODBCINST.INI";
constexpr wchar_t kOdbcIni[] = L"SOFTWARE\\ODBC\\ODBC.INI";
constexpr wchar_t kJetEngines[] = L"SOFTWARE\\Microsoft\\Jet\\4.0\\Engines";
constexpr wchar_t kJetFormats[] = L"SOFTWARE\\Microsoft\\Jet\\4.0\\ISAM Formats";

std::wstring Lower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towlower(c); });
    return text;
}

bool SameName(const std::wstring& left, const std::wstring& right) {
    return ::lstrcmpiW(left.c_str(), right.c_str()) == 0;
}

std::wstring Code(unsigned long code) {
    return FailureCode({RegistrationOutcome::Kind::EntryPointFailed, code});
}

// A class's key in one view, as COM merges the user's classes over the machine's.
ViewKey ClassesKey(const std::wstring& path, RegistryView view) {
    ViewKey user(HKEY_CURRENT_USER, std::wstring(kClasses) + L"\\" + path, view);
    if (user) return user;
    return ViewKey(HKEY_LOCAL_MACHINE, std::wstring(kClasses) + L"\\" + path, view);
}

// What a file a registration names is, for a program of the view's bitness.
struct FileVerdict {
    ResolvedFile file;
    bool present = false;
    bool rightBitness = false;
    RegistryView fileBits = RegistryView::Bits32;
};

FileVerdict Examine(const std::wstring& registered, RegistryView view) {
    FileVerdict verdict;
    verdict.file = ResolveRegisteredFile(registered, view);
    verdict.present = FileExists(verdict.file);
    if (!verdict.present) return verdict;
    PeImage image;
    // A file that is no image at all is left to the loader to refuse.
    if (!ReadPeImage(verdict.file.access, image, verdict.file.withoutRedirection)) {
        verdict.rightBitness = true;
        verdict.fileBits = view;
        return verdict;
    }
    verdict.fileBits = image.pe32Plus ? RegistryView::Bits64 : RegistryView::Bits32;
    verdict.rightBitness = verdict.fileBits == view;
    return verdict;
}

// Fills state, code and reason of an item whose file decides it: `good` for
// a present file of the right bitness.
void Judge(InventoryItem& item, const FileVerdict& verdict, const wchar_t* good, const std::wstring& goodReason) {
    item.file = verdict.file.shown;
    if (!verdict.present) {
        item.state = L"file-missing";
        item.code = Code(ERROR_FILE_NOT_FOUND);
        item.reason = LoadMessage(msg::RegisteredFileMissing);
    } else if (!verdict.rightBitness) {
        item.state = L"wrong-bitness";
        item.code = Code(ERROR_BAD_EXE_FORMAT);
        item.reason =
            FormatPlaceholders(LoadMessage(msg::FileOfOtherBitness), {ViewBits(verdict.fileBits), ViewBits(item.view)});
    } else {
        item.state = good;
        item.reason = goodReason;
    }
}

// ---- providers and classes ------------------------------------------------------

struct ClassFound {
    std::wstring clsid;
    std::wstring server;  // InprocServer32 as registered
    bool hasServer = false;
};

ClassFound FindClass(const std::wstring& clsid, RegistryView view) {
    ClassFound found;
    found.clsid = clsid;
    const ViewKey server = ClassesKey(L"CLSID\\" + clsid + L"\\InprocServer32", view);
    found.hasServer = server.Text(L"", found.server) && !found.server.empty();
    return found;
}

// From Windows 7 on the classes' names are one list for both views, kept in
// the 64-bit one; XP x64 and Vista keep a copy in each.
ViewKey ProgIdKey(const std::wstring& path, RegistryView view) {
    ViewKey shared = ClassesKey(path, RegistryView::Bits64);
    if (shared || !IsWindows64()) return shared;
    return ClassesKey(path, view);
}

bool ProgIdClass(const std::wstring& progId, RegistryView view, std::wstring& clsid) {
    return ProgIdKey(progId + L"\\CLSID", view).Text(L"", clsid) && !clsid.empty();
}

// A named class read in a view it is not created in.
InventoryItem ReadNamedClass(const std::wstring& progId, RegistryView view) {
    InventoryItem item;
    item.kind = ItemKind::Provider;
    item.view = view;
    item.name = progId;
    std::wstring clsid;
    const ClassFound found = ProgIdClass(progId, view, clsid) ? FindClass(clsid, view) : ClassFound{};
    if (!found.hasServer) {
        item.state = L"not-registered";
        item.code = Code(clsid.empty() ? static_cast<unsigned long>(CO_E_CLASSSTRING)
                                       : static_cast<unsigned long>(REGDB_E_CLASSNOTREG));
        item.reason = FormatPlaceholders(LoadMessage(msg::NotRegisteredForBits), {ViewBits(view)});
        return item;
    }
    Judge(item, Examine(found.server, view), L"registered",
          FormatPlaceholders(LoadMessage(msg::RegisteredReadOnly), {ViewBits(view)}));
    return item;
}

// A file that is not there or not for the view needs a person; the rest is
// the repair's.
bool NamedClassFault(const InventoryItem& item) {
    return item.state == L"file-missing" || item.state == L"wrong-bitness";
}

InventoryItem CreatedItem(const ClassReport& report) {
    InventoryItem item;
    item.kind = ItemKind::Provider;
    item.view = OwnView();
    item.name = report.dataClass.progId;
    item.file = report.outcome.path;
    item.state = ClassKeyword(report.outcome.state);
    item.code = ClassCode(report);
    item.reason = ClassReason(report);
    return item;
}

// Every OLE DB provider a view registers, as the root enumerator finds them.
void AddOtherProviders(Inventory& inventory, RegistryView view, const std::set<std::wstring>& named) {
    std::set<std::wstring> seen;
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        const ViewKey classes(root, std::wstring(kClasses) + L"\\CLSID", view);
        for (const std::wstring& clsid : classes.SubkeysHaving(L"OLE DB Provider")) {
            const ViewKey provider(classes, clsid + L"\\OLE DB Provider");
            if (!provider || !seen.insert(Lower(clsid)).second) continue;
            std::wstring progId;
            ViewKey(classes, clsid + L"\\ProgID").Text(L"", progId);
            std::wstring server;
            const bool hasServer = ViewKey(classes, clsid + L"\\InprocServer32").Text(L"", server) && !server.empty();
            if (progId.empty() || !hasServer || named.count(Lower(progId)) != 0) continue;
            InventoryItem item;
            item.kind = ItemKind::Provider;
            item.view = view;
            item.name = progId;
            provider.Text(L"", item.note);
            Judge(item, Examine(server, view), L"registered",
                  FormatPlaceholders(LoadMessage(msg::RegisteredReadOnly), {ViewBits(view)}));
            inventory.items.push_back(item);
            // A version-independent name whose current version leads elsewhere
            // makes programs that use it fail.
            std::wstring independent;
            if (!ViewKey(classes, clsid + L"\\VersionIndependentProgID").Text(L"", independent) ||
                independent.empty() || named.count(Lower(independent)) != 0)
                continue;
            std::wstring current;
            if (!ProgIdKey(independent + L"\\CurVer", view).Text(L"", current) || current.empty()) continue;
            std::wstring currentClass;
            const bool registered = ProgIdClass(current, view, currentClass);
            if (registered && SameName(currentClass, clsid)) continue;
            InventoryItem curVer = item;
            curVer.name = independent;
            curVer.state = registered ? L"fails" : L"not-registered";
            curVer.code = registered ? std::wstring() : Code(static_cast<unsigned long>(CO_E_CLASSSTRING));
            curVer.reason = FormatPlaceholders(
                LoadMessage(registered ? msg::CurVerOtherClass : msg::CurVerNotRegistered), {current});
            inventory.items.push_back(curVer);
        }
    }
}

// ---- ODBC ---------------------------------------------------------------------------

// The drivers a view has, with the judged item of each.
std::map<std::wstring, InventoryItem> ReadDrivers(RegistryView view) {
    std::map<std::wstring, InventoryItem> drivers;
    const ViewKey list(HKEY_LOCAL_MACHINE, std::wstring(kOdbcInst) + L"\\ODBC Drivers", view);
    for (const std::wstring& name : list.ValueNames()) {
        InventoryItem item;
        item.kind = ItemKind::OdbcDriver;
        item.view = view;
        item.name = name;
        const ViewKey driver(HKEY_LOCAL_MACHINE, std::wstring(kOdbcInst) + L"\\" + name, view);
        std::wstring file;
        driver.Text(L"Driver", file);
        Judge(item, Examine(file, view), L"present", {});
        std::wstring setup;
        if (item.state == L"present" && driver.Text(L"Setup", setup) && !setup.empty()) {
            const FileVerdict verdict = Examine(setup, view);
            if (!verdict.present || !verdict.rightBitness) {
                item.state = verdict.present ? L"wrong-bitness" : L"file-missing";
                item.code = Code(verdict.present ? ERROR_BAD_EXE_FORMAT : ERROR_FILE_NOT_FOUND);
                item.reason = FormatPlaceholders(LoadMessage(msg::DriverSetupFault), {verdict.file.shown});
            }
        }
        item.fault = item.state != L"present";
        drivers.emplace(Lower(name), item);
    }
    return drivers;
}

// Access and Excel data sources name their file; a share is never asked.
bool DatabaseOnFixedDrive(const std::wstring& path) {
    if (path.size() < 3 || path[1] != L':' || (path[2] != L'\\' && path[2] != L'/')) return false;
    const std::wstring root = path.substr(0, 2) + L"\\";
    return ::GetDriveTypeW(root.c_str()) == DRIVE_FIXED;
}

bool NamesItsFile(const std::wstring& driver) {
    const std::wstring lower = Lower(driver);
    return lower.find(L"access driver") != std::wstring::npos || lower.find(L"excel driver") != std::wstring::npos;
}

void AddDataSources(Inventory& inventory, const std::vector<RegistryView>& views,
                    const std::map<RegistryView, std::map<std::wstring, InventoryItem>>& drivers) {
    struct Source {
        HKEY root;
        std::wstring hive;  // a person's SID under HKEY_USERS
        std::vector<RegistryView> seenBy;
        RegistryView readIn;
        bool user;
    };
    std::vector<Source> sources;
    // The user's data sources are one list for both bitnesses. As SYSTEM,
    // they are SYSTEM's own; the people's are in their loaded hives.
    sources.push_back({HKEY_CURRENT_USER, {}, views, OwnView(), true});
    if (RunsAsSystem()) {
        for (const std::wstring& sid : LoadedUserHives()) sources.push_back({HKEY_USERS, sid, views, OwnView(), true});
    }
    for (RegistryView view : views) sources.push_back({HKEY_LOCAL_MACHINE, {}, {view}, view, false});
    for (const Source& source : sources) {
        const std::wstring sourceKeys = (source.hive.empty() ? L"" : source.hive + L"\\") + kOdbcIni + L"\\";
        const ViewKey list(source.root, sourceKeys + L"ODBC Data Sources", source.readIn);
        const auto dataSources = list.TextValues();
        // Named only when there is a line to name it in: a lookup may ask the domain.
        const std::wstring account = !source.user || dataSources.empty() ? std::wstring()
                                     : source.hive.empty()               ? CurrentAccountName()
                                                                         : AccountNameOfSid(source.hive);
        for (const auto& [name, driverName] : dataSources) {
            std::wstring database;
            if (NamesItsFile(driverName)) ViewKey(source.root, sourceKeys + name, source.readIn).Text(L"DBQ", database);
            bool anyView = false;
            for (const auto& [view, installed] : drivers) {
                const auto found = installed.find(Lower(driverName));
                anyView = anyView || (found != installed.end() && found->second.state == L"present");
            }
            for (RegistryView view : source.seenBy) {
                InventoryItem item;
                item.kind = ItemKind::Dsn;
                item.view = view;
                item.name = name;
                item.note = driverName;
                item.account = account;
                item.otherAccount = !source.hive.empty();
                const auto& installed = drivers.at(view);
                const auto found = installed.find(Lower(driverName));
                if (found == installed.end() || found->second.state != L"present") {
                    item.state = L"driver-missing";
                    item.code = Code(ERROR_MOD_NOT_FOUND);
                    item.reason =
                        FormatPlaceholders(LoadMessage(msg::DriverNotInstalled), {driverName, ViewBits(view)});
                    item.fault = !anyView;
                } else {
                    item.file = found->second.file;
                    item.state = L"usable";
                    if (NamesItsFile(driverName) && !database.empty() && DatabaseOnFixedDrive(database) &&
                        ::GetFileAttributesW(database.c_str()) == INVALID_FILE_ATTRIBUTES) {
                        item.state = L"database-missing";
                        item.code = Code(ERROR_FILE_NOT_FOUND);
                        item.reason = FormatPlaceholders(LoadMessage(msg::DatabaseMissing), {database});
                    }
                }
                inventory.items.push_back(item);
            }
        }
    }
}

// ---- Jet's installable ISAMs -------------------------------------------------------

void AddIsams(Inventory& inventory) {
    // Jet and its engines exist for 32-bit programs only.
    const RegistryView view = RegistryView::Bits32;
    std::set<std::wstring> engines;
    const ViewKey list(HKEY_LOCAL_MACHINE, kJetEngines, view);
    for (const std::wstring& name : list.SubkeyNames()) {
        std::wstring file;
        if (!ViewKey(list, name).Text(L"win32", file)) continue;
        InventoryItem item;
        item.kind = ItemKind::Isam;
        item.view = view;
        item.name = name;
        Judge(item, Examine(file, view), L"present", {});
        item.fault = item.state != L"present";
        if (!file.empty()) engines.insert(Lower(name));
        inventory.items.push_back(item);
    }
    const ViewKey formats(HKEY_LOCAL_MACHINE, kJetFormats, view);
    for (const std::wstring& name : formats.SubkeyNames()) {
        std::wstring engine;
        if (!ViewKey(formats, name).Text(L"Engine", engine) || engines.count(Lower(engine)) != 0) continue;
        InventoryItem item;
        item.kind = ItemKind::Isam;
        item.view = view;
        item.name = name;
        item.note = engine;
        item.state = L"no-engine";
        item.reason = FormatPlaceholders(LoadMessage(msg::IsamNoEngine), {engine});
        inventory.items.push_back(item);
    }
}

}  // namespace

std::vector<DataAccessClass> CreatedClasses() {
    std::vector<DataAccessClass> classes = DataAccessClasses();
    for (const wchar_t* progId : kOtherNamedProviders) classes.push_back({progId, std::wstring()});
    return classes;
}

namespace {

Inventory ReadInventory() {
    Inventory inventory;
    inventory.windows64 = IsWindows64();
    const std::vector<RegistryView> views = WindowsViews();
    std::set<std::wstring> named;
    for (const DataAccessClass& dataClass : CreatedClasses()) {
        named.insert(Lower(dataClass.progId));
        for (RegistryView view : views) {
            InventoryItem item = ReadNamedClass(dataClass.progId, view);
            item.named = true;
            item.fault = NamedClassFault(item);
            inventory.items.push_back(item);
        }
    }
    for (RegistryView view : views) AddOtherProviders(inventory, view, named);
    std::map<RegistryView, std::map<std::wstring, InventoryItem>> drivers;
    for (RegistryView view : views) {
        drivers[view] = ReadDrivers(view);
        for (const auto& entry : drivers[view]) inventory.items.push_back(entry.second);
    }
    AddDataSources(inventory, views, drivers);
    AddIsams(inventory);
    return inventory;
}

void TakeCreationReports(Inventory& inventory, const std::vector<ClassReport>& created) {
    for (InventoryItem& item : inventory.items) {
        if (!item.named || item.view != OwnView()) continue;
        const auto report = std::find_if(created.begin(), created.end(),
                                         [&](const ClassReport& r) { return SameName(r.dataClass.progId, item.name); });
        if (report == created.end()) continue;
        item = CreatedItem(*report);
        item.named = true;
        item.fault = NamedClassFault(item);
    }
}

}  // namespace

InventoryReading::InventoryReading() : call_([this] { inventory_ = ReadInventory(); }) {}

Inventory InventoryReading::Finish(const std::vector<ClassReport>& created) {
    call_.Wait();
    TakeCreationReports(inventory_, created);
    return std::move(inventory_);
}

bool AnyFault(const Inventory& inventory) {
    return std::any_of(inventory.items.begin(), inventory.items.end(),
                       [](const InventoryItem& item) { return item.fault; });
}

const wchar_t* ItemKeyword(ItemKind kind) {
    switch (kind) {
        case ItemKind::Provider:
            return L"provider";
        case ItemKind::OdbcDriver:
            return L"odbc-driver";
        case ItemKind::Dsn:
            return L"dsn";
        case ItemKind::Isam:
            break;
    }
    return L"isam";
}

bool Usable(const InventoryItem& item) {
    return item.state == L"ready" || item.state == L"registered" || item.state == L"present" || item.state == L"usable";
}
