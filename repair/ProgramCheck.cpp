#include "repair/ProgramCheck.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cwctype>

#include "repair/RepairRun.h"
#include "winsupport/LateImports.h"
#include "winsupport/MessageCatalogue.h"
#include "winsupport/PeImage.h"
#include "winsupport/modAPI.h"

namespace {

constexpr wchar_t kJet[] = L"Microsoft.Jet.OLEDB.4.0";
constexpr const wchar_t* kAccessEngine[] = {L"Microsoft.ACE.OLEDB.12.0", L"Microsoft.ACE.OLEDB.16.0"};
// The Access drivers' names, reported also where they are not installed.
constexpr const wchar_t* kAccessDrivers[] = {L"Microsoft Access Driver (*.mdb)",
                                             L"Microsoft Access Driver (*.mdb, *.accdb)"};
constexpr const wchar_t* kOpenedByAssociation[] = {L".vbs", L".vbe",   L".js",  L".jse",  L".wsf",  L".hta",
                                                   L".mdb", L".accdb", L".xls", L".xlsx", L".xlsm", L".xlsb"};

std::wstring Lower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towlower(c); });
    return text;
}

std::wstring Extension(const std::wstring& path) {
    const size_t dot = path.find_last_of(L".\\/");
    return dot != std::wstring::npos && path[dot] == L'.' ? Lower(path.substr(dot)) : std::wstring();
}

// The view whose folders the shell, which opens files, sees.
RegistryView ShellView() {
    return IsWindows64() ? RegistryView::Bits64 : RegistryView::Bits32;
}

bool HostOf(const std::wstring& program, RegistryView view, ProgramHost& host) {
    const ResolvedFile file = ResolveRegisteredFile(program, view);
    PeImage image;
    if (!ReadPeImage(file.access, image, file.withoutRedirection) || image.isDll) return false;
    if (image.pe32Plus && !IsWindows64()) return false;  // cannot run here at all
    host.program = file.shown;
    host.bits = RunsAs64Bit(image, IsWindows64()) ? RegistryView::Bits64 : RegistryView::Bits32;
    return true;
}

std::wstring ShortcutTarget(const std::wstring& path) {
    IShellLinkW* link = nullptr;
    if (FAILED(late::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                      reinterpret_cast<void**>(&link))) ||
        link == nullptr)
        return {};
    std::wstring target;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) && file != nullptr) {
        wchar_t found[MAX_PATH + 1] = {};
        // Read only: no search for a target that moved, no window.
        if (SUCCEEDED(file->Load(path.c_str(), STGM_READ)) &&
            SUCCEEDED(link->GetPath(found, MAX_PATH, nullptr, SLGP_RAWPATH)))
            target = found;
        file->Release();
    }
    link->Release();
    return target;
}

std::wstring AssociatedProgram(const std::wstring& extension) {
    wchar_t program[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH;
    if (FAILED(late::AssocQueryStringW(ASSOCF_NOTRUNCATE, ASSOCSTR_EXECUTABLE, extension.c_str(), L"open", program,
                                       &size)))
        return {};
    return program;
}

const InventoryItem* Find(const Inventory& inventory, ItemKind kind, RegistryView view, const std::wstring& name) {
    for (const InventoryItem& item : inventory.items) {
        if (item.kind == kind && item.view == view && ::lstrcmpiW(item.name.c_str(), name.c_str()) == 0) return &item;
    }
    return nullptr;
}

ProgramCan Answer(const InventoryItem* item, RegistryView view, const std::wstring& name) {
    ProgramCan can;
    can.view = view;
    can.name = name;
    if (item != nullptr) {
        can.file = item->file;
        can.yes = Usable(*item);
        can.code = can.yes ? std::wstring() : item->code;
        can.wayOut = can.yes ? std::wstring() : item->reason;
    } else {
        can.code = FailureCode({RegistrationOutcome::Kind::EntryPointFailed, ERROR_MOD_NOT_FOUND});
        can.wayOut = FormatPlaceholders(LoadMessage(msg::NotRegisteredForBits), {ViewBits(view)});
    }
    return can;
}

}  // namespace

ProgramIdentity IdentifyProgram(const std::wstring& path) {
    ProgramIdentity identity;
    identity.path = path;
    std::wstring file = path;
    std::wstring extension = Extension(file);
    if (extension == L".lnk") {
        file = ShortcutTarget(path);
        extension = Extension(file);
    }
    ProgramHost host;
    if (extension == L".ps1") {
        // Its "open" is an editor: it runs in Windows PowerShell of either bitness.
        for (RegistryView view : WindowsViews()) {
            const std::wstring shell = SystemFolderOf(view) + L"\\WindowsPowerShell\\v1.0\\powershell.exe";
            if (HostOf(shell, view, host)) identity.hosts.push_back(host);
        }
    } else if (std::find(std::begin(kOpenedByAssociation), std::end(kOpenedByAssociation), extension) !=
               std::end(kOpenedByAssociation)) {
        const std::wstring program = AssociatedProgram(extension);
        if (!program.empty() && HostOf(program, ShellView(), host)) identity.hosts.push_back(host);
        identity.needsAccessEngine = extension == L".accdb";
    } else if (!file.empty() && HostOf(file, ShellView(), host)) {
        identity.hosts.push_back(host);
    }
    if (identity.hosts.empty()) {
        identity.reason = FormatPlaceholders(LoadMessage(msg::NotAProgram), {path});
    } else if (identity.hosts.front().program != file || file != path) {
        identity.reason = FormatPlaceholders(LoadMessage(msg::OpenedBy), {identity.hosts.front().program});
    } else {
        identity.reason = FormatPlaceholders(LoadMessage(msg::RunsAsBits), {ViewBits(identity.hosts.front().bits)});
    }
    if (identity.needsAccessEngine) identity.reason += L" " + LoadMessage(msg::AccdbNeedsAce);
    return identity;
}

std::vector<ProgramCan> WhatItCanUse(const ProgramHost& host, const ProgramIdentity& identity,
                                     const Inventory& inventory) {
    const RegistryView view = host.bits;
    std::vector<ProgramCan> answers;
    // An .accdb is never Jet's.
    if (!identity.needsAccessEngine) {
        ProgramCan jet = Answer(Find(inventory, ItemKind::Provider, view, kJet), view, kJet);
        if (!jet.yes && view == RegistryView::Bits64) jet.wayOut = LoadMessage(msg::JetWayOut);
        answers.push_back(jet);
    }
    for (const wchar_t* name : kAccessEngine) {
        ProgramCan ace = Answer(Find(inventory, ItemKind::Provider, view, name), view, name);
        if (!ace.yes) ace.wayOut = FormatPlaceholders(LoadMessage(msg::AceNotInstalled), {ViewBits(view)});
        answers.push_back(ace);
    }
    for (const wchar_t* name : kAccessDrivers)
        answers.push_back(Answer(Find(inventory, ItemKind::OdbcDriver, view, name), view, name));
    for (const InventoryItem& item : inventory.items) {
        // Another person's data sources are not the ones this program would see.
        if (item.kind == ItemKind::Dsn && item.view == view && !item.otherAccount)
            answers.push_back(Answer(&item, view, item.name));
    }
    return answers;
}
