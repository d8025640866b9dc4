// Text helpers for narrow strings in the system's ANSI code page (a double-byte code page on
// Chinese systems): every search steps over double-byte characters as wholes, so the second byte
// of a character such as 淺 (9C 5C) is never taken for a backslash.
#pragma once

#include <cstddef>
#include <string>

namespace mbcs {

// Position of the last character `ch` (a single-byte character), or npos.
std::size_t FindLast(const std::string& text, char ch);
// Whether `needle` occurs in `text` at a character boundary.
bool Contains(const std::string& text, const std::string& needle);
// Lower-cased copy: single-byte characters through the code page's table, double-byte ones
// through the locale's mapping.
std::string ToLower(const std::string& text);
// Equality without regard to case, character by character.
bool EqualsNoCase(const std::string& a, const std::string& b);
// Whether the last character (not merely the last byte) is a separator, "\\" or "/".
bool EndsWithSeparator(const std::string& text);
// Removes one trailing separator when the last character is one; returns whether it did.
bool RemoveTrailingSeparator(std::string& text);
// Whether a path is absolute: "X:\..." or "\\server\share...", with either separator, or
// "\\?\X:\..."; other device paths ("\\?\GLOBALROOT...", "\\?\Volume{...}", "\\?\UNC\...",
// "\\.\...") count as not.
bool IsAbsolutePath(const std::string& path);

}  // namespace mbcs

namespace framework {

// printf-style formatting into a string of any length, by the C runtime's rules (the compiler
// checks every call against them).
std::string FormatText(const char* format, ...) __attribute__((format(ms_printf, 1, 2)));

}  // namespace framework
