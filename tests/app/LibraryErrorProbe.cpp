// Linked with SetUp.exe's own throw helpers for libstdc++'s logic errors. Meets each kind of
// library logic error as a command handler would and exits with a bit per kind that reached a
// catch-all as something other than an HResultError, which is what the general error report
// shows as an internal error. Abort instead of a throw ends it with 3.
#include <string>
#include <vector>

#include "framework/ErrorReport.h"

namespace {

int ReachesCatchAll(void (*raise)()) {
  try {
    raise();
  } catch (const framework::HResultError&) {
    return 0;
  } catch (...) {
    return 1;
  }
  return 0;
}

}  // namespace

int main() {
  static const char* const nothing = nullptr;
  void (*const kinds[])() = {
      [] { static_cast<void>(std::string("ab").substr(3)); },       // out of range, formatted
      [] { static_cast<void>(std::vector<int>().at(0)); },          // out of range, formatted
      [] { std::string().reserve(std::string().max_size() + 1); },  // length error
      [] { static_cast<void>(std::string(nothing)); },              // logic error
  };
  int reached = 0;
  for (int i = 0; i < 4; ++i) reached |= ReachesCatchAll(kinds[i]) << i;
  return reached;
}
