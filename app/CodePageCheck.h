// Every text, path and pattern of the installer is code page 936 bytes in narrow calls. A process
// whose code page is another one would read them wrongly (a library skipped silently, a caption of
// question marks), so it stops at start-up and says why in words any system can show.
#pragma once

inline constexpr unsigned kInstallerCodePage = 936;

inline constexpr wchar_t kCodePageCaption[] = L"Zantrel安装";
inline constexpr wchar_t kCodePageText[] =
    L"本安装程序需要简体中文代码页 (936)。请将“非 Unicode 程序的语言”设为“中文(简体，中国)”，"
    L"然后重新运行。\n\n"
    L"This installer needs the Simplified Chinese code page (936). Set the language for "
    L"non-Unicode programs to Chinese (Simplified, China), then run it again.";

// True when the process's ANSI code page is 936. Otherwise shows the stop box above (UTF-16,
// no owner) and returns false: the installer then ends with nothing done.
bool CheckProcessCodePage();
