// The test program initialises OLE on its thread as the wizard does, and, like
// the wizard, serves as the process the repair run registers components in.

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "repair/ClassCheck.h"
#include "repair/RegistrationWorker.h"
#include "repair/RepairSupervisor.h"
#include "tests/FixtureFiles.h"
#include "winsupport/DllSearch.h"
#include "winsupport/OleSession.h"

namespace {

// Stand-ins registered by a test's run register classes of their own under
// the data-access names: every test starts with the prefix's own.
class RestoreClassRegistrations final : public ::testing::EmptyTestEventListener {
public:
    void OnTestStart(const ::testing::TestInfo&) override {
        std::vector<std::wstring> progIds;
        for (const DataAccessClass& dataClass : DataAccessClasses()) progIds.push_back(dataClass.progId);
        saved_.emplace(progIds);
    }
    void OnTestEnd(const ::testing::TestInfo&) override { saved_.reset(); }

private:
    std::optional<fixtures::ClassRegistrations> saved_;
};

}  // namespace

int main(int argc, char** argv) {
    RestrictDllSearch();
    int exitCode = 0;
    if (ServeRegistrationsIfAsked(::GetCommandLineW(), exitCode)) return exitCode;
    if (ServeRepairIfAsked(::GetCommandLineW(), exitCode)) return exitCode;
    ::testing::InitGoogleTest(&argc, argv);
    // GoogleTest takes the listener over.
    ::testing::UnitTest::GetInstance()->listeners().Append(std::make_unique<RestoreClassRegistrations>().release());
    const OleSession ole;
    return RUN_ALL_TESTS();
}
