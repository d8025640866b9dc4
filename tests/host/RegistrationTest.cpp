// Registration against real keys in the test prefix's HKLM.

#include "host/Registration.h"
#include "tests/host/HostKeys.h"

namespace {

using hosttest::OpenHandleCount;
using hosttest::Repeat;
using testreg::ValueNames;

const std::string kZwcad = "SOFTWARE\\ZWSOFT\\ZWCAD\\";
const std::string kZwcadM = "SOFTWARE\\ZWSOFT\\ZWCADM\\";
const std::string kFolder = "C:\\Quorel\\Zantrel";

using Registration = hosttest::HostKeysTest;

// Seeds a host installation key; `keyPath` ends with a backslash, as discovery records it.
void SeedHost(const std::string& keyPath) {
  testreg::SetString(keyPath.substr(0, keyPath.size() - 1), "Location", "D:\\Host");
}

std::string AppKey(const std::string& keyPath, int year) {
  return keyPath + "Applications\\Quorel" + std::to_string(year);
}

// A record of one host installation of `year` at `keyPath` (seeded), to install into kFolder.
HostRegistry OneHost(const std::string& keyPath, int year) {
  SeedHost(keyPath);
  HostRegistry hosts;
  hosts.installFolder = kFolder;
  hosts.keyPaths[year - kFirstHostYear] = {keyPath};
  return hosts;
}

// The application key of an earlier installation of `year` at `keyPath`, with string values.
std::string SeedEarlierApplication(const std::string& keyPath, int year,
                                   const std::vector<std::pair<std::string, std::string>>& values) {
  const std::string app = AppKey(keyPath, year);
  for (const auto& [name, value] : values) testreg::SetString(app, name, value);
  return app;
}

// The two values with their exact types and stored lengths.
void ExpectRegistered(const std::string& keyPath, int year, const std::string& loader) {
  const std::string app = AppKey(keyPath, year);
  DWORD type = 0;
  std::string data;
  ASSERT_TRUE(testreg::QueryValue(app, "LOADCTRLS", type, data)) << app;
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD)) << app;
  EXPECT_EQ(data, std::string("\x02\0\0\0", 4)) << app;
  ASSERT_TRUE(testreg::QueryValue(app, "LOADER", type, data)) << app;
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ)) << app;
  EXPECT_EQ(data, loader + '\0') << app;

  // As stored (UTF-16): the text and exactly one NUL.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, app.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(key, L"LOADER", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  RegCloseKey(key);
  const int wide =
      MultiByteToWideChar(CP_ACP, 0, loader.data(), static_cast<int>(loader.size()), nullptr, 0);
  EXPECT_EQ(size, static_cast<DWORD>((wide + 1) * sizeof(wchar_t))) << app;
}

TEST_F(Registration, EveryKeyPathOfEachChosenYearGetsTheModuleOfItsYear) {
  for (int year = kFirstHostYear; year <= kLastHostYear; ++year)
    SeedHost(kZwcad + std::to_string(year) + "\\P\\");
  SeedHost(kZwcadM + "2024\\Q\\");
  HostRegistry hosts;
  hosts.DiscoverHosts();
  hosts.installFolder = kFolder;
  ASSERT_EQ(hosts.keyPaths[2024 - kFirstHostYear],
            (TextList{kZwcad + "2024\\P\\", kZwcadM + "2024\\Q\\"}));

  // Key paths end with a backslash; the platform must open them as they are.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, (kZwcad + "2024\\P\\").c_str(), &key), ERROR_SUCCESS);
  RegCloseKey(key);

  RegisterPlugin(hosts, {1, 1, 0, 1, 1, 0, 1});
  ExpectRegistered(kZwcad + "2021\\P\\", 2021, kFolder + "\\Quorel2021.ZRX");
  ExpectRegistered(kZwcad + "2022\\P\\", 2022, kFolder + "\\Quorel2021.ZRX");
  ExpectRegistered(kZwcad + "2024\\P\\", 2024, kFolder + "\\Quorel2021.ZRX");
  ExpectRegistered(kZwcadM + "2024\\Q\\", 2024, kFolder + "\\Quorel2021.ZRX");
  ExpectRegistered(kZwcad + "2025\\P\\", 2025, kFolder + "\\Quorel2025.ZRX");
  ExpectRegistered(kZwcad + "2027\\P\\", 2027, kFolder + "\\Quorel2025.ZRX");
  // The application key lies directly below the key that holds "Location", and nothing else.
  EXPECT_EQ(ValueNames(AppKey(kZwcad + "2024\\P\\", 2024)),
            (std::vector<std::string>{"LOADCTRLS", "LOADER"}));
  EXPECT_EQ(ValueNames(kZwcad + "2024\\P"), (std::vector<std::string>{"Location"}));
  EXPECT_FALSE(testreg::KeyExists(kZwcad + "2023\\P\\Applications"));
  EXPECT_FALSE(testreg::KeyExists(kZwcad + "2026\\P\\Applications"));

  // A double-byte install folder goes into LOADER unchanged.
  hosts.installFolder = "C:\\安装" + std::string("淺");
  RegisterRelease(hosts, 2026);
  ExpectRegistered(kZwcad + "2026\\P\\", 2026, hosts.installFolder + "\\Quorel2025.ZRX");
}

TEST_F(Registration, RerunReplacesAnEarlierApplicationKeyWhole) {
  const std::string path = kZwcad + "2024\\P\\";
  HostRegistry hosts = OneHost(path, 2024);
  const std::string app = SeedEarlierApplication(
      path, 2024,
      {{"LOADER", "C:\\Old\\Quorel2021.ZRX"}, {"LOADCTRLS", "14"}, {"Gathered", "by the host"}});
  testreg::SetString(path + "Applications\\Other", "LOADER", "C:\\Other.zrx");

  RegisterRelease(hosts, 2024);
  ExpectRegistered(path, 2024, kFolder + "\\Quorel2021.ZRX");
  EXPECT_EQ(ValueNames(app), (std::vector<std::string>{"LOADCTRLS", "LOADER"}));
  EXPECT_EQ(ValueNames(path + "Applications\\Other"), (std::vector<std::string>{"LOADER"}));

  const std::string once = testreg::Dump(testreg::kVendorKey);
  RegisterRelease(hosts, 2024);
  EXPECT_EQ(testreg::Dump(testreg::kVendorKey), once);
}

TEST_F(Registration, EarlierApplicationKeyWithSubkeysIsReused) {
  const std::string path = kZwcad + "2025\\P\\";
  HostRegistry hosts = OneHost(path, 2025);
  const std::string app = SeedEarlierApplication(
      path, 2025, {{"LOADER", "C:\\Old\\Quorel2025.ZRX"}, {"Gathered", "by the host"}});
  testreg::SetString(app + "\\Child", "Keep", "1");

  RegisterRelease(hosts, 2025);
  ExpectRegistered(path, 2025, kFolder + "\\Quorel2025.ZRX");
  // The delete is not recursive: the key, its other value and its subkey stay.
  EXPECT_EQ(ValueNames(app), (std::vector<std::string>{"Gathered", "LOADCTRLS", "LOADER"}));
  DWORD type = 0;
  std::string data;
  ASSERT_TRUE(testreg::QueryValue(app + "\\Child", "Keep", type, data));
  EXPECT_EQ(data, std::string("1", 2));
}

TEST_F(Registration, NothingChosenOrNothingFoundLeavesTheRegistryAsItWas) {
  SeedHost(kZwcad + "2023\\P\\");
  SeedHost(kZwcadM + "2025\\Q\\");
  HostRegistry hosts;
  hosts.DiscoverHosts();
  hosts.installFolder = kFolder;
  const std::string before = testreg::Dump(testreg::kVendorKey);

  RegisterPlugin(hosts, {0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(testreg::Dump(testreg::kVendorKey), before);
  RegisterPlugin(hosts, {1, 1, 0, 1, 0, 1, 1});
  EXPECT_EQ(testreg::Dump(testreg::kVendorKey), before);
  for (int year : {0, 2020, 2028, -2023}) RegisterRelease(hosts, year);
  EXPECT_EQ(testreg::Dump(testreg::kVendorKey), before);
  EXPECT_EQ(ModuleYear(2020), 0);
  EXPECT_EQ(ModuleYear(2028), 0);
}

TEST_F(Registration, KeyPathsThatCannotBeOpenedOrWrittenAreSkipped) {
  const std::string gone = kZwcad + "2024\\Gone\\";
  const std::string transient = kZwcad + "2024\\Volatile\\";
  const std::string good = kZwcad + "2024\\Good\\";
  SeedHost(good);
  // Below a volatile key only volatile keys can be made, so the create step fails there.
  testreg::CreateKey(transient, true);
  ASSERT_TRUE(testreg::KeyExists(transient));
  HostRegistry hosts;
  hosts.installFolder = kFolder;
  hosts.keyPaths[2024 - kFirstHostYear] = {gone, transient, good};

  RegisterPlugin(hosts, {0, 0, 0, 1, 0, 0, 0});  // once before counting: lazy allocations
  const int handles = OpenHandleCount();
  RegisterPlugin(hosts, {0, 0, 0, 1, 0, 0, 0});
  // Every key opened for a path is closed, also where the create step failed.
  EXPECT_EQ(OpenHandleCount(), handles);

  EXPECT_FALSE(testreg::KeyExists(gone));
  EXPECT_FALSE(testreg::KeyExists(transient + "Applications"));
  ExpectRegistered(good, 2024, kFolder + "\\Quorel2021.ZRX");
}

TEST_F(Registration, LoaderThatWouldNotFitIsNeverWritten) {
  const std::string path = kZwcad + "2024\\P\\";
  HostRegistry hosts = OneHost(path, 2024);

  // 244 bytes of folder and 15 of "\Quorel2021.ZRX": 259 characters, the most that fit.
  hosts.installFolder = "C:\\" + Repeat("中", 120) + "x";
  ASSERT_EQ(hosts.installFolder.size(), 244u);
  RegisterRelease(hosts, 2024);
  ExpectRegistered(path, 2024, hosts.installFolder + "\\Quorel2021.ZRX");

  // One byte more: this path is skipped before the delete, so the earlier key stays as it was.
  testreg::SetString(AppKey(path, 2024), "Gathered", "by the host");
  const std::string before = testreg::Dump(testreg::kVendorKey);
  hosts.installFolder = "C:\\" + Repeat("中", 121);
  RegisterRelease(hosts, 2024);
  EXPECT_EQ(testreg::Dump(testreg::kVendorKey), before);
  hosts.installFolder = std::string(1000, 'x');
  RegisterRelease(hosts, 2024);
  EXPECT_EQ(testreg::Dump(testreg::kVendorKey), before);
}

}  // namespace
