// The command line as deployment tools write it: which mode, which log, and
// the reason for a line that is not understood, in the profile's language.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "tests/WizardHarness.h"
#include "winsupport/LateImports.h"

namespace {

using harness::Localized;

struct LineCase {
    std::vector<std::wstring> arguments;
    CommandMode mode;
    const wchar_t* log;
    std::wstring error;
};

TEST(CommandLine, NamesTheModeTheLogAndWhyALineIsNotUnderstood) {
    const std::wstring unknown = Localized(L"Unknown option: ", L"Unbekannte Option: ");
    const std::wstring needsName =
        Localized(L"The option /log needs a file name, as in /log:C:\\Logs\\mdac.log.",
                  L"Die Option /log braucht einen Dateinamen, etwa /log:C:\\Logs\\mdac.log.");
    const LineCase cases[] = {
        {{}, CommandMode::Wizard, L"", L""},
        {{L"/check"}, CommandMode::Check, L"", L""},
        {{L"-REPAIR", L"/Log:\\\\server\\logs\\PC 7.log"}, CommandMode::Repair, L"\\\\server\\logs\\PC 7.log", L""},
        {{L"/repair", L"/repair"}, CommandMode::Repair, L"", L""},
        {{L"/?"}, CommandMode::Usage, L"", L""},
        {{L"/check", L"/?"}, CommandMode::Usage, L"", L""},
        {{L"/check", L"/log:"}, CommandMode::Check, L"", needsName},
        {{L"/repair", L"/log"}, CommandMode::Repair, L"", needsName},
        {{L"/repair", L"check"}, CommandMode::Repair, L"", unknown + L"check"},
        {{L"/check", L"/checks"}, CommandMode::Check, L"", unknown + L"/checks"},
        {{L"/repair", L"/check"},
         CommandMode::Repair,
         L"",
         Localized(L"Use either /check or /repair, not both.",
                   L"Verwenden Sie entweder /check oder /repair, nicht beides.")},
        {{L"/log:C:\\a.log"},
         CommandMode::Wizard,
         L"C:\\a.log",
         Localized(L"The option /log needs /check or /repair.",
                   L"Die Option /log ist nur mit /check oder /repair m\u00f6glich.")},
    };
    for (const LineCase& c : cases) {
        const CommandRequest request = ParseCommandLine(c.arguments);
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        EXPECT_EQ(request.mode, c.mode);
        EXPECT_EQ(request.logPath, c.log);
        EXPECT_EQ(request.error, c.error);
    }
    // JSON Lines for /check and /repair only.
    EXPECT_TRUE(ParseCommandLine({L"/check", L"-JSON", L"/log:C:\\a.json"}).json);
    EXPECT_FALSE(ParseCommandLine({L"/repair"}).json);
    EXPECT_EQ(ParseCommandLine({L"/json"}).error,
              Localized(L"The option /json needs /check or /repair.",
                        L"Die Option /json ist nur mit /check oder /repair m\u00f6glich."));
    // Split as the system splits a command line: quotes keep a blank inside.
    EXPECT_EQ(CommandLineArguments(L"\"C:\\My Tools\\MdacRepair.exe\" /check \"/log:C:\\My Logs\\a.log\""),
              (std::vector<std::wstring>{L"/check", L"/log:C:\\My Logs\\a.log"}));
    // A plain start is told apart without the shell; a name the shell ends
    // elsewhere than at its blank still goes to the shell.
    EXPECT_EQ(CommandLineArguments(L"\"C:\\My Tools\\MdacRepair.exe\" \t "), std::vector<std::wstring>{});
    EXPECT_EQ(CommandLineArguments(L"MdacRepair.exe"), std::vector<std::wstring>{});
    EXPECT_EQ(CommandLineArguments(L"\"C:\\My Tools\\MdacRepair.exe\"/check"), (std::vector<std::wstring>{L"/check"}));
    EXPECT_EQ(CommandLineArguments(L"C:\\Tools\\MdacRepair.exe\t/check"), (std::vector<std::wstring>{L"/check"}));
}

}  // namespace
