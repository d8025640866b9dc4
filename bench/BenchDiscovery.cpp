// Host discovery against a bare RegEnumKeyExA walk of the same registry tree, in one process:
//   bench_discovery RUNS SIZE...
// Builds a tree of SIZE keys below HKLM\SOFTWARE\ZWSOFT (the four product keys, seven version
// keys each, then breadth-first subkeys with "Location" on some leaves), times both walks and
// removes the tree again. Prints medians, the time per key and the ratio at each size.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/BenchClock.h"
#include "host/HostRegistry.h"

HostRegistry theHostRegistry;

namespace {

const char kRoot[] = "SOFTWARE\\ZWSOFT";
const char* const kProducts[] = {"ZWCAD", "ZWCADA", "ZWCADM", "MEP"};
constexpr int kFanout = 8;
constexpr int kLocationEvery = 10;  // one leaf in this many holds "Location"

void Create(const std::string& path) {
  HKEY key = nullptr;
  // Volatile: the server never writes the tree to the prefix's files, so no save of a large
  // registry falls into a measurement.
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
    std::fprintf(stderr, "bench_discovery: cannot create %s\n", path.c_str());
    std::exit(1);
  }
  RegCloseKey(key);
}

// Builds the tree; returns its number of keys (product keys included) and of Location values.
int BuildTree(int size, int& locations) {
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kRoot);
  std::vector<std::string> keys;
  for (const char* product : kProducts) keys.push_back(std::string(kRoot) + "\\" + product);
  // Keys that take subkeys, in breadth-first order; the version keys first.
  std::vector<std::size_t> parents;
  for (const char* product : kProducts)
    for (int year = kFirstHostYear; year <= kLastHostYear && static_cast<int>(keys.size()) < size;
         ++year) {
      parents.push_back(keys.size());
      keys.push_back(std::string(kRoot) + "\\" + product + "\\" + std::to_string(year) + " SP1");
    }
  const std::size_t firstProfile = keys.size();
  std::vector<bool> hasChildren(keys.size(), false);
  for (std::size_t next = 0; static_cast<int>(keys.size()) < size; ++next) {
    const std::size_t parent = parents[next];
    for (int i = 0; i < kFanout && static_cast<int>(keys.size()) < size; ++i) {
      hasChildren[parent] = true;
      parents.push_back(keys.size());
      keys.push_back(keys[parent] + "\\profile" + std::to_string(i));
      hasChildren.push_back(false);
    }
  }
  Create(kRoot);
  for (const std::string& key : keys) Create(key);
  // Location only on leaves: discovery stops descending at a Location, the bare walk does not.
  locations = 0;
  int leaf = 0;
  for (std::size_t i = firstProfile; i < keys.size(); ++i) {
    if (hasChildren[i] || leaf++ % kLocationEvery) continue;
    HKEY key = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, keys[i].c_str(), 0, KEY_WRITE, &key);
    const std::string value = "C:\\Hosts\\" + std::to_string(i);
    RegSetValueExA(key, "Location", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    ++locations;
  }
  return static_cast<int>(keys.size());
}

// The least a search of every key must do: open it, enumerate its subkeys, close it.
int BareWalk(HKEY parent, const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, name, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  int visited = 1;
  char child[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = sizeof(child);
    if (RegEnumKeyExA(key, i, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    visited += BareWalk(key, child);
  }
  RegCloseKey(key);
  return visited;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench_discovery RUNS SIZE...\n");
    return 2;
  }
  const int runs = std::atoi(argv[1]);
  std::printf("discovery (DiscoverHosts vs bare RegEnumKeyExA walk), median of %d:\n", runs);
  std::printf("  %7s %10s %10s %12s %12s %7s\n", "keys", "discover", "bare", "discover/key",
              "bare/key", "ratio");
  for (int a = 2; a < argc; ++a) {
    int locations = 0;
    const int size = BuildTree(std::atoi(argv[a]), locations);
    std::vector<double> discover, bare;
    std::size_t found = 0;
    int walked = 0;
    for (int i = 0; i < runs + 1; ++i) {  // the first round only warms up
      const double t0 = Now();
      HostRegistry hosts;
      hosts.DiscoverHosts();
      const double t1 = Now();
      walked = 0;
      for (const char* product : kProducts)
        walked += BareWalk(HKEY_LOCAL_MACHINE, (std::string(kRoot) + "\\" + product).c_str());
      const double t2 = Now();
      found = 0;
      for (const TextList& list : hosts.locations) found += list.size();
      if (i == 0) continue;
      discover.push_back(t1 - t0);
      bare.push_back(t2 - t1);
    }
    if (walked != size || static_cast<int>(found) != locations) {
      std::fprintf(stderr, "bench_discovery: walked %d of %d keys, found %zu of %d locations\n",
                   walked, size, found, locations);
      return 1;
    }
    if (std::getenv("BENCH_SAMPLES")) {
      for (std::size_t i = 0; i < discover.size(); ++i)
        std::fprintf(stderr, "    %d: %.2f %.2f\n", size, discover[i], bare[i]);
    }
    const double d = Median(discover), b = Median(bare);
    std::printf("  %7d %8.2f ms %7.2f ms %9.2f us %9.2f us %7.2f\n", size, d, b, 1000 * d / size,
                1000 * b / size, d / b);
  }
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kRoot);
  return 0;
}
