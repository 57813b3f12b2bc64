// The check without a window as deployment tools run it: as the local system
// account, whose own user data sources are SYSTEM's, with the people who are
// logged on in their hives under HKEY_USERS.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/Unattended.h"
#include "tests/FixtureFiles.h"
#include "winsupport/Accounts.h"
#include "winsupport/RegistryViews.h"

namespace {

constexpr wchar_t kSources[] = L"Software\\ODBC\\ODBC.INI\\ODBC Data Sources";

// Hives as Windows loads them for the people logged on, plus the halves and
// service accounts that are no one's data; removed again afterwards.
class LoadedHives {
public:
    LoadedHives() {
        Add(HKEY_USERS, L"S-1-5-21-1111-2222-3333-1001", L"AnnasOrders");
        Add(HKEY_USERS, L"S-1-5-21-1111-2222-3333-1002", L"BensReports");
        Add(HKEY_USERS, L"S-1-5-21-1111-2222-3333-1001_Classes", L"ClassesHalf");
        Add(HKEY_USERS, L"S-1-5-19", L"LocalService");
        Add(HKEY_CURRENT_USER, L"", L"SystemsOwn");
        SetRunsAsSystemForTests(1);
    }
    ~LoadedHives() {
        SetRunsAsSystemForTests(-1);
        for (const auto& [root, path, name] : added_) {
            HKEY key = nullptr;
            if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) continue;
            ::RegDeleteValueW(key, name.c_str());
            ::RegCloseKey(key);
        }
        for (const wchar_t* hive : {L"S-1-5-21-1111-2222-3333-1001", L"S-1-5-21-1111-2222-3333-1002",
                                    L"S-1-5-21-1111-2222-3333-1001_Classes", L"S-1-5-19"}) {
            ::RegDeleteTreeW(HKEY_USERS, hive);
        }
    }
    LoadedHives(const LoadedHives&) = delete;
    LoadedHives& operator=(const LoadedHives&) = delete;

private:
    struct Added {
        HKEY root;
        std::wstring path;
        std::wstring name;
    };

    void Add(HKEY root, const std::wstring& hive, const std::wstring& name) {
        const std::wstring path = (hive.empty() ? L"" : hive + L"\\") + kSources;
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        const wchar_t driver[] = L"No Such Driver";
        ::RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(driver), sizeof driver);
        ::RegCloseKey(key);
        added_.push_back({root, path, name});
    }

    std::vector<Added> added_;
};

bool Has(const std::string& line, const std::string& part) {
    return line.find(part) != std::string::npos;
}

}  // namespace

TEST(UnattendedTest, AsSystemEachPersonsDataSourcesAreReportedWithTheirAccountAndSystemsAsSystems) {
    const LoadedHives hives;
    const std::wstring log = fixtures::NewScratchDirectory() + L"\\system.json";
    CommandRequest request;
    request.mode = CommandMode::Check;
    request.logPath = log;
    request.json = true;
    const int exitCode = RunUnattended(request);
    const std::vector<std::string> lines = fixtures::ReadLines(log);
    ASSERT_GE(lines.size(), 2u);

    // name -> the accounts its lines give, one line per view.
    std::vector<std::pair<std::string, std::string>> sources;
    for (const std::string& line : lines) {
        if (!Has(line, "{\"kind\":\"dsn\"")) continue;
        for (const char* name : {"AnnasOrders", "BensReports", "SystemsOwn", "ClassesHalf", "LocalService"}) {
            if (Has(line, std::string("\"name\":\"") + name + "\"")) {
                const size_t at = line.find("\"account\":\"");
                ASSERT_NE(at, std::string::npos) << line;
                sources.emplace_back(name, line.substr(at + 11, line.find('"', at + 11) - at - 11));
            }
        }
    }
    // Wine names no account of these SIDs; Windows gives DOMAIN\name in their place.
    const size_t views = IsWindows64() ? 2 : 1;
    std::vector<std::pair<std::string, std::string>> expected;
    for (size_t view = 0; view < views; ++view) expected.emplace_back("SystemsOwn", "SYSTEM");
    for (size_t view = 0; view < views; ++view) expected.emplace_back("AnnasOrders", "S-1-5-21-1111-2222-3333-1001");
    for (size_t view = 0; view < views; ++view) expected.emplace_back("BensReports", "S-1-5-21-1111-2222-3333-1002");
    EXPECT_EQ(sources, expected);

    // Their missing driver is a fault for a person, named with whose it is.
    const std::string& summary = lines.back();
    EXPECT_TRUE(Has(summary, "{\"kind\":\"summary\"")) << summary;
    EXPECT_TRUE(Has(summary, "\"account\":\"SYSTEM\"")) << summary;
    EXPECT_TRUE(Has(summary, "dsn/32 AnnasOrders (S-1-5-21-1111-2222-3333-1001): driver-missing")) << summary;
    EXPECT_TRUE(Has(summary, "dsn/32 SystemsOwn: driver-missing")) << summary;
    EXPECT_NE(exitCode, 0);
    EXPECT_TRUE(Has(summary, "\"exit\":" + std::to_string(exitCode) + ",")) << summary;
}
