// Discovery against any registry: seeded random trees below HKLM\SOFTWARE\ZWSOFT, written into the
// test prefix's real registry, searched by a fresh HostRegistry and compared with a model of the
// rules written here from their description (including the skipped unreadable names, unopenable
// keys and overlong values), not by calling product code. A mismatch names its seed.

#include <windows.h>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>
#include <tuple>

#include "tests/host/HostKeys.h"

namespace {

// Each glyph's bytes in code page 936 and its UTF-16 code unit, so that the model knows both forms
// without a conversion of its own.
struct Glyph {
  const char* ansi;
  wchar_t wide;
};

constexpr Glyph kDoubleByte[] = {
    {"\xD6\xD0", 0x4E2D},  // 中
    {"\xCD\xFB", 0x671B},  // 望
    {"\x9C\x5C", 0x6DFA},  // 淺: its second byte is the backslash's
    {"\x81\x5C", 0x4E57},  // 乗: so is this one's
    {"\x81\x40", 0x4E02},  // 丂
    {"\x81\x41", 0x4E04},  // 丄: second byte 'A'
    {"\xB1\xED", 0x8868},  // 表
    {"\xCA\xAE", 0x5341},  // 十
};
const Glyph& kTrail5C = kDoubleByte[2];

// Single-byte characters whose order among subkeys is the same whether the registry folds case
// up (Windows) or down (Wine): none of [ \ ] ^ _ ` , which lie between the two.
constexpr char kSingleByte[] =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 -.()";

const char* const kProducts[] = {"ZWCAD", "ZWCADA", "ZWCADM", "MEP"};

struct Name {
  std::string ansi;
  std::wstring wide;

  Name() = default;
  explicit Name(const std::string& ascii) { Add(ascii); }
  void Add(char c) {
    ansi += c;
    wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
  }
  void Add(const Glyph& glyph) {
    ansi += glyph.ansi;
    wide += glyph.wide;
  }
  void Add(const std::string& ascii) {
    for (char c : ascii) Add(c);
  }
  // Subkey names compare without regard to case.
  bool operator<(const Name& other) const { return _wcsicmp(wide.c_str(), other.wide.c_str()) < 0; }
  bool operator==(const Name& other) const {
    return _wcsicmp(wide.c_str(), other.wide.c_str()) == 0;
  }
};

struct Value {
  std::string name;  // ASCII
  DWORD type = REG_SZ;
  std::string data;  // as given to RegSetValueExA: code page 936 text for the string types
};

struct Node {
  Node() = default;
  explicit Node(Name name, std::vector<Value> values = {})
      : name(std::move(name)), values(std::move(values)) {}

  Name name;
  std::vector<Value> values;
  std::vector<Node> children;
  // Denies every access (an empty DACL): the key shows in its parent's listing but cannot be
  // opened. Nothing below a locked key is locked.
  bool locked = false;
};

bool operator==(const Node& a, const Node& b) {
  return a.name == b.name;
}

// Keys are created below their parent's handle, so that no full path is ever spelt out. Every
// handle stays open, parents first, in `made`: through them the tree is deleted a key at a time,
// locked keys too, where a delete by path walks it several times.
bool Write(HKEY parent, const Node& node, std::vector<HKEY>& made) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(parent, node.name.wide.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  made.push_back(key);
  bool ok = true;
  for (const Value& value : node.values) {
    // For the string types RegSetValueExA counts a forgotten terminator in when the byte after
    // the data is zero: a non-zero byte there keeps the data exactly as given.
    const std::string buffer = value.data + 'Z';
    ok = ok && RegSetValueExA(key, value.name.c_str(), 0, value.type,
                              reinterpret_cast<const BYTE*>(buffer.data()),
                              static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
  }
  for (const Node& child : node.children) ok = ok && Write(key, child, made);
  return ok && (!node.locked || testreg::DenyAll(key));
}

// ---------------------------------------------------------------------------------------------
// The model: what discovery must find in a tree, from the written rules.

std::vector<const Node*> InEnumerationOrder(const Node& node) {
  std::vector<const Node*> children;
  for (const Node& child : node.children) children.push_back(&child);
  std::sort(children.begin(), children.end(),
            [](const Node* a, const Node* b) { return a->name < b->name; });
  return children;
}

// A name whose text does not fit the 256-byte name buffer with its NUL cannot be read.
bool Readable(const Node& node) {
  return node.name.ansi.size() < 256;
}

// The text a key's "Location" value (any case) gives, if the key counts as holding it. The data
// goes into a 520-byte buffer: more does not fit, and 520 bytes without a zero byte would be a
// cut text. Otherwise the text runs up to the first zero byte, whatever the value's type.
bool Location(const Node& node, std::string& text) {
  for (const Value& value : node.values) {
    if (_stricmp(value.name.c_str(), "Location") != 0) continue;
    const std::size_t zero = value.data.find('\0');
    if (value.data.size() > 520 || (value.data.size() == 520 && zero == std::string::npos))
      return false;
    text = value.data.substr(0, zero);
    return true;
  }
  return false;
}

// Depth-first: a key's own value before its subkeys, subkeys in enumeration order, never below a
// key that holds the value; a key that cannot be opened is skipped with all below it.
void Search(const Node& node, const std::string& path, HostRegistry& found) {
  std::string text;
  if (node.locked) return;
  if (Location(node, text)) {
    found.foundKeyPaths.push_back(path);
    found.foundValues.push_back(text);
    return;
  }
  for (const Node* child : InEnumerationOrder(node))
    if (Readable(*child)) Search(*child, path + child->name.ansi + "\\", found);
}

// At most one trailing backslash goes: only when the last character (code page 936: a byte
// 0x81..0xFE and the byte after it are one character) is a backslash and is not the first.
std::string Stripped(std::string text) {
  std::size_t last = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    last = i;
    if (static_cast<unsigned char>(text[i]) >= 0x81 && static_cast<unsigned char>(text[i]) <= 0xFE)
      ++i;
  }
  if (last > 0 && last == text.size() - 1 && text[last] == '\\') text.erase(last);
  return text;
}

HostRegistry Expected(const Node& vendor) {
  HostRegistry found;
  // The product keys in this order, opened by path whatever case the registry spells them in;
  // every subkey of one is a version subkey, in enumeration order.
  for (const char* product : kProducts) {
    const auto key = std::find(vendor.children.begin(), vendor.children.end(), Node{Name(product)});
    if (key == vendor.children.end() || key->locked) continue;
    for (const Node* version : InEnumerationOrder(*key)) {
      if (!Readable(*version) || version->locked) continue;
      found.foundKeyPaths.clear();
      found.foundValues.clear();
      found.valueName = "Location";
      Search(*version, vendor.name.ansi + "\\" + product + "\\" + version->name.ansi + "\\", found);
      // The year comes from the version subkey's name: the first mark, 2021 first.
      for (int year = 0; year < kHostYearCount; ++year) {
        if (version->name.ansi.find(std::to_string(kFirstHostYear + year)) == std::string::npos)
          continue;
        found.keyPaths[year].insert(found.keyPaths[year].end(), found.foundKeyPaths.begin(),
                                    found.foundKeyPaths.end());
        for (const std::string& value : found.foundValues)
          found.locations[year].push_back(Stripped(value));
        break;
      }
    }
  }
  return found;
}

// ---------------------------------------------------------------------------------------------
// The generator.

class Generator {
 public:
  explicit Generator(std::uint32_t seed) : random(seed) {}

  // The vendor key, named by its path below HKLM.
  Node Tree() {
    Node vendor{Name(testreg::kVendorKey)};
    budget = 40 + Below(120);
    for (std::string product : kProducts) {
      if (Chance(20)) continue;
      // Product keys are opened by name: any case does.
      if (Chance(10)) CharLowerA(product.data());
      Node key{Name(product)};
      // A product key's own "Location" is never looked at.
      if (Chance(10)) key.values.push_back(LocationValue());
      key.locked = Chance(4);
      const int versions = Below(6);
      for (int i = 0; i < versions && budget > 0; ++i)
        AddUnique(key, Subtree(VersionName(), 1, key.locked));
      vendor.children.push_back(std::move(key));
    }
    // Keys beside the product keys are never searched.
    if (Chance(25)) {
      Node decoy = Subtree(Name(Chance(50) ? "ZWCADX" : "2024"), 1, false);
      decoy.values.push_back(LocationValue());
      vendor.children.push_back(std::move(decoy));
    }
    // A deep chain below one version subkey, with "Location" at some of its levels.
    if (Chance(20)) AddChain(vendor);
    return vendor;
  }

 private:
  int Below(int n) { return static_cast<int>(random() % static_cast<std::uint32_t>(n)); }
  bool Chance(int percent) { return Below(100) < percent; }
  template <typename T, std::size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[Below(static_cast<int>(N))];
  }

  // Appends `bytes` bytes of code page 936 text: a double-byte character at `percentWide` percent
  // where two bytes are left, otherwise one of the first `singles` of kSingleByte.
  void Fill(Name& name, std::size_t bytes, int percentWide, int singles = 26) {
    for (const std::size_t end = name.ansi.size() + bytes; name.ansi.size() < end;) {
      if (end - name.ansi.size() >= 2 && Chance(percentWide))
        name.Add(Pick(kDoubleByte));
      else
        name.Add(kSingleByte[Below(singles)]);
    }
  }

  // A name of exactly `bytes` bytes with `inside` somewhere in it; past 255 bytes mostly
  // double-byte characters, so that it stays within the registry's 255 characters.
  Name NameOfBytes(std::size_t bytes, const std::string& inside) {
    const int percentWide = bytes > 255 || Chance(50) ? 100 : 30;
    const std::size_t before = Below(static_cast<int>(bytes - inside.size() + 1));
    Name name;
    Fill(name, before, percentWide);
    name.Add(inside);
    Fill(name, bytes - before - inside.size(), percentWide);
    return name;
  }

  std::size_t LongLength() {
    static const std::size_t kLengths[] = {250, 253, 254, 255, 255, 256, 256, 257, 260, 300};
    return Pick(kLengths);
  }

  std::string YearMark() { return std::to_string(kFirstHostYear + Below(kHostYearCount)); }

  Name YearName() {
    static const char* const kPrefixes[] = {"", "", "ZWCAD ", "R", "V", "x64 "};
    static const char* const kSuffixes[] = {"", "", " SP1", ".1", "(x64)", " Pro", "-2023", "2025"};
    Name name;
    if (Chance(15)) name.Add(Chance(50) ? kDoubleByte[0] : kTrail5C);
    name.Add(Pick(kPrefixes));
    name.Add(YearMark());
    name.Add(Pick(kSuffixes));
    if (Chance(15)) name.Add(kTrail5C);
    return name;
  }

  Name ShortName() {
    Name name;
    Fill(name, 1 + Below(20), 35, sizeof(kSingleByte) - 1);
    // Not all blanks and dots.
    if (name.ansi.find_first_not_of(" .") == std::string::npos) name.Add('k');
    return name;
  }

  Name VersionName() {
    switch (Below(10)) {
      case 0: {  // a year outside the range, or none
        static const char* const kOthers[] = {"2019", "2020",  "2028", "2030",
                                              "202",  "2 024", "Beta"};
        Name name(Pick(kOthers));
        if (Chance(30)) name.Add(kTrail5C);
        return name;
      }
      case 1:  // near the 255-byte limit of the name buffer, a year mark inside
        return NameOfBytes(LongLength(), YearMark());
      case 2:
        return ShortName();
      default:
        return YearName();
    }
  }

  Name ChildName() {
    if (Chance(8)) return NameOfBytes(LongLength(), "");
    if (Chance(10)) return YearName();
    return ShortName();
  }

  std::string PathText() {
    static const char* const kOdd[] = {
        "", "\\", "\\\\", "D:\\Host\x9C\x5C", "D:\\Host\x9C\x5C\\", "D:\\\x81\x5C\\\\"};
    const int kind = Below(12);
    if (kind < 5) return Pick(kOdd);
    if (kind == 5) {  // at the 520-byte buffer: 519 bytes and a terminator fit, more does not
      static const std::size_t kLengths[] = {518, 519, 519, 520, 520, 521};
      return "D:\\" + NameOfBytes(Pick(kLengths) - 4, "").ansi;
    }
    std::string text = "D:\\Host";
    for (int parts = Below(3); parts > 0; --parts) text += "\\" + ShortName().ansi;
    static const char* const kEnds[] = {"", "", "\\", "\\\\"};
    return text + Pick(kEnds);
  }

  std::string RandomBytes(std::size_t length, bool zeros) {
    std::string bytes;
    while (bytes.size() < length) {
      const char byte = static_cast<char>(Below(256));
      bytes += byte == '\0' && !zeros ? '\x5C' : byte;
    }
    return bytes;
  }

  Value LocationValue() {
    static const char* const kNames[] = {"Location", "Location", "Location", "LOCATION",
                                         "location"};
    // Every type up to REG_QWORD and one the platform does not know.
    Value value{Pick(kNames),
                static_cast<DWORD>(Chance(40)   ? REG_SZ
                                   : Chance(92) ? Below(REG_QWORD + 1)
                                                : 0x00012345),
                ""};
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ) {
      static const std::string kEnds[] = {"", std::string("\0D:\\Second\0\0", 12),
                                          std::string(1, '\0')};
      // Without a terminator, with more after it, or as usual.
      value.data = PathText();
      value.data += Chance(80) ? kEnds[2] : Pick(kEnds);
      return value;
    }
    switch (Below(8)) {
      case 0:
        break;
      case 1:
        value.data = RandomBytes(value.type == REG_QWORD ? 8 : 4, Chance(50));
        break;
      case 2: {  // at the buffer's size, with or without a zero byte
        static const std::size_t kLengths[] = {519, 520, 521};
        value.data = RandomBytes(Pick(kLengths), false);
        if (Chance(50)) value.data[Below(static_cast<int>(value.data.size()))] = '\0';
        break;
      }
      case 3:  // a lone lead byte, or a lead byte before a backslash, at the end of the text
        value.data = std::string("D:\\x") + (Chance(50) ? "\x9C" : "\x81\\\\") + '\0';
        break;
      case 4:
        value.data = RandomBytes(1 + Below(24), true);
        break;
      default:
        value.data = PathText() + '\0';
        value.data += RandomBytes(Below(6), true);
    }
    return value;
  }

  Node Subtree(Name name, int depth, bool belowLock) {
    Node node{std::move(name)};
    if (Chance(35)) node.values.push_back(LocationValue());
    // Other names are never taken for "Location".
    if (Chance(20)) {
      static const char* const kDecoys[] = {"Location2", "Locatio", "InstallPath", "", "Loc ation"};
      node.values.push_back(LocationValue());
      node.values.back().name = Pick(kDecoys);
    }
    --budget;
    node.locked = !belowLock && Chance(3);
    const int children = budget > 0 ? Below((depth < 3 ? 4 : depth < 6 ? 2 : 1) + 1) : 0;
    for (int i = 0; i < children && budget > 0; ++i)
      AddUnique(node, Subtree(ChildName(), depth + 1, belowLock || node.locked));
    return node;
  }

  // Appends `child` unless a sibling has its name.
  static void AddUnique(Node& parent, Node child) {
    if (std::find(parent.children.begin(), parent.children.end(), child) == parent.children.end())
      parent.children.push_back(std::move(child));
  }

  // Appends `child` to `parent`, renamed until no sibling has its name.
  static Node& Adopt(Node& parent, Node child) {
    while (std::find(parent.children.begin(), parent.children.end(), child) !=
           parent.children.end())
      child.name.Add('z');
    parent.children.push_back(std::move(child));
    return parent.children.back();
  }

  void AddChain(Node& vendor) {
    for (Node& product : vendor.children) {
      if (product.children.empty() || product.locked) continue;
      Node* at = &product.children[Below(static_cast<int>(product.children.size()))];
      // Up to 100 levels below the version subkey.
      for (int level = 20 + Below(81); level > 0 && !at->locked; --level) {
        if (Chance(10)) Adopt(*at, Node{Name("side"), {LocationValue()}});
        at = &Adopt(*at, Node{ShortName()});
        if (Chance(8)) at->values.push_back(LocationValue());
      }
      return;
    }
  }

  std::mt19937 random;
  int budget = 0;
};

// 800 trees in four CTest entries; each range stops reporting after three mismatching seeds.
class DiscoveryProperty : public hosttest::HostKeysTest {
 protected:
  void CheckRange(std::uint32_t first, std::uint32_t last) {
    int entries = 0, mismatches = 0;
    for (std::uint32_t seed = first; seed <= last && mismatches < 3; ++seed) {
      SCOPED_TRACE("seed " + std::to_string(seed) + " (Generator(seed).Tree() gives it back)");
      const Node vendor = Generator(seed).Tree();
      const HostRegistry expected = Expected(vendor);
      HostRegistry found;
      {
        testreg::CleanHostKeys clean;
        std::vector<HKEY> made;
        const bool written = Write(HKEY_LOCAL_MACHINE, vendor, made);
        if (written) found.DiscoverHosts();
        // Subkeys before their parents; an empty name is the handle's own key.
        for (auto key = made.rbegin(); key != made.rend(); ++key)
          RegDeleteKeyW(*key, L""), RegCloseKey(*key);
        if (!written) {
          ADD_FAILURE() << "the tree could not be written";
          ++mismatches;
          continue;
        }
      }
      for (const TextList& list : expected.keyPaths) entries += static_cast<int>(list.size());
      const auto fields = [](const HostRegistry& h) {
        return std::make_tuple(h.keyPaths, h.locations, h.foundKeyPaths, h.foundValues,
                               h.valueName);
      };
      mismatches += fields(found) != fields(expected);
      EXPECT_EQ(fields(found), fields(expected));
    }
    std::printf("seeds %u..%u: %d entries\n", first, last, entries);
  }
};

TEST_F(DiscoveryProperty, Seeds0To199) {
  CheckRange(0, 199);
}
TEST_F(DiscoveryProperty, Seeds200To399) {
  CheckRange(200, 399);
}
TEST_F(DiscoveryProperty, Seeds400To599) {
  CheckRange(400, 599);
}
TEST_F(DiscoveryProperty, Seeds600To799) {
  CheckRange(600, 799);
}

}  // namespace
