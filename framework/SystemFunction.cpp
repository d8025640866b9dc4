#include "framework/SystemFunction.h"

namespace framework {

void* SystemFunctionAddress(HMODULE module, const char* name) {
  return module ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
}

void* SystemFunctionAddress(const char* module, const char* name) {
  return SystemFunctionAddress(GetModuleHandleA(module), name);
}

}  // namespace framework
