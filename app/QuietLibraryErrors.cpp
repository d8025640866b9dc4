// MinGW only. libstdc++'s helpers that throw its logic errors (length_error, out_of_range, ...)
// build their message in a copy-on-write string, and that drags both of its string
// implementations and std::random_device into the installer (about 55 KB). The installer reports
// every exception other than its own HResultError alike, with a fixed text and never the
// exception's message, so a plain exception of its own behaves the same. Code that comes to use
// another of the helpers makes the link fail on a duplicate definition: add that helper here.
#include <new>

#if defined(__GLIBCXX__)
namespace {

struct LibraryLogicError {};

}  // namespace

namespace std {

void __throw_bad_alloc() {
  throw bad_alloc();
}

void __throw_bad_array_new_length() {
  throw bad_array_new_length();
}

void __throw_length_error(const char*) {
  throw LibraryLogicError();
}

void __throw_logic_error(const char*) {
  throw LibraryLogicError();
}

void __throw_out_of_range_fmt(const char*, ...) {
  throw LibraryLogicError();
}

}  // namespace std
#endif
