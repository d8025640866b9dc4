#include <gtest/gtest.h>

#include "framework/Text.h"

namespace {

// 淺 is 9C 5C in code page 936: its second byte is the backslash's.
const std::string kTrail5C = "淺";

TEST(TextHelpers, DoubleByteTrailIsNeverABackslash) {
  ASSERT_EQ(kTrail5C, "\x9C\x5C");
  const std::string folder = "C:\\安装" + kTrail5C;
  EXPECT_EQ(mbcs::FindLast(folder, '\\'), 2u);
  EXPECT_FALSE(mbcs::Contains(kTrail5C + "x", "\\x"));
  EXPECT_EQ(mbcs::FindLast(kTrail5C, '\\'), std::string::npos);
}

// One trailing separator goes, "\\" or "/", by character: a trail byte 0x5C stays.
TEST(TextHelpers, OneTrailingSeparatorIsRemoved) {
  const struct {
    std::string typed;
    bool removed;
    std::string kept;
  } cases[] = {
      {"C:\\安装" + kTrail5C, false, "C:\\安装" + kTrail5C},
      {"C:\\安装" + kTrail5C + "\\", true, "C:\\安装" + kTrail5C},
      {"C:\\安装" + kTrail5C + "/", true, "C:\\安装" + kTrail5C},
      {"C:/Quorel/", true, "C:/Quorel"},
      {"D:\\Tools\\\\", true, "D:\\Tools\\"},
      {"D:\\Tools//", true, "D:\\Tools/"},
      {"D:\\Tools/\\", true, "D:\\Tools/"},
      {"D:\\", true, "D:"},
      {"", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    std::string text = c.typed;
    EXPECT_EQ(mbcs::EndsWithSeparator(c.typed), c.removed);
    EXPECT_EQ(mbcs::RemoveTrailingSeparator(text), c.removed);
    EXPECT_EQ(text, c.kept);
  }
}

TEST(TextHelpers, CaseFoldingWorksByCharacter) {
  EXPECT_EQ(mbcs::ToLower("C:\\ZWCAD\\ZwCad.EXE"), "c:\\zwcad\\zwcad.exe");
  EXPECT_EQ(mbcs::ToLower("中望CAD" + kTrail5C + "AB"), "中望cad" + kTrail5C + "ab");
  EXPECT_TRUE(mbcs::EqualsNoCase("SetUp.EXE", "setup.exe"));
  EXPECT_TRUE(mbcs::EqualsNoCase("quorel_hz.SHX", "Quorel_HZ.shx"));
  EXPECT_FALSE(mbcs::EqualsNoCase("SetUp.EXE", "SetUp.EX"));
  // Two different characters whose trail bytes are 'A' and 'a'.
  const std::string upperTrail = "\x81\x41", lowerTrail = "\x81\x61";
  EXPECT_EQ(mbcs::ToLower(upperTrail), upperTrail);
  EXPECT_FALSE(mbcs::EqualsNoCase(upperTrail + ".shx", lowerTrail + ".shx"));
  EXPECT_FALSE(mbcs::Contains(upperTrail, "A"));
  EXPECT_TRUE(mbcs::Contains(mbcs::ToLower("MY_ZWCAD.EXE.BAK"), "zwcad.exe"));
  EXPECT_TRUE(mbcs::Contains("Quorel扩展绘图库", "扩展绘图库"));
}

TEST(TextHelpers, AbsolutePaths) {
  // Either separator, as Windows takes them.
  for (const char* path : {"C:\\Quorel", "d:\\", "\\\\server\\share", "\\\\server\\share\\x",
                           "C:/Quorel", "d:/", "//server/share", "\\\\server/share",
                           "/\\server\\share", "\\\\?\\C:\\Quorel", "\\\\?\\d:\\", "\\\\?x\\share"})
    EXPECT_TRUE(mbcs::IsAbsolutePath(path)) << path;
  for (const char* path :
       {"", "Quorel", "D:Quorel", "D:", "\\Quorel", "\\\\server", "\\\\server\\", "\\\\\\share",
        "1:\\x", "/Quorel", "D:Quorel/x", "//server", "//server/", "///share", "//淺x",
        // Device paths other than a drive's, as the checks on the way cannot follow them.
        "\\\\?\\GLOBALROOT\\??\\C:\\Quorel", "\\\\.\\GLOBALROOT\\??\\C:\\Quorel",
        "\\\\?\\Volume{01234567-89ab-cdef-0123-456789abcdef}\\Quorel", "\\\\.\\C:\\Quorel",
        "\\\\?\\UNC\\server\\share", "//?/C:/Quorel", "\\\\?\\C:/Quorel",
        "\\\\?\\C:", "//./C:/Quorel"})
    EXPECT_FALSE(mbcs::IsAbsolutePath(path)) << path;
}

// The shapes the installer formats (text and a number), with double-byte text in the format and
// in the argument, the empty result, and no length limit.
TEST(TextHelpers, FormatTextKeepsEveryByte) {
  const std::string longText(1000, 'x');
  struct Case {
    const char* format;
    std::string text;
    int number;
    std::string expected;
  };
  const Case cases[] = {
      {"%s\\Quorel%d.ZRX", "D:\\工具\\Zantrel", 2021, "D:\\工具\\Zantrel\\Quorel2021.ZRX"},
      {"拷贝文件 %s 失败%d", "C:\\表\\功能.dll", 1, "拷贝文件 C:\\表\\功能.dll 失败1"},
      {"%s%d%%", "", -5, "-5%"},
      {"%s", "", 0, ""},
      {"%s\\%d", longText, 7, longText + "\\7"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(framework::FormatText(c.format, c.text.c_str(), c.number), c.expected) << c.format;
  EXPECT_EQ(framework::FormatText("V%d.0%d", 2026, 8), "V2026.08");
}

}  // namespace
