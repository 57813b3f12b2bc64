#pragma once
// What 32-bit and 64-bit programs can use on this Windows, read from both
// registry views: the data-access providers and classes, the ODBC drivers and
// data sources, and Jet's installable ISAMs. Only the classes this program
// names are created, and only in the checking process's own bitness; every
// other registration is read and followed to its file's header, never loaded.

#include <string>
#include <vector>

#include "repair/ClassCheck.h"
#include "winsupport/BackgroundCall.h"
#include "winsupport/RegistryViews.h"

enum class ItemKind { Provider, OdbcDriver, Dsn, Isam };

struct InventoryItem {
    ItemKind kind = ItemKind::Provider;
    RegistryView view = RegistryView::Bits32;
    std::wstring name;          // ProgID, driver, data source, engine or format
    std::wstring file;          // as a process of the view's bitness finds it
    std::wstring state;         // the fixed word a script reads
    std::wstring code;          // 0x and eight hex digits, or empty
    std::wstring reason;        // in the user's language
    std::wstring note;          // the provider's description, the data source's driver
    std::wstring account;       // a user data source's: whose it is
    bool otherAccount = false;  // another person's, read as SYSTEM: not this process's to use
    bool named = false;         // a provider this program names
    bool fault = false;         // needs a person, not the repair
};

struct Inventory {
    bool windows64 = false;
    std::vector<InventoryItem> items;
};

// The classes checked by creating them: the class table's and the other
// providers this program names, in the log's order.
std::vector<DataAccessClass> CreatedClasses();

// Reads everything on a thread of its own from its start, the named classes
// of every view as registered only, while a checking process creates them;
// Finish lets the own bitness's creation reports of CreatedClasses() take
// over that view's lines of the named classes.
class InventoryReading {
public:
    InventoryReading();
    Inventory Finish(const std::vector<ClassReport>& created);

private:
    Inventory inventory_;
    BackgroundCall call_;  // last: it runs into inventory_
};

bool AnyFault(const Inventory& inventory);
// provider, odbc-driver, dsn or isam.
const wchar_t* ItemKeyword(ItemKind kind);

// Whether a program of the view's bitness can use the item.
bool Usable(const InventoryItem& item);
