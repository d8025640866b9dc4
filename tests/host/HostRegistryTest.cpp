// Discovery against real keys in the test prefix's HKLM.

#include "tests/host/HostKeys.h"

namespace {

using hosttest::Entries;
using hosttest::EntriesOf;
using hosttest::Repeat;
using testreg::LockedKey;

const std::string kZwcad = "SOFTWARE\\ZWSOFT\\ZWCAD\\";
const std::string kZwcadA = "SOFTWARE\\ZWSOFT\\ZWCADA\\";
const std::string kZwcadM = "SOFTWARE\\ZWSOFT\\ZWCADM\\";
const std::string kMep = "SOFTWARE\\ZWSOFT\\MEP\\";
// 中 is D6 D0; 淺 is 9C 5C, whose second byte is the backslash's.
const std::string kZhong = "中";
const std::string kTrail5C = "淺";

using HostDiscovery = hosttest::HostKeysTest;

void SetLocation(const std::string& key, const std::string& value) {
  testreg::SetString(key, "Location", value);
}

// Seeds every (key, location) pair, in order.
void SetLocations(const Entries& entries) {
  for (const auto& [key, location] : entries) SetLocation(key, location);
}

HostRegistry Discover() {
  HostRegistry hosts;
  hosts.DiscoverHosts();
  return hosts;
}

std::size_t EntryCount(const HostRegistry& hosts) {
  std::size_t count = 0;
  for (int year = kFirstHostYear; year <= kLastHostYear; ++year)
    count += EntriesOf(hosts, year).size();
  return count;
}

TEST_F(HostDiscovery, NothingInstalledFindsNothing) {
  EXPECT_EQ(EntryCount(Discover()), 0u);

  // Product and version keys without any "Location", and a key outside the four product keys.
  testreg::CreateKey(kZwcad + "2024\\Settings");
  testreg::CreateKey(kMep + "2025");
  SetLocation("SOFTWARE\\ZWSOFT\\ZWCADX\\2024\\P", "D:\\Other");
  SetLocation("SOFTWARE\\ZWSOFT\\2024\\P", "D:\\Vendor");
  EXPECT_EQ(EntryCount(Discover()), 0u);
}

TEST_F(HostDiscovery, YearComesFromTheVersionSubkeyNameOnly) {
  SetLocations({{kZwcad + "2024 SP1\\P", "D:\\Sp1"},
                {kZwcad + "2020\\P", "D:\\Old"},
                {kZwcad + "2028\\P", "D:\\New"},
                {kZwcad + "Beta\\R2024", "D:\\Beta2024"},
                {kZwcad + "2025-2023\\P", "D:\\Two"},
                {kZwcad + kZhong + "2026\\P", "D:\\Zh"},
                {kZwcad + "2022\\P", "D:\\2027"}});

  const HostRegistry hosts = Discover();
  EXPECT_EQ(EntriesOf(hosts, 2022), (Entries{{kZwcad + "2022\\P\\", "D:\\2027"}}));
  // Two marks: the lower year is tested first, wherever it stands in the name.
  EXPECT_EQ(EntriesOf(hosts, 2023), (Entries{{kZwcad + "2025-2023\\P\\", "D:\\Two"}}));
  EXPECT_EQ(EntriesOf(hosts, 2024), (Entries{{kZwcad + "2024 SP1\\P\\", "D:\\Sp1"}}));
  EXPECT_EQ(EntriesOf(hosts, 2026), (Entries{{kZwcad + kZhong + "2026\\P\\", "D:\\Zh"}}));
  EXPECT_EQ(EntryCount(hosts), 4u);
}

TEST_F(HostDiscovery, SearchIsDepthFirstAndStopsAtARecordedKey) {
  // Created against enumeration order, which is what counts.
  SetLocations({{kZwcad + "2024\\C", "D:\\C"},
                {kZwcad + "2024\\B\\Z\\Deeper", "D:\\BZ"},
                {kZwcad + "2024\\B\\Inner", "D:\\BInner"},
                {kZwcad + "2024\\A\\Below", "D:\\Below"},
                {kZwcad + "2024\\A", "D:\\Host\\"}});
  // On the version subkey itself: the base path alone, and nothing below it.
  SetLocation(kZwcad + "2023\\X", "E:\\X");
  SetLocation(kZwcad + "2023", "E:\\V\\");

  const HostRegistry hosts = Discover();
  EXPECT_EQ(EntriesOf(hosts, 2023), (Entries{{kZwcad + "2023\\", "E:\\V"}}));
  EXPECT_EQ(EntriesOf(hosts, 2024), (Entries{{kZwcad + "2024\\A\\", "D:\\Host"},
                                             {kZwcad + "2024\\B\\Inner\\", "D:\\BInner"},
                                             {kZwcad + "2024\\B\\Z\\Deeper\\", "D:\\BZ"},
                                             {kZwcad + "2024\\C\\", "D:\\C"}}));
  EXPECT_EQ(EntryCount(hosts), 5u);

  // The work lists keep the last search (2024) with the values as read.
  EXPECT_EQ(hosts.valueName, "Location");
  EXPECT_EQ(hosts.foundKeyPaths, (TextList{kZwcad + "2024\\A\\", kZwcad + "2024\\B\\Inner\\",
                                           kZwcad + "2024\\B\\Z\\Deeper\\", kZwcad + "2024\\C\\"}));
  EXPECT_EQ(hosts.foundValues, (TextList{"D:\\Host\\", "D:\\BInner", "D:\\BZ", "D:\\C"}));
}

TEST_F(HostDiscovery, ProductKeysInTableOrderThenVersionsInEnumerationOrder) {
  SetLocations({{kMep + "2022\\P", "D:\\Mep"},
                {kZwcadM + "2022\\P", "D:\\M"},
                {kZwcadA + "2022\\P", "D:\\A"},
                {kZwcad + "2022 SP2\\P", "D:\\Sp2"},
                {kZwcad + "2022\\P", "D:\\Plain"}});

  EXPECT_EQ(EntriesOf(Discover(), 2022), (Entries{{kZwcad + "2022\\P\\", "D:\\Plain"},
                                                  {kZwcad + "2022 SP2\\P\\", "D:\\Sp2"},
                                                  {kZwcadA + "2022\\P\\", "D:\\A"},
                                                  {kZwcadM + "2022\\P\\", "D:\\M"},
                                                  {kMep + "2022\\P\\", "D:\\Mep"}}));
}

TEST_F(HostDiscovery, AtMostOneTrailingBackslashIsRemovedFromLocations) {
  SetLocations({{kZwcad + "2025\\A", "D:\\One\\"},
                {kZwcad + "2025\\B", "D:\\Two\\\\"},
                {kZwcad + "2025\\C", "\\"},
                {kZwcad + "2025\\D", "D:\\None"},
                {kZwcad + "2025\\E", "D:\\" + kTrail5C},
                {kZwcad + "2025\\F", "D:\\" + kTrail5C + "\\"}});

  EXPECT_EQ(EntriesOf(Discover(), 2025), (Entries{{kZwcad + "2025\\A\\", "D:\\One"},
                                                  {kZwcad + "2025\\B\\", "D:\\Two\\"},
                                                  {kZwcad + "2025\\C\\", "\\"},
                                                  {kZwcad + "2025\\D\\", "D:\\None"},
                                                  {kZwcad + "2025\\E\\", "D:\\" + kTrail5C},
                                                  {kZwcad + "2025\\F\\", "D:\\" + kTrail5C}}));

  for (const std::string& kept : TextList{"", "\\", kTrail5C, "D:\\x"}) {
    std::string text = kept;
    HostRegistry::StripTrailingBackslash(text);
    EXPECT_EQ(text, kept);
  }
}

TEST_F(HostDiscovery, NonStringLocationIsTakenUpToItsFirstZeroByte) {
  const std::string binary("D:\\Bin\0junk", 11);
  testreg::SetRaw(kZwcad + "2021\\A", "Location", REG_BINARY, binary.data(), 11);
  const std::string multi("D:\\First\\\0D:\\Second\0\0", 21);
  testreg::SetRaw(kZwcad + "2021\\B", "Location", REG_MULTI_SZ, multi.data(), 21);
  const DWORD number = 0x00323130;  // "012" and a zero byte
  testreg::SetRaw(kZwcad + "2021\\C", "Location", REG_DWORD, &number, sizeof(number));
  testreg::SetRaw(kZwcad + "2021\\D", "Location", REG_BINARY, "NOZERO", 6);
  const std::string expand = "%ProgramFiles%\\Host";
  testreg::SetRaw(kZwcad + "2021\\E", "Location", REG_EXPAND_SZ, expand.c_str(),
                  static_cast<DWORD>(expand.size() + 1));

  EXPECT_EQ(EntriesOf(Discover(), 2021), (Entries{{kZwcad + "2021\\A\\", "D:\\Bin"},
                                                  {kZwcad + "2021\\B\\", "D:\\First"},
                                                  {kZwcad + "2021\\C\\", "012"},
                                                  {kZwcad + "2021\\D\\", "NOZERO"},
                                                  {kZwcad + "2021\\E\\", expand}}));
}

TEST_F(HostDiscovery, LocationThatDoesNotFitTheBufferCountsAsAbsent) {
  const std::string fits = "D:\\" + std::string(516, 'x');    // 519 bytes + NUL
  const std::string wideFits = "D:\\" + Repeat(kZhong, 258);  // 519 bytes + NUL
  SetLocations({{kZwcad + "2026\\Fits", fits},
                {kZwcad + "2026\\FitsWide", wideFits},
                {kZwcad + "2026\\Huge", std::string(2000, 'h')}});
  SetLocation(kZwcad + "2026\\Long", "D:\\" + std::string(517, 'x'));  // 520 bytes + NUL
  SetLocation(kZwcad + "2026\\Long\\Inner", "D:\\LongInner");
  SetLocation(kZwcad + "2026\\Wide", "D:\\" + Repeat(kZhong, 258) + "x");  // 520 bytes + NUL
  SetLocation(kZwcad + "2026\\Wide\\Inner", "D:\\WideInner");
  // 520 bytes without a zero byte among them.
  const std::string raw(520, 'r');
  testreg::SetRaw(kZwcad + "2026\\Raw", "Location", REG_BINARY, raw.data(), 520);
  SetLocation(kZwcad + "2026\\Raw\\Inner", "D:\\RawInner");

  EXPECT_EQ(EntriesOf(Discover(), 2026),
            (Entries{{kZwcad + "2026\\Fits\\", fits},
                     {kZwcad + "2026\\FitsWide\\", wideFits},
                     {kZwcad + "2026\\Long\\Inner\\", "D:\\LongInner"},
                     {kZwcad + "2026\\Raw\\Inner\\", "D:\\RawInner"},
                     {kZwcad + "2026\\Wide\\Inner\\", "D:\\WideInner"}}));
}

TEST_F(HostDiscovery, SubkeysThatCannotBeReadAreSkipped) {
  // 128 double-byte characters: 256 bytes, one more than the name buffer holds with its NUL.
  const std::string overlong = Repeat(kZhong, 128);
  const std::string longest = Repeat(kZhong, 127) + "x";  // 255 bytes: still fits
  SetLocations({{kZwcad + "2024\\A", "D:\\A"},
                {kZwcad + "2024\\" + overlong, "D:\\Overlong"},
                {kZwcad + "2024\\" + longest, "D:\\Longest"},
                {kZwcad + "2024\\Z", "D:\\Z"}});
  LockedKey lockedChild(kZwcad + "2024\\M");
  // Last under the last product key: read as an empty name it would search the product key
  // itself, and that search would stay in the work lists.
  SetLocation(kMep + "2024" + Repeat(kZhong, 126), "D:\\OverlongVersion");
  SetLocation(kMep + "2021\\P", "D:\\Mep");
  LockedKey lockedVersion(kZwcad + "2025");
  SetLocation(kZwcad + "2025 SP1\\P", "D:\\Sp1");
  LockedKey lockedProduct(kZwcadA.substr(0, kZwcadA.size() - 1));
  SetLocation(kZwcadM + "2027\\P", "D:\\M");

  const HostRegistry hosts = Discover();
  // The locked M comes before Z: reading on after it shows the parent's handle is intact.
  EXPECT_EQ(EntriesOf(hosts, 2024), (Entries{{kZwcad + "2024\\A\\", "D:\\A"},
                                             {kZwcad + "2024\\Z\\", "D:\\Z"},
                                             {kZwcad + "2024\\" + longest + "\\", "D:\\Longest"}}));
  EXPECT_EQ(EntriesOf(hosts, 2025), (Entries{{kZwcad + "2025 SP1\\P\\", "D:\\Sp1"}}));
  EXPECT_EQ(EntriesOf(hosts, 2027), (Entries{{kZwcadM + "2027\\P\\", "D:\\M"}}));
  EXPECT_EQ(EntriesOf(hosts, 2021), (Entries{{kMep + "2021\\P\\", "D:\\Mep"}}));
  EXPECT_EQ(EntryCount(hosts), 6u);
  EXPECT_EQ(hosts.foundKeyPaths, TextList{kMep + "2021\\P\\"});
}

}  // namespace
