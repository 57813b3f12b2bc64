// The test program initialises OLE on its thread as the wizard does, and, like
// the wizard, serves as the process the repair run registers components in.

#include <gtest/gtest.h>
#include <windows.h>

#include "repair/RegistrationWorker.h"
#include "winsupport/DllSearch.h"
#include "winsupport/OleSession.h"

int main(int argc, char** argv) {
    RestrictDllSearch();
    int exitCode = 0;
    if (ServeRegistrationsIfAsked(::GetCommandLineW(), exitCode)) return exitCode;
    ::testing::InitGoogleTest(&argc, argv);
    const OleSession ole;
    return RUN_ALL_TESTS();
}
