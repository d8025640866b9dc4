// The sealed installer's record as bytes: what reads as a whole record and what does not.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "deploy/SealRecord.h"

namespace {

struct Entry {
  unsigned char folder;
  std::string name;
  std::uint64_t size;
};

void Put(std::string& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i) & 0xFF);
}

// The record's layout, written out here independently of the reader.
std::string Record(const std::vector<Entry>& entries, std::int64_t count = -1) {
  std::string out("ZSEAL/1\0", 8);
  Put(out, count < 0 ? entries.size() : static_cast<std::uint64_t>(count), 4);
  for (const Entry& e : entries) {
    Put(out, e.folder, 1);
    Put(out, e.name.size(), 2);
    out += e.name;
    Put(out, e.size, 8);
    out += std::string(32, static_cast<char>(e.size & 0xFF));
  }
  return out;
}

bool Reads(const std::string& bytes, SealRecord& record) {
  return record.Read(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

const std::vector<Entry> kGenuine = {
    {0, "Quorel2021.ZRX", 512000},
    {0, "Quorel_EN.shx", 7},
    {1, "淺图块.dwg", 65536},  // 淺 is 9C 5C: its trail byte is a backslash's
    {1, "Quorel2021.ZRX", 1},  // the same name in the other folder
};

TEST(SealRecord, AWholeRecordReadsWithEveryField) {
  SealRecord record;
  ASSERT_TRUE(Reads(Record(kGenuine), record));
  ASSERT_EQ(record.Entries().size(), 4u);
  const SealEntry& library = record.Entries()[2];
  EXPECT_EQ(library.folder, SealFolder::Library);
  EXPECT_EQ(library.name, "\x9C\x5C图块.dwg");
  EXPECT_EQ(library.size, 65536u);
  EXPECT_EQ(library.digest, Sha256{});  // 32 bytes of 65536 & 0xFF
  EXPECT_TRUE(Reads(Record({}), record));
  EXPECT_TRUE(record.Entries().empty());
}

TEST(SealRecord, NamesAreFoundPerFolderWithoutRegardToCase) {
  SealRecord record;
  ASSERT_TRUE(Reads(Record(kGenuine), record));
  const struct {
    SealFolder folder;
    std::string name;
    std::int64_t size;  // -1: not found
  } cases[] = {
      {SealFolder::Package, "quorel2021.zrx", 512000}, {SealFolder::Library, "QUOREL2021.zrx", 1},
      {SealFolder::Package, "QUOREL_en.SHX", 7},       {SealFolder::Library, "淺图块.DWG", 65536},
      {SealFolder::Package, "淺图块.dwg", -1},         {SealFolder::Library, "Quorel_EN.shx", -1},
      {SealFolder::Package, "Quorel2021.ZRX ", -1},    {SealFolder::Package, "Quorel2025.ZRX", -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const SealEntry* found = record.Find(c.folder, c.name);
    ASSERT_EQ(found != nullptr, c.size >= 0);
    if (found) {
      EXPECT_EQ(found->size, static_cast<std::uint64_t>(c.size));
    }
  }
}

TEST(SealRecord, WhatIsNotOneWholeRecordIsRefused) {
  const std::string genuine = Record(kGenuine);
  std::string badMagic = genuine;
  badMagic[6] = '2';
  std::string longName = Record({{0, std::string(260, 'a'), 1}});
  const struct {
    const char* what;
    std::string bytes;
    bool reads;
  } cases[] = {
      {"one byte more", genuine + '\0', false},
      {"another magic", badMagic, false},
      {"a count past the data", Record(kGenuine, 5), false},
      {"a count short of the data", Record(kGenuine, 3), false},
      {"a name length past the data",
       Record({{0, "a.dwg", 1}}).substr(0, 13) + "\xFF\xFF" + "a.dwg", false},
      {"an unknown folder", Record({{2, "a.dwg", 1}}), false},
      {"the same name twice", Record({{0, "A.dwg", 1}, {0, "A.dwg", 2}}), false},
      {"names differing in case", Record({{1, "图块A.DWG", 1}, {1, "图块a.dwg", 2}}), false},
      {"double-byte names differing in a trail byte A/a",
       Record({{0, "\x81\x41.x", 1}, {0, "\x81\x61.x", 1}}), true},
      {"a trail byte 0x5C", Record({{0, "淺.dwg", 1}, {0, "淺淺", 1}}), true},
      {"a trail byte 0x7C", Record({{0, "\x81\x7C.dwg", 1}}), true},
      {"a backslash", Record({{0, "..\\evil.dll", 1}}), false},
      {"a slash", Record({{1, "../evil.dll", 1}}), false},
      {"a stream", Record({{0, "Quorel2021.ZRX:x", 1}}), false},
      {"a wildcard", Record({{0, "*.ZRX", 1}}), false},
      {"a control byte", Record({{0, "a\x01.dwg", 1}}), false},
      {"an empty name", Record({{0, "", 1}}), false},
      {"dot", Record({{0, ".", 1}}), false},
      {"dot dot", Record({{1, "..", 1}}), false},
      {"a name as long as a listing entry", Record({{0, std::string(259, 'a'), 1}}), true},
      {"a name longer than a listing entry", longName, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SealRecord record;
    ASSERT_TRUE(Reads(genuine, record));
    EXPECT_EQ(Reads(c.bytes, record), c.reads);
    // A refused record leaves nothing to install.
    if (!c.reads) {
      EXPECT_TRUE(record.Entries().empty());
    }
  }
}

TEST(SealRecord, EveryCutOfARecordIsRefused) {
  const std::string genuine = Record(kGenuine);
  for (std::size_t length = 0; length < genuine.size(); ++length) {
    SealRecord record;
    EXPECT_FALSE(Reads(genuine.substr(0, length), record)) << length << " of " << genuine.size();
  }
}

}  // namespace
