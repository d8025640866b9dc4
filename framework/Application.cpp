#include "framework/Application.h"

#include <commctrl.h>

#include "framework/SystemFunction.h"
#include "framework/Text.h"

namespace framework {
namespace {

CApplication* theCurrent = nullptr;

}  // namespace

CApplication::CApplication() {
  theCurrent = this;
}

CApplication::~CApplication() {
  if (theCurrent == this) theCurrent = nullptr;
}

CApplication* CApplication::Current() {
  return theCurrent;
}

const CApplication::Command* CApplication::Commands(std::size_t& count) const {
  count = 0;
  return nullptr;
}

bool CApplication::RouteCommand(int id) {
  std::size_t count = 0;
  const Command* table = Commands(count);
  for (std::size_t i = 0; i < count; ++i) {
    if (table[i].id == id) {
      table[i].handler(*this);
      return true;
    }
  }
  return false;
}

void CApplication::OnHelp(CApplication&) {}

void RestrictDllSearch() {
  auto setDefault =
      SystemFunction<BOOL(WINAPI*)(DWORD)>("kernel32.dll", "SetDefaultDllDirectories");
  if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryA("");
}

void TrustOnlyAdministratorRedirections() {
  // PROCESS_MITIGATION_REDIRECTION_TRUST_POLICY, newer than the headers: EnforceRedirectionTrust.
  constexpr int kRedirectionTrustPolicy = 16;
  DWORD flags = 1;
  auto set = SystemFunction<BOOL(WINAPI*)(int, PVOID, SIZE_T)>("kernel32.dll",
                                                               "SetProcessMitigationPolicy");
  if (set) set(kRedirectionTrustPolicy, &flags, sizeof(flags));
}

bool LoadCommonControls() {
  static bool loaded = false;
  if (loaded) return true;
  char system[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryA(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  const std::string path = std::string(system) + "\\comctl32.dll";
  HMODULE comctl = LoadLibraryA(path.c_str());
  if (!comctl) return false;
  auto init = SystemFunction<decltype(&InitCommonControlsEx)>(comctl, "InitCommonControlsEx");
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
  loaded = init && init(&controls);
  return loaded;
}

std::string ExecutableName() {
  char buffer[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH + 1);
  std::string name(buffer, length <= MAX_PATH ? length : 0);
  const std::size_t slash = mbcs::FindLast(name, '\\');
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const std::size_t dot = mbcs::FindLast(name, '.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

int RunApplication() {
  RestrictDllSearch();
  TrustOnlyAdministratorRedirections();
  LoadCommonControls();
  CApplication* app = CApplication::Current();
  if (!app || !app->InitInstance()) return 0;
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace framework
