// MinGW only. libstdc++'s default terminate handler prints the uncaught exception's demangled
// type to stderr before aborting; it drags the whole demangler (about 45 KB) into the installer.
// A GUI process has no stderr to print to, so aborting at once behaves the same.
#include <cstdlib>

#if defined(__GLIBCXX__)
namespace __gnu_cxx {

void __verbose_terminate_handler() {
  std::abort();
}

}  // namespace __gnu_cxx
#endif
