#include "framework/Text.h"

#include <mbctype.h>
#include <mbstring.h>

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace mbcs {
namespace {

// The CRT's multibyte functions follow its own code page; make it the ANSI one once.
void UseAnsiCodePage() {
  static const bool done = [] {
    _setmbcp(_MB_CP_ANSI);
    return true;
  }();
  (void)done;
}

const unsigned char* Bytes(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.c_str());
}

}  // namespace

std::size_t FindLast(const std::string& text, char ch) {
  UseAnsiCodePage();
  const unsigned char* found = _mbsrchr(Bytes(text), static_cast<unsigned char>(ch));
  return found ? static_cast<std::size_t>(found - Bytes(text)) : std::string::npos;
}

bool Contains(const std::string& text, const std::string& needle) {
  UseAnsiCodePage();
  return _mbsstr(Bytes(text), Bytes(needle)) != nullptr;
}

std::string ToLower(const std::string& text) {
  UseAnsiCodePage();
  std::vector<unsigned char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  _mbslwr(buffer.data());
  return std::string(reinterpret_cast<const char*>(buffer.data()));
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
  UseAnsiCodePage();
  return _mbsicmp(Bytes(a), Bytes(b)) == 0;
}

bool EndsWithBackslash(const std::string& text) {
  return !text.empty() && FindLast(text, '\\') == text.size() - 1;
}

bool RemoveTrailingBackslash(std::string& text) {
  if (!EndsWithBackslash(text)) return false;
  text.pop_back();
  return true;
}

bool IsAbsolutePath(const std::string& path) {
  const auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  if (path.size() >= 3 && isLetter(path[0]) && path[1] == ':' && path[2] == '\\') return true;
  // "\\server\share": a server name and a share name, each non-empty.
  if (path.size() < 5 || path[0] != '\\' || path[1] != '\\') return false;
  UseAnsiCodePage();
  const unsigned char* server = Bytes(path) + 2;
  const unsigned char* slash = _mbschr(server, '\\');
  return slash != nullptr && slash > server && slash[1] != '\0';
}

}  // namespace mbcs

namespace framework {

std::string FormatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text;
  if (length > 0) {
    text.assign(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, again);
    text.resize(static_cast<std::size_t>(length));
  }
  va_end(again);
  return text;
}

}  // namespace framework
