#include "deploy/SealRecord.h"

#include <cstring>

#include "deploy/Layout.h"
#include "framework/Text.h"

namespace {

constexpr char kMagic[8] = {'Z', 'S', 'E', 'A', 'L', '/', '1', '\0'};

// Reads little-endian fields from the front of the data; every read checks what is left first.
class Fields {
 public:
  Fields(const unsigned char* data, std::size_t size) : at(data), left(size) {}

  bool Bytes(void* out, std::size_t count) {
    if (count > left) return false;
    std::memcpy(out, at, count);
    at += count;
    left -= count;
    return true;
  }
  template <typename Number>
  bool Read(Number& value) {
    unsigned char bytes[sizeof(Number)];
    if (!Bytes(bytes, sizeof(bytes))) return false;
    value = 0;
    for (std::size_t i = sizeof(bytes); i-- > 0;)
      value = static_cast<Number>(value << 8 | bytes[i]);
    return true;
  }
  bool AtEnd() const { return left == 0; }

 private:
  const unsigned char* at;
  std::size_t left;
};

// A name the installer can take as one entry of its folder: what Windows file names may hold,
// and short enough for a listing entry's 260-byte field. The characters are looked for by
// character: a trail byte 0x5C or 0x7C belongs to a double-byte character.
bool PlainName(const std::string& name) {
  if (name.empty() || name.size() >= kPathBufferSize || name == "." || name == "..") return false;
  for (unsigned char byte : name) {
    if (byte < 0x20) return false;
  }
  for (char forbidden : std::string("<>:\"/\\|?*")) {
    if (mbcs::FindLast(name, forbidden) != std::string::npos) return false;
  }
  return true;
}

}  // namespace

bool SealRecord::Read(const unsigned char* data, std::size_t size) {
  entries.clear();
  keys.clear();
  Fields fields(data, size);
  char magic[sizeof(kMagic)];
  std::uint32_t count = 0;
  if (!fields.Bytes(magic, sizeof(magic)) || std::memcmp(magic, kMagic, sizeof(kMagic)) != 0 ||
      !fields.Read(count))
    return false;
  std::vector<SealEntry> read;
  std::vector<std::string> folded;
  for (std::uint32_t i = 0; i < count; ++i) {
    SealEntry entry{};
    unsigned char folder = 0;
    std::uint16_t length = 0;
    if (!fields.Read(folder) || folder > static_cast<unsigned char>(SealFolder::Library) ||
        !fields.Read(length))
      return false;
    entry.folder = static_cast<SealFolder>(folder);
    entry.name.resize(length);
    if (!fields.Bytes(entry.name.data(), length) || !PlainName(entry.name) ||
        !fields.Read(entry.size) || !fields.Bytes(entry.digest.data(), entry.digest.size()))
      return false;
    std::string key = mbcs::ToLower(entry.name);
    for (std::size_t j = 0; j < read.size(); ++j) {
      if (read[j].folder == entry.folder && folded[j] == key) return false;
    }
    read.push_back(std::move(entry));
    folded.push_back(std::move(key));
  }
  if (!fields.AtEnd()) return false;
  entries = std::move(read);
  keys = std::move(folded);
  return true;
}

const SealEntry* SealRecord::Find(SealFolder folder, const std::string& name) const {
  const std::string key = mbcs::ToLower(name);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].folder == folder && keys[i] == key) return &entries[i];
  }
  return nullptr;
}
