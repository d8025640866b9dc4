#include "framework/ErrorReport.h"

#include "framework/Application.h"
#include "framework/Window.h"

namespace framework {

namespace {

void ShowReport(const std::string& text) {
  const std::string caption = ExecutableName();
  MessageBoxA(MessageOwner(), text.c_str(), caption.c_str(), MB_OK | MB_ICONSTOP);
}

}  // namespace

std::string SystemMessage(HRESULT code) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_SYS_DEFAULT),
      reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = length && text ? std::string(text, length) : kInternalError;
  if (text) LocalFree(text);
  return message;
}

void ReportError(HRESULT code) {
  ShowReport(SystemMessage(code));
}

void ReportCurrentException() noexcept {
  try {
    try {
      throw;
    } catch (const HResultError& error) {
      ReportError(error.Code());
    } catch (...) {
      ShowReport(kInternalError);
    }
  } catch (...) {
    // The report itself failed (it allocates): the same box without the texts it could not make.
    MessageBoxA(MessageOwner(), kInternalError, nullptr, MB_OK | MB_ICONSTOP);
  }
}

}  // namespace framework
