#include "framework/Text.h"

#include <mbctype.h>
#include <mbstring.h>
#include <windows.h>

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

// Bytes of the character at `i`: 2 for a lead byte followed by a trail byte, else 1.
std::size_t CharLength(const std::string& text, std::size_t i) {
  const bool lead = IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(text[i])) != FALSE;
  return lead && i + 1 < text.size() ? 2 : 1;
}

}  // namespace

// Every search walks character by character: a lead byte and its trail byte are one step.
std::size_t FindLast(const std::string& text, char ch) {
  std::size_t found = std::string::npos;
  for (std::size_t i = 0; i < text.size(); i += CharLength(text, i)) {
    if (text[i] == ch) found = i;
  }
  return found;
}

bool Contains(const std::string& text, const std::string& needle) {
  if (needle.empty()) return true;
  for (std::size_t i = 0; i + needle.size() <= text.size(); i += CharLength(text, i)) {
    if (text.compare(i, needle.size(), needle) == 0) return true;
  }
  return false;
}

std::string ToLower(const std::string& text) {
  UseAnsiCodePage();
  std::vector<unsigned char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  _mbslwr(buffer.data());
  return std::string(reinterpret_cast<const char*>(buffer.data()));
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
  // Through the same folding as ToLower, so that a trail byte in 'A'..'Z' is never folded.
  return a.size() == b.size() && ToLower(a) == ToLower(b);
}

bool EndsWithSeparator(const std::string& text) {
  // "/" is never the second byte of a character; "\\" may be.
  return !text.empty() && (text.back() == '/' || FindLast(text, '\\') == text.size() - 1);
}

bool RemoveTrailingSeparator(std::string& text) {
  if (!EndsWithSeparator(text)) return false;
  text.pop_back();
  return true;
}

bool IsAbsolutePath(const std::string& path) {
  const auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  // Windows takes "/" for a separator as well ("/" is never the second byte of a character).
  const auto isSeparator = [](char c) { return c == '\\' || c == '/'; };
  const auto isDrive = [&](std::size_t at) {
    return path.size() >= at + 3 && isLetter(path[at]) && path[at + 1] == ':';
  };
  if (isDrive(0) && isSeparator(path[2])) return true;
  if (path.size() < 5 || !isSeparator(path[0]) || !isSeparator(path[1])) return false;
  // A device path: "\\?\" or "\\.\", with either separator. Only a drive's, written exactly.
  if ((path[2] == '?' || path[2] == '.') && isSeparator(path[3]))
    return path.rfind("\\\\?\\", 0) == 0 && isDrive(4) && path[6] == '\\';
  // "\\server\share": a server name and a share name, each non-empty.
  for (std::size_t i = 2; i < path.size(); i += CharLength(path, i)) {
    if (isSeparator(path[i])) return i > 2 && i + 1 < path.size();
  }
  return false;
}

}  // namespace mbcs

namespace framework {

std::string FormatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  // The C runtime's own formatting: std::vsnprintf would bring MinGW's printf (about 20 KB) along
  // for nothing but %s and %d.
  const int length = _vscprintf(format, args);
  va_end(args);
  std::string text;
  if (length > 0) {
    text.assign(static_cast<std::size_t>(length) + 1, '\0');
    _vsnprintf(text.data(), text.size(), format, again);
    text.resize(static_cast<std::size_t>(length));
  }
  va_end(again);
  return text;
}

}  // namespace framework
