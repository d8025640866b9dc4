// Drives SetUp.exe from outside, as a user does, and times it against baselines in the same
// Wine session:
//   bench_driver startup RUNS SETUP_EXE BARE_EXE [PEER_EXE...]
//     launch -> first window, for the installer, the bare template and the peer installers;
//   bench_driver install RUNS SETUP_EXE TARGET XCOPY_TARGET [PEER_COPY PEER_PACKED PEER_TARGET
//   TIMES]
//     Install click -> success box, against xcopy copying what the installer copied and against
//     the peer installers run silently (start of their copy, written by their script to TIMES,
//     -> their completion box);
//   bench_driver once SETUP_EXE TARGET
//     one installation, left in place (what the peer's package is made of);
//   bench_driver compare RUNS BASELINE_EXE SETUP_EXE TARGET
//     installation of an earlier build and of this one, beside the same package, by turns;
//   bench_driver seal RUNS UNSEALED_EXE SEALED_EXE TARGET DATA
//     start-up and installation of the build's exe and of a sealed one, each beside the same
//     package, against a bare SHA-256 loop (CryptoAPI, as the sealed one hashes) over DATA.
// Prints medians in milliseconds and their ratios.
#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/BenchClock.h"
#include "res/resource.h"

namespace {

enum class Wanted { SetupDialog, OtherDialog, AnyWindow };

struct Search {
  DWORD process;
  Wanted wanted;
  HWND found;
};

BOOL CALLBACK Visit(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<Search*>(lParam);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->process || !IsWindowVisible(window)) return TRUE;
  if (search->wanted == Wanted::AnyWindow) {
    search->found = window;
    return FALSE;
  }
  char name[16] = {};
  GetClassNameA(window, name, sizeof(name));
  if (std::string(name) != "#32770") return TRUE;
  const bool setupDialog = GetDlgItem(window, IDC_INSTALL) != nullptr;
  if (setupDialog != (search->wanted == Wanted::SetupDialog)) return TRUE;
  search->found = window;
  return FALSE;
}

// A visible window of `process`. Polls for 60 s at most.
HWND WaitForWindow(DWORD process, Wanted wanted) {
  const double deadline = Now() + 60000;
  while (Now() < deadline) {
    Search search{process, wanted, nullptr};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    Sleep(1);
  }
  return nullptr;
}

struct Process {
  explicit Process(const std::string& commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    // Output (xcopy's count of files) goes nowhere: it is not what is measured.
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE null = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                              OPEN_EXISTING, 0, nullptr);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = null;
    std::string command = commandLine;
    started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                             &startup, &info) != FALSE;
    if (null != INVALID_HANDLE_VALUE) CloseHandle(null);
  }
  ~Process() {
    if (!started) return;
    if (WaitForSingleObject(info.hProcess, 30000) != WAIT_OBJECT_0)
      TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }
  bool started = false;
  PROCESS_INFORMATION info{};
};

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "bench_driver: %s\n", what);
  std::exit(1);
}

// Launch -> first visible window; the setup dialog for our programs, any window for a peer.
double TimeStartup(const std::string& exe, Wanted wanted) {
  const double start = Now();
  Process process("\"" + exe + "\"");
  if (!process.started) Fail("cannot start the program");
  HWND window = WaitForWindow(process.info.dwProcessId, wanted);
  const double elapsed = Now() - start;
  if (!window) Fail("no window appeared");
  PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
  if (WaitForSingleObject(process.info.hProcess, 10000) != WAIT_OBJECT_0)
    TerminateProcess(process.info.hProcess, 1);
  return elapsed;
}

void RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA entry;
  HANDLE listing = FindFirstFileA((path + "\\*").c_str(), &entry);
  if (listing != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      const std::string child = path + "\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(child.c_str());
      }
    } while (FindNextFileA(listing, &entry));
    FindClose(listing);
  }
  RemoveDirectoryA(path.c_str());
}

// Files and bytes below a folder.
void Measure(const std::string& path, int& files, double& bytes) {
  WIN32_FIND_DATAA entry;
  HANDLE listing = FindFirstFileA((path + "\\*").c_str(), &entry);
  if (listing == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = entry.cFileName;
    if (name == "." || name == "..") continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      Measure(path + "\\" + name, files, bytes);
    } else {
      ++files;
      bytes += static_cast<double>(entry.nFileSizeHigh) * 4294967296.0 + entry.nFileSizeLow;
    }
  } while (FindNextFileA(listing, &entry));
  FindClose(listing);
}

double TimeInstall(const std::string& exe, const std::string& target) {
  RemoveTree(target);
  CreateDirectoryA(target.c_str(), nullptr);
  Process process("\"" + exe + "\"");
  if (!process.started) Fail("cannot start the installer");
  HWND dialog = WaitForWindow(process.info.dwProcessId, Wanted::SetupDialog);
  if (!dialog) Fail("no setup dialog appeared");
  SetDlgItemTextA(dialog, IDC_PATH, target.c_str());
  const double start = Now();
  PostMessageA(GetDlgItem(dialog, IDC_INSTALL), BM_CLICK, 0, 0);
  // A box disables its owner, the dialog: until then the driver polls that one cheap call, so
  // that it takes as little as it can from the copy it is timing (a window search takes a share
  // of a core when repeated every millisecond).
  const double deadline = start + 60000;
  while (IsWindowEnabled(dialog) && Now() < deadline) Sleep(1);
  HWND box = WaitForWindow(process.info.dwProcessId, Wanted::OtherDialog);
  const double elapsed = Now() - start;
  if (!box) Fail("no message box after Install");
  char text[256] = {};
  GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  // The success box is the only one that ends the process; any other one is a failed run.
  if (WaitForSingleObject(process.info.hProcess, 30000) != WAIT_OBJECT_0)
    Fail("the installer did not end after its box (not the success box?)");
  return elapsed;
}

double TimeXcopy(const std::string& from, const std::string& to) {
  RemoveTree(to);
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  const double start = Now();
  {
    Process xcopy("\"" + std::string(system) + "\\xcopy.exe\" /E /I /Q /Y \"" + from + "\" \"" +
                  to + "\"");
    if (!xcopy.started) Fail("cannot start xcopy");
    WaitForSingleObject(xcopy.info.hProcess, INFINITE);
  }
  return Now() - start;
}

// A peer installer run silently into `target`. Returns the time from the start of its copy (the
// counter its script writes to `times`) to its completion box, as SetUp.exe is timed; `total`
// receives launch -> exit, the box answered at once.
double TimePeer(const std::string& exe, const std::string& target, const std::string& times,
                double& total) {
  RemoveTree(target);
  DeleteFileA(times.c_str());
  const double start = Now();
  double boxShown = 0;
  {
    // NSIS takes /D= last and unquoted.
    Process peer("\"" + exe + "\" /S /D=" + target);
    if (!peer.started) Fail("cannot start the peer installer");
    // Silent, it waits for input first in its box: no window search while it copies.
    WaitForInputIdle(peer.info.hProcess, 60000);
    HWND box = WaitForWindow(peer.info.dwProcessId, Wanted::AnyWindow);
    boxShown = Now();
    if (!box) Fail("the peer showed no completion box");
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    if (WaitForSingleObject(peer.info.hProcess, 30000) != WAIT_OBJECT_0)
      Fail("the peer did not end after its box");
  }
  total = Now() - start;
  long long first = 0;
  FILE* file = std::fopen(times.c_str(), "r");
  const bool read = file && std::fscanf(file, "%lld", &first) == 1;
  if (file) std::fclose(file);
  if (!read) Fail("the peer installer wrote no start time");
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return boxShown - 1000.0 * static_cast<double>(first) / static_cast<double>(frequency.QuadPart);
}

// One figure: its runs' median beside the floor's.
struct Row {
  const char* name;
  std::vector<double> runs;
};

void PrintRows(const std::vector<Row>& rows, double bytes, const char* against) {
  const double floor = Median(rows.back().runs);
  for (const Row& row : rows) {
    const double median = Median(row.runs);
    std::printf("  %-34s %8.1f ms", row.name, median);
    if (bytes > 0) std::printf(" (%4.0f MB/s)", bytes / 1e3 / median);
    if (&row != &rows.back()) std::printf("  %.2fx %s", median / floor, against);
    std::printf("\n");
  }
}

int Startup(int runs, const std::string& setup, const std::string& bare,
            const std::vector<std::string>& peers) {
  std::vector<Row> rows{{"SetUp.exe", {}}};
  for (std::size_t i = 0; i < peers.size(); ++i)
    rows.push_back({i == 0 ? "peer, CopyFiles form (stub)" : "peer, packed form", {}});
  rows.push_back({"bare DialogBoxParamA exe", {}});
  std::vector<std::pair<std::string, Wanted>> programs{{setup, Wanted::SetupDialog}};
  for (const std::string& peer : peers) programs.push_back({peer, Wanted::AnyWindow});
  programs.push_back({bare, Wanted::SetupDialog});
  for (const auto& program : programs) TimeStartup(program.first, program.second);  // warm-up
  for (int i = 0; i < runs; ++i) {
    for (std::size_t p = 0; p < programs.size(); ++p)
      rows[p].runs.push_back(TimeStartup(programs[p].first, programs[p].second));
  }
  std::printf("start-up (launch -> first window visible), median of %d:\n", runs);
  PrintRows(rows, 0, "bare");
  if (peers.size() > 0) {
    std::printf("  SetUp.exe / peer: %.2f (CopyFiles form)",
                Median(rows[0].runs) / Median(rows[1].runs));
    if (peers.size() > 1)
      std::printf(", %.2f (packed form)", Median(rows[0].runs) / Median(rows[2].runs));
    std::printf("\n");
  }
  return 0;
}

struct Peers {
  std::string copyForm, packedForm, target, times;
};

// Fails unless `folder` holds what `reference` holds (files and bytes).
void CheckSame(const std::string& reference, const std::string& folder, const char* what) {
  int files = 0, other = 0;
  double bytes = 0, otherBytes = 0;
  Measure(reference, files, bytes);
  Measure(folder, other, otherBytes);
  if (files != other || bytes != otherBytes) Fail(what);
}

int Install(int runs, const std::string& setup, const std::string& target,
            const std::string& copyTarget, const Peers* peers) {
  std::vector<Row> rows{{"SetUp.exe (Install -> success box)", {}}};
  std::vector<double> copyTotal, packedTotal;
  if (peers) {
    rows.push_back({"peer, CopyFiles form", {}});
    rows.push_back({"peer, packed form", {}});
  }
  rows.push_back({"xcopy of the installed files", {}});
  const std::string product = target + "\\Zantrel";
  // One untimed round first: the first run of each program pays for the prefix's cold caches.
  TimeInstall(setup, target);
  double total = 0;
  if (peers) {
    TimePeer(peers->copyForm, peers->target, peers->times, total);
    TimePeer(peers->packedForm, peers->target, peers->times, total);
  }
  TimeXcopy(product, copyTarget);
  for (int i = 0; i < runs; ++i) {
    rows[0].runs.push_back(TimeInstall(setup, target));
    if (peers) {
      rows[1].runs.push_back(TimePeer(peers->copyForm, peers->target, peers->times, total));
      copyTotal.push_back(total);
      if (i == 0) CheckSame(product, peers->target + "\\Zantrel", "the peer (CopyFiles) differs");
      rows[2].runs.push_back(TimePeer(peers->packedForm, peers->target, peers->times, total));
      packedTotal.push_back(total);
      if (i == 0) CheckSame(product, peers->target + "\\Zantrel", "the peer (packed) differs");
    }
    rows.back().runs.push_back(TimeXcopy(product, copyTarget));
  }
  CheckSame(product, copyTarget, "xcopy did not copy what the installer did");
  int files = 0;
  double bytes = 0;
  Measure(product, files, bytes);
  std::printf(
      "installation (start of the copy -> completion box; xcopy: launch -> exit), median of %d:\n",
      runs);
  std::printf("  installed: %d files, %.1f MB\n", files, bytes / 1e6);
  PrintRows(rows, bytes, "xcopy");
  if (peers) {
    const double ours = Median(rows[0].runs);
    std::printf("  SetUp.exe / peer: %.2f (CopyFiles form), %.2f (packed form)\n",
                ours / Median(rows[1].runs), ours / Median(rows[2].runs));
    std::printf(
        "  peer launch -> exit, silent, box answered at once: %.1f ms (CopyFiles form),"
        " %.1f ms (packed form)\n",
        Median(copyTotal), Median(packedTotal));
    RemoveTree(peers->target);
  }
  RemoveTree(copyTarget);
  RemoveTree(target);
  return 0;
}

// SHA-256 of every file below `folder`, read in 1 MiB blocks through the system's CryptoAPI, as
// a sealed installer reads what it checks. Returns the bytes hashed.
double HashTree(HCRYPTPROV provider, const std::string& folder, std::vector<BYTE>& block) {
  double bytes = 0;
  WIN32_FIND_DATAA entry;
  HANDLE listing = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (listing == INVALID_HANDLE_VALUE) return 0;
  do {
    const std::string name = entry.cFileName, path = folder + "\\" + name;
    if (name == "." || name == "..") continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      bytes += HashTree(provider, path, block);
      continue;
    }
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    HCRYPTHASH hash = 0;
    if (file == INVALID_HANDLE_VALUE || !CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash))
      Fail("cannot hash a package file");
    DWORD read = 0;
    while (ReadFile(file, block.data(), static_cast<DWORD>(block.size()), &read, nullptr) && read)
      CryptHashData(hash, block.data(), read, 0), bytes += read;
    BYTE digest[32];
    DWORD length = sizeof(digest);
    CryptGetHashParam(hash, HP_HASHVAL, digest, &length, 0);
    CryptDestroyHash(hash);
    CloseHandle(file);
  } while (FindNextFileA(listing, &entry));
  FindClose(listing);
  return bytes;
}

int Seal(int runs, const std::string& unsealed, const std::string& sealed,
         const std::string& target, const std::string& data) {
  HCRYPTPROV provider = 0;
  if (!CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
    Fail("no SHA-256 provider");
  std::vector<BYTE> block(1 << 20);
  std::vector<Row> startup{{"unsealed SetUp.exe", {}}, {"sealed SetUp.exe", {}}};
  std::vector<Row> install{{"unsealed SetUp.exe", {}},
                           {"sealed SetUp.exe", {}},
                           {"bare SHA-256 loop over the package", {}}};
  double bytes = 0;
  // One untimed round first (cold caches), then the two alternate, which goes first by turns:
  // a start right after another program's exit, or an installation right after another's writes,
  // pays for them.
  for (int i = -1; i < runs; ++i) {
    const bool sealedFirst = i % 2 != 0;
    double up[2], in[2];
    for (int k = 0; k < 2; ++k) {
      const int which = sealedFirst ? 1 - k : k;
      up[which] = TimeStartup(which ? sealed : unsealed, Wanted::SetupDialog);
    }
    for (int k = 0; k < 2; ++k) {
      const int which = sealedFirst ? 1 - k : k;
      in[which] = TimeInstall(which ? sealed : unsealed, target);
    }
    const double start = Now();
    bytes = HashTree(provider, data, block);
    const double loop = Now() - start;
    if (i < 0) continue;
    for (int which = 0; which < 2; ++which) {
      startup[which].runs.push_back(up[which]);
      install[which].runs.push_back(in[which]);
    }
    install[2].runs.push_back(loop);
  }
  CryptReleaseContext(provider, 0);
  RemoveTree(target);
  const double up = Median(startup[1].runs) / Median(startup[0].runs);
  const double extra = Median(install[1].runs) - Median(install[0].runs);
  const double loop = Median(install[2].runs);
  std::printf("seal, same package beside both (%.1f MB hashed), median of %d:\n", bytes / 1e6,
              runs);
  std::printf("  start-up: unsealed %.1f ms, sealed %.1f ms: %.2fx (goal 1.05x: %s)\n",
              Median(startup[0].runs), Median(startup[1].runs), up, up <= 1.05 ? "met" : "MISSED");
  std::printf("  installation: unsealed %.1f ms, sealed %.1f ms, bare SHA-256 loop %.1f ms\n",
              Median(install[0].runs), Median(install[1].runs), loop);
  std::printf("  sealed - unsealed %.1f ms = %.2fx the bare loop (goal 1.25x: %s)\n", extra,
              extra / loop, extra <= 1.25 * loop ? "met" : "MISSED");
  return 0;
}

// Installation of an earlier build against this one, beside the same package, by turns.
int Compare(int runs, const std::string& baseline, const std::string& setup,
            const std::string& target) {
  std::vector<double> times[2];
  for (int i = -1; i < runs; ++i) {
    for (int k = 0; k < 2; ++k) {
      const int which = i % 2 != 0 ? 1 - k : k;
      const double time = TimeInstall(which ? setup : baseline, target);
      if (i >= 0) times[which].push_back(time);
    }
  }
  RemoveTree(target);
  const double ratio = Median(times[1]) / Median(times[0]);
  std::printf("installation beside an earlier build (BASELINE_EXE), median of %d:\n", runs);
  std::printf("  earlier %.1f ms, this build %.1f ms: %.2fx (goal 1.1x: %s)\n", Median(times[0]),
              Median(times[1]), ratio, ratio <= 1.1 ? "met" : "MISSED");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "startup" && argc >= 5)
    return Startup(std::atoi(argv[2]), argv[3], argv[4],
                   std::vector<std::string>(argv + 5, argv + argc));
  if (mode == "install" && argc == 6)
    return Install(std::atoi(argv[2]), argv[3], argv[4], argv[5], nullptr);
  if (mode == "install" && argc == 10) {
    const Peers peers{argv[6], argv[7], argv[8], argv[9]};
    return Install(std::atoi(argv[2]), argv[3], argv[4], argv[5], &peers);
  }
  if (mode == "seal" && argc == 7)
    return Seal(std::atoi(argv[2]), argv[3], argv[4], argv[5], argv[6]);
  if (mode == "compare" && argc == 6) return Compare(std::atoi(argv[2]), argv[3], argv[4], argv[5]);
  if (mode == "once" && argc == 4) {
    TimeInstall(argv[2], argv[3]);
    return 0;
  }
  std::fprintf(stderr,
               "usage: bench_driver startup RUNS SETUP_EXE BARE_EXE [PEER_EXE...]\n"
               "       bench_driver install RUNS SETUP_EXE TARGET XCOPY_TARGET"
               " [PEER_COPY PEER_PACKED PEER_TARGET TIMES]\n"
               "       bench_driver once SETUP_EXE TARGET\n"
               "       bench_driver seal RUNS UNSEALED_EXE SEALED_EXE TARGET DATA\n"
               "       bench_driver compare RUNS BASELINE_EXE SETUP_EXE TARGET\n");
  return 2;
}
