// Discovery against any registry: seeded random trees below HKLM\SOFTWARE\ZWSOFT, written into the
// test prefix's real registry, searched by a fresh HostRegistry and compared with a model of the
// rules written here from their description (including the skipped unreadable names, unopenable
// keys and overlong values), not by calling product code. A mismatch prints the seed with what
// the model expected and what discovery found.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "host/HostRegistry.h"
#include "tests/host/HostKeys.h"
#include "tests/support/Registry.h"

namespace {

constexpr const char* kVendor = "SOFTWARE\\ZWSOFT";

// ---------------------------------------------------------------------------------------------
// Names. Every name is built glyph by glyph from the table below, which gives each glyph's bytes
// in code page 936 and its UTF-16 code unit, so that the model knows both forms without a
// conversion of its own.

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
const Glyph& kZhong = kDoubleByte[0];

// Single-byte characters whose order among subkeys is the same whether the registry folds case
// up (Windows) or down (Wine): none of [ \ ] ^ _ ` , which lie between the two.
constexpr char kSingleByte[] =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 -.()";

struct Name {
  std::string ansi;
  std::wstring wide;

  Name() = default;
  explicit Name(const char* ascii) { Add(std::string(ascii)); }
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
};

// The registry compares subkey names without regard to case; within the characters used here,
// folding to lower case orders them as the platform enumerates them.
std::wstring Folded(const std::wstring& text) {
  std::wstring folded = text;
  for (wchar_t& c : folded)
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  return folded;
}

bool SameAsciiNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Trees.

struct Value {
  std::string name;  // ASCII
  DWORD type = REG_SZ;
  // The bytes given to RegSetValueExA: code page 936 text for the string types.
  std::string data;
};

struct Node {
  Name name;
  std::vector<Value> values;
  std::vector<Node> children;
  // Denies every access (an empty DACL): the key shows in its parent's listing but cannot be
  // opened. Nothing below a locked key is locked.
  bool locked = false;
};

int CountNodes(const Node& node) {
  int count = 1;
  for (const Node& child : node.children) count += CountNodes(child);
  return count;
}

// ---------------------------------------------------------------------------------------------
// Writing a tree into HKLM\SOFTWARE\ZWSOFT and removing it again.

bool WriteValue(HKEY key, const Value& value) {
  // For the string types RegSetValueExA counts a forgotten terminator in when the byte after the
  // data is zero: a non-zero byte there keeps the data exactly as given.
  std::string buffer = value.data + 'Z';
  return RegSetValueExA(key, value.name.c_str(), 0, value.type,
                        reinterpret_cast<const BYTE*>(buffer.data()),
                        static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
}

// Keys are created below their parent's handle, so that no full path is ever spelt out.
bool WriteNode(HKEY parent, const Node& node, std::string& error) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(parent, node.name.wide.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    error = "cannot create a key of " + std::to_string(node.name.wide.size()) + " characters";
    return false;
  }
  bool ok = true;
  for (const Value& value : node.values) {
    if (!WriteValue(key, value)) {
      error = "cannot write value " + value.name;
      ok = false;
    }
  }
  for (const Node& child : node.children) ok = ok && WriteNode(key, child, error);
  if (ok && node.locked && !testreg::DenyAll(key)) {
    error = "cannot lock a key";
    ok = false;
  }
  RegCloseKey(key);
  return ok;
}

// The vendor key's children are the tree's children; the vendor key itself is never locked.
void RemoveTree() {
  testreg::UnlockTree(kVendor);
  testreg::DeleteTree(kVendor);
}

bool WriteTree(const Node& vendor, std::string& error) {
  testreg::DeleteTree(kVendor);
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kVendor, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    error = "cannot create the vendor key";
    return false;
  }
  bool ok = true;
  for (const Node& child : vendor.children) ok = ok && WriteNode(key, child, error);
  RegCloseKey(key);
  return ok;
}

// ---------------------------------------------------------------------------------------------
// The model: what discovery must find in a tree, from the written rules.

struct Found {
  std::array<TextList, kHostYearCount> locations;
  std::array<TextList, kHostYearCount> keyPaths;
  TextList foundKeyPaths;
  TextList foundValues;
  std::string valueName;

  bool operator==(const Found&) const = default;
};

Found FromRegistry(const HostRegistry& hosts) {
  return Found{hosts.locations, hosts.keyPaths, hosts.foundKeyPaths, hosts.foundValues,
               hosts.valueName};
}

class Model {
 public:
  Found Of(const Node& vendor) const {
    Found found;
    // The product keys, in this order; each is opened by its full path, whatever case the
    // registry spells it in, and the key paths carry the text of this table.
    for (const char* product : {"ZWCAD", "ZWCADA", "ZWCADM", "MEP"}) {
      const Node* key = Child(vendor, product);
      if (key == nullptr || key->locked) continue;
      // Every subkey of a product key is a version subkey, in enumeration order. A name whose
      // text does not fit the 256-byte name buffer cannot be read: that index is skipped, and
      // so is a version subkey that cannot be opened.
      for (const Node* version : InEnumerationOrder(*key)) {
        if (!Readable(version->name) || version->locked) continue;
        found.foundKeyPaths.clear();
        found.foundValues.clear();
        found.valueName = "Location";
        const std::string base =
            std::string(kVendor) + "\\" + product + "\\" + version->name.ansi + "\\";
        Search(*version, base, "", found);
        for (std::size_t k = 0; k < found.foundKeyPaths.size(); ++k) {
          // The year comes from the version subkey's name: the first mark, 2021 first.
          for (int year = 0; year < kHostYearCount; ++year) {
            if (version->name.ansi.find(std::to_string(kFirstHostYear + year)) == std::string::npos)
              continue;
            found.keyPaths[year].push_back(found.foundKeyPaths[k]);
            found.locations[year].push_back(Stripped(found.foundValues[k]));
            break;
          }
        }
      }
    }
    return found;
  }

  // The text a key's "Location" value gives, or nothing when the key counts as not holding it.
  // Value names match without regard to case. The data (as the narrow call returns it: for the
  // string types the same code page text that was written) goes into a 520-byte buffer: more
  // than 520 bytes does not fit, and 520 bytes without a zero byte would be a cut text. Otherwise
  // the text runs up to the first zero byte, whatever the value's type.
  static std::optional<std::string> Location(const Node& node) {
    for (const Value& value : node.values) {
      if (!SameAsciiNoCase(value.name, "Location")) continue;
      const std::string& data = value.data;
      const std::size_t zero = data.find('\0');
      if (data.size() > 520 || (data.size() == 520 && zero == std::string::npos))
        return std::nullopt;
      return data.substr(0, zero);
    }
    return std::nullopt;
  }

  static bool Readable(const Name& name) { return name.ansi.size() + 1 <= 256; }

  static std::vector<const Node*> InEnumerationOrder(const Node& node) {
    std::vector<const Node*> children;
    for (const Node& child : node.children) children.push_back(&child);
    std::sort(children.begin(), children.end(), [](const Node* a, const Node* b) {
      return Folded(a->name.wide) < Folded(b->name.wide);
    });
    return children;
  }

 private:
  static const Node* Child(const Node& node, const char* name) {
    for (const Node& child : node.children)
      if (Folded(child.name.wide) == Folded(Name(name).wide)) return &child;
    return nullptr;
  }

  // Depth-first: a key's own value before its subkeys, subkeys in enumeration order, never below
  // a key that holds the value; a key that cannot be opened is skipped with all below it.
  void Search(const Node& node, const std::string& base, const std::string& relative,
              Found& found) const {
    if (node.locked) return;
    if (const std::optional<std::string> text = Location(node)) {
      found.foundKeyPaths.push_back(base + relative);
      found.foundValues.push_back(*text);
      return;
    }
    for (const Node* child : InEnumerationOrder(node)) {
      if (!Readable(child->name)) continue;
      Search(*child, base, relative + child->name.ansi + "\\", found);
    }
  }

  // At most one trailing backslash goes: only when the last character (code page 936: a byte
  // 0x81..0xFE and the byte after it are one character) is a backslash and is not the first.
  static std::string Stripped(std::string text) {
    std::size_t last = std::string::npos;
    for (std::size_t i = 0; i < text.size();) {
      last = i;
      const unsigned char byte = static_cast<unsigned char>(text[i]);
      i += (byte >= 0x81 && byte <= 0xFE && i + 1 < text.size()) ? 2 : 1;
    }
    if (last != std::string::npos && last > 0 && last == text.size() - 1 && text[last] == '\\')
      text.erase(last);
    return text;
  }
};

// ---------------------------------------------------------------------------------------------
// The generator.

constexpr DWORD kTypes[] = {REG_NONE,
                            REG_SZ,
                            REG_EXPAND_SZ,
                            REG_BINARY,
                            REG_DWORD,
                            REG_DWORD_BIG_ENDIAN,
                            REG_LINK,
                            REG_MULTI_SZ,
                            REG_RESOURCE_LIST,
                            REG_FULL_RESOURCE_DESCRIPTOR,
                            REG_RESOURCE_REQUIREMENTS_LIST,
                            REG_QWORD,
                            0x00012345};

bool IsStringType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

class Generator {
 public:
  explicit Generator(std::uint32_t seed) : random(seed) {}

  Node Tree() {
    Node vendor;
    budget = 40 + Below(120);
    for (const char* product : {"ZWCAD", "ZWCADA", "ZWCADM", "MEP"}) {
      if (Chance(20)) continue;
      Node key;
      key.name = Name(product);
      // Product keys are opened by name: any case does.
      if (Chance(10)) {
        Name lower;
        for (char c : std::string(product)) lower.Add(static_cast<char>(c - 'A' + 'a'));
        key.name = lower;
      }
      // A product key's own "Location" is never looked at.
      if (Chance(10)) key.values.push_back(LocationValue());
      key.locked = Chance(4);
      const int versions = Below(6);
      std::set<std::wstring> names;
      for (int i = 0; i < versions && budget > 0; ++i) {
        Node version = Subtree(VersionName(), 1, key.locked);
        if (!names.insert(Folded(version.name.wide)).second) continue;
        key.children.push_back(std::move(version));
      }
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

  void AddGlyph(Name& name) {
    if (Chance(35))
      name.Add(Pick(kDoubleByte));
    else
      name.Add(kSingleByte[Below(sizeof(kSingleByte) - 1)]);
  }

  // `bytes` bytes of code page 936 text; double-byte characters are preferred when `wide`.
  void Fill(Name& name, std::size_t bytes, bool wide) {
    for (const std::size_t end = name.ansi.size() + bytes; name.ansi.size() < end;) {
      if (end - name.ansi.size() >= 2 && (wide || Chance(30)))
        name.Add(Pick(kDoubleByte));
      else
        name.Add(kSingleByte[Below(26)]);
    }
  }

  // A name of exactly `bytes` bytes with `inside` somewhere in it; past 255 bytes mostly
  // double-byte characters, so that it stays within the registry's 255 characters.
  Name NameOfBytes(std::size_t bytes, const std::string& inside) {
    const bool wide = bytes > 255 || Chance(50);
    const std::size_t before = Below(static_cast<int>(bytes - inside.size() + 1));
    Name name;
    Fill(name, before, wide);
    name.Add(inside);
    Fill(name, bytes - before - inside.size(), wide);
    return name;
  }

  Name YearName(int year) {
    static const char* const kPrefixes[] = {"", "", "ZWCAD ", "R", "V", "x64 "};
    static const char* const kSuffixes[] = {"", "", " SP1", ".1", "(x64)", " Pro", "-2023", "2025"};
    Name name;
    if (Chance(15)) name.Add(Chance(50) ? kZhong : kTrail5C);
    name.Add(std::string(Pick(kPrefixes)));
    name.Add(std::to_string(year));
    name.Add(std::string(Pick(kSuffixes)));
    if (Chance(15)) name.Add(kTrail5C);
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
        return NameOfBytes(LongLength(), std::to_string(kFirstHostYear + Below(kHostYearCount)));
      case 2:
        return ShortName();
      default:
        return YearName(kFirstHostYear + Below(kHostYearCount));
    }
  }

  std::size_t LongLength() {
    static const std::size_t kLengths[] = {250, 253, 254, 255, 255, 256, 256, 257, 260, 300};
    return Pick(kLengths);
  }

  Name ShortName() {
    Name name;
    const int length = 1 + Below(12);
    for (int i = 0; i < length; ++i) AddGlyph(name);
    // Not all blanks and dots.
    if (name.ansi.find_first_not_of(" .") == std::string::npos) name.Add('k');
    return name;
  }

  Name ChildName() {
    if (Chance(8)) return NameOfBytes(LongLength(), "");
    if (Chance(10)) return YearName(kFirstHostYear + Below(kHostYearCount));
    return ShortName();
  }

  // A text of exactly `bytes` bytes: a drive, then double-byte and single-byte characters.
  std::string TextOfBytes(std::size_t bytes) {
    std::string text = "D:\\";
    while (text.size() < bytes) {
      if (bytes - text.size() >= 2 && Chance(50))
        text += Pick(kDoubleByte).ansi;
      else
        text += static_cast<char>('a' + Below(26));
    }
    return text;
  }

  std::string PathText() {
    switch (Below(12)) {
      case 0:
        return "";
      case 1:
        return "\\";
      case 2:
        return "\\\\";
      case 3:  // ends in a double-byte character whose second byte is 0x5C
        return std::string("D:\\Host") + kTrail5C.ansi + (Chance(50) ? "\\" : "");
      case 4:
        return std::string("D:\\") + kDoubleByte[3].ansi + "\\\\";
      case 5: {  // at the 520-byte buffer: 519 bytes and a terminator fit, more does not
        static const std::size_t kLengths[] = {518, 519, 519, 520, 520, 521};
        return TextOfBytes(Pick(kLengths) - 1);
      }
      default: {
        std::string text = "D:\\Host";
        const int parts = Below(3);
        for (int i = 0; i < parts; ++i) {
          text += "\\";
          const int length = 1 + Below(6);
          for (int j = 0; j < length; ++j)
            text += Chance(40) ? std::string(Pick(kDoubleByte).ansi)
                               : std::string(1, static_cast<char>('a' + Below(26)));
        }
        static const char* const kEnds[] = {"", "", "\\", "\\\\"};
        return text + Pick(kEnds);
      }
    }
  }

  std::string RandomBytes(std::size_t length, bool zeros) {
    std::string bytes;
    for (std::size_t i = 0; i < length; ++i) {
      char byte = static_cast<char>(Below(256));
      if (!zeros && byte == '\0') byte = '\x5C';
      bytes += byte;
    }
    return bytes;
  }

  Value LocationValue() {
    static const char* const kNames[] = {"Location", "Location", "Location", "LOCATION",
                                         "location"};
    Value value;
    value.name = Pick(kNames);
    value.type = Chance(40) ? REG_SZ : Pick(kTypes);
    if (IsStringType(value.type)) {
      value.data = PathText();
      switch (Below(10)) {
        case 0:  // no terminator
          break;
        case 1:  // more after the first terminator
          value.data += std::string(1, '\0') + "D:\\Second" + std::string(2, '\0');
          break;
        default:
          value.data += '\0';
      }
      return value;
    }
    switch (Below(8)) {
      case 0:
        value.data = "";
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
        value.data = PathText() + std::string(1, '\0') + RandomBytes(Below(6), true);
    }
    return value;
  }

  std::vector<Value> Values() {
    std::vector<Value> values;
    if (Chance(35)) values.push_back(LocationValue());
    // Other names are never taken for "Location".
    if (Chance(20)) {
      static const char* const kDecoys[] = {"Location2", "Locatio", "InstallPath", "", "Loc ation"};
      Value decoy = LocationValue();
      decoy.name = Pick(kDecoys);
      values.push_back(decoy);
    }
    return values;
  }

  Node Subtree(Name name, int depth, bool belowLock) {
    Node node;
    node.name = std::move(name);
    node.values = Values();
    --budget;
    node.locked = !belowLock && Chance(3);
    const int most = depth < 3 ? 4 : depth < 6 ? 2 : 1;
    const int children = budget > 0 ? Below(most + 1) : 0;
    std::set<std::wstring> names;
    for (int i = 0; i < children && budget > 0; ++i) {
      Node child = Subtree(ChildName(), depth + 1, belowLock || node.locked);
      if (!names.insert(Folded(child.name.wide)).second) continue;
      node.children.push_back(std::move(child));
    }
    return node;
  }

  // Appends `child` to `parent`, renamed until no sibling has its name.
  static Node& Adopt(Node& parent, Node child) {
    for (bool clash = true; clash;) {
      clash = false;
      for (const Node& sibling : parent.children)
        clash = clash || Folded(sibling.name.wide) == Folded(child.name.wide);
      if (clash) child.name.Add('z');
    }
    parent.children.push_back(std::move(child));
    return parent.children.back();
  }

  void AddChain(Node& vendor) {
    for (Node& product : vendor.children) {
      if (product.children.empty() || product.locked) continue;
      Node* at = &product.children[Below(static_cast<int>(product.children.size()))];
      if (at->locked) return;
      const int length = 20 + Below(81);  // up to 100 levels below the version subkey
      for (int level = 0; level < length; ++level) {
        if (Chance(10)) {
          Node side;
          side.name = Name("side");
          side.values.push_back(LocationValue());
          Adopt(*at, std::move(side));
        }
        Node link;
        link.name = ShortName();
        if (Chance(8)) link.values.push_back(LocationValue());
        at = &Adopt(*at, std::move(link));
      }
      return;
    }
  }

  std::mt19937 random;
  int budget = 0;
};

// ---------------------------------------------------------------------------------------------
// Running and telling.

struct Outcome {
  bool written = false;
  std::string error;
  Found expected;
  Found actual;
  bool Mismatch() const { return !written || !(expected == actual); }
};

Outcome RunTree(const Node& vendor, const Model& model) {
  Outcome outcome;
  outcome.written = WriteTree(vendor, outcome.error);
  if (outcome.written) {
    HostRegistry hosts;
    hosts.DiscoverHosts();
    outcome.actual = FromRegistry(hosts);
    outcome.expected = model.Of(vendor);
  }
  RemoveTree();
  return outcome;
}

// Printable ASCII as it is, every other byte as \xNN; a long text by its head and its tail.
std::string Escaped(const std::string& bytes) {
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes.size() > 80 && i == 40) {
      text += "...";
      i = bytes.size() - 24;
    }
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    char piece[8];
    if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"')
      std::snprintf(piece, sizeof(piece), "%c", c);
    else if (c == '\\')
      std::snprintf(piece, sizeof(piece), "\\\\");
    else
      std::snprintf(piece, sizeof(piece), "\\x%02X", c);
    text += piece;
  }
  return "\"" + text + "\" (" + std::to_string(bytes.size()) + " bytes)";
}

std::string Describe(const Found& found) {
  std::string out = "  valueName " + Escaped(found.valueName) + "\n";
  const auto list = [&](const std::string& label, const TextList& texts) {
    for (const std::string& text : texts) out += "  " + label + " " + Escaped(text) + "\n";
  };
  for (int year = 0; year < kHostYearCount; ++year) {
    list(std::to_string(kFirstHostYear + year) + " key", found.keyPaths[year]);
    list(std::to_string(kFirstHostYear + year) + " location", found.locations[year]);
  }
  list("work list key", found.foundKeyPaths);
  list("work list value", found.foundValues);
  return out;
}

struct Tally {
  int nodes = 0, entries = 0, mismatches = 0;
  std::string report;
};

// Runs seeds first..last; reports up to three mismatching seeds (each one's tree comes back with
// Generator(seed).Tree()).
Tally CheckSeeds(std::uint32_t first, std::uint32_t last, const Model& model) {
  Tally tally;
  for (std::uint32_t seed = first; seed <= last; ++seed) {
    const Node tree = Generator(seed).Tree();
    const Outcome outcome = RunTree(tree, model);
    tally.nodes += CountNodes(tree) - 1;
    for (const TextList& list : outcome.expected.keyPaths)
      tally.entries += static_cast<int>(list.size());
    if (!outcome.Mismatch()) continue;
    if (++tally.mismatches > 3) continue;
    if (!outcome.written) {
      tally.report += "seed " + std::to_string(seed) + ": the tree could not be written (" +
                      outcome.error + ")\n";
      continue;
    }
    tally.report += "seed " + std::to_string(seed) +
                    ": discovery differs from the model\nexpected:\n" + Describe(outcome.expected) +
                    "found:\n" + Describe(outcome.actual);
  }
  return tally;
}

class DiscoveryProperty : public hosttest::HostKeysTest {
 protected:
  void CheckRange(std::uint32_t first, std::uint32_t last) {
    const Tally tally = CheckSeeds(first, last, Model());
    std::printf("seeds %u..%u: %d keys, %d entries\n", first, last, tally.nodes, tally.entries);
    EXPECT_EQ(tally.mismatches, 0) << tally.report;
  }
};

// 800 trees in four CTest entries.
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
