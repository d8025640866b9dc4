// Functions of system DLLs that older systems (or Wine) lack are looked up at run time, never
// imported: an import the loader cannot resolve would stop the whole program before it starts.
#pragma once

#include <windows.h>

namespace framework {

// The address of `name` in an already loaded `module` ("kernel32.dll"), or null.
void* SystemFunctionAddress(HMODULE module, const char* name);
void* SystemFunctionAddress(const char* module, const char* name);

// The same, as a pointer of the function's own type: SystemFunction<decltype(&Name)>(...).
template <typename Function, typename Module>
Function SystemFunction(Module module, const char* name) {
  return reinterpret_cast<Function>(SystemFunctionAddress(module, name));
}

}  // namespace framework
