// The general error report: an error that escapes a command handler is shown as a stop box with
// the system's text for its code, captioned with the executable's name.
#pragma once

#include <windows.h>

#include <string>

namespace framework {

// The report's text for an error that is not an HRESULT, or a code the system has no text for.
inline constexpr char kInternalError[] = "内部应用程序出错。";

class HResultError {
 public:
  explicit HResultError(HRESULT code) : code(code) {}
  HRESULT Code() const { return code; }

 private:
  HRESULT code;
};

// The system's message text for a code, or the generic internal-error text when it has none.
std::string SystemMessage(HRESULT code);
// Shows the report for a code.
void ReportError(HRESULT code);
// Shows the report for the exception being handled; call only inside a catch block. Never
// throws: it runs inside the dialog procedure.
void ReportCurrentException() noexcept;

}  // namespace framework
