#pragma once
// The re-registration run: every catalogue entry in turn is shown and
// counted, and those the run registers are registered again in a worker.

#include <cstddef>
#include <string>
#include <vector>

#include "repair/ClassCheck.h"
#include "repair/ComponentCatalogue.h"
#include "repair/RegistrationWorker.h"
#include "repair/modDLLRegister.h"

// Whoever watches the run: a progress bar, a log.
class RepairProgress {
public:
    // Before the entry is registered (or passed over).
    virtual void ShowEntry(const ComponentFile& entry) = 0;
    // After it: `done` entries of the catalogue are through.
    virtual void Step(std::size_t done) = 0;
    // Between two entries; false ends the run there.
    virtual bool KeepAlive() = 0;

protected:
    ~RepairProgress() = default;
};

// What became of one catalogue entry.
struct EntryOutcome {
    bool attempted = false;  // false: never registered, or its file is missing
    RegistrationOutcome registration;
    // Refused because Windows protects the file: only Windows may restore it.
    bool refusedAsProtected = false;
};

// Whether the system protects a file (Windows File Protection, or Windows
// Resource Protection from Vista on); never on systems without the query.
bool IsSystemProtectedFile(const std::wstring& path);
// Lets tests answer the question in place of the system.
using FileProtectionQuery = bool (*)(const std::wstring& path);
void SetFileProtectionQuery(FileProtectionQuery query);
// A registration refused with access denied or TYPE_E_REGISTRYACCESS for a
// file the system protects.
bool IsRefusedAsProtected(const RegistrationOutcome& outcome, const std::wstring& path);

// Whoever registers a catalogue entry: a worker of this process, or the
// process that holds administrator rights for the window's run.
class Registrar {
public:
    virtual RegistrationOutcome Register(std::size_t index, const ComponentFile& entry) = 0;

protected:
    ~Registrar() = default;
};

// Registers in a worker process started by this one, with this one's rights.
class WorkerRegistrar final : public Registrar {
public:
    void StartEarly() { worker_.StartEarly(); }
    RegistrationOutcome Register(std::size_t index, const ComponentFile& entry) override;

private:
    RegistrationWorker worker_;
};

// The outcomes, one per entry of the catalogue in its order, as far as the
// run went.
std::vector<EntryOutcome> RunRepair(const ComponentFileTable& catalogue, Registrar& registrar,
                                    RepairProgress& progress);

// Why a registration failed, in the user's words: the system's text for the
// error or HRESULT, or what became of the process it ran in.
std::wstring FailureText(const RegistrationOutcome& outcome, const std::wstring& fileName);
// The error, HRESULT or exception code of a failure as 0x and eight hex
// digits; empty for one that has none (a registration that never returned).
std::wstring FailureCode(const RegistrationOutcome& outcome);
// The text with its code in brackets.
std::wstring FailureReason(const RegistrationOutcome& outcome, const std::wstring& fileName);
// Why a catalogue entry that was not registered is missing: the file is not
// there (the system's error) or has no version information.
unsigned long MissingFileError(const ComponentFile& entry);
// One text for all failed registrations of a run and every class that counts
// as broken after it, with what to do about protected files; empty when
// nothing failed.
std::wstring FailureReport(const ComponentFileTable& catalogue, const std::vector<EntryOutcome>& outcomes,
                           const std::vector<ClassReport>& classes = {});
