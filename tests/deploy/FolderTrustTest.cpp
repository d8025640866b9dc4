// Who may change a folder, judged from descriptors written as SDDL and built in memory (Wine keeps
// no real access lists on its files), and the list that takes the others' rights away.
#include <windows.h>
#include <sddl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "deploy/FolderSecurity.h"

namespace {

const char kUser[] = "S-1-5-21-1-2-3-1001";
const char kOtherUser[] = "S-1-5-21-1-2-3-1002";
const char kTrustedInstaller[] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// What the system allocated with LocalAlloc, freed with the object.
class Local {
 public:
  Local() = default;
  ~Local() { LocalFree(value); }
  Local(const Local&) = delete;
  Local& operator=(const Local&) = delete;
  void* Get() const { return value; }

 protected:
  void* value = nullptr;
};

// A self-relative descriptor from SDDL (null when the text does not parse).
struct Sd : Local {
  explicit Sd(const std::string& sddl) {
    ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &value,
                                                         nullptr);
  }
};

struct Sid : Local {
  explicit Sid(const char* text) { ConvertStringSidToSidA(text, &value); }
};

// A list in SDDL as the system spells it, so that two lists compare however they were written.
std::string Spelled(PACL acl) {
  SECURITY_DESCRIPTOR sd;
  InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
  char* text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorA(
          &sd, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr))
    return "unreadable";
  const std::string spelled = text;
  LocalFree(text);
  return spelled;
}

std::string SpelledOf(const std::string& sddl) {
  const Sd sd(sddl);
  BOOL present = FALSE, defaulted = FALSE;
  PACL acl = nullptr;
  GetSecurityDescriptorDacl(sd.Get(), &present, &acl, &defaulted);
  return Spelled(acl);
}

struct TrustCase {
  const char* what;
  std::string sddl;
  bool volumeRoot;
  FolderTrust expected;
};

TEST(FolderTrust, OwnersAndRightsOfOthersOnTheFolderItself) {
  const std::string root = "D:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)";
  const TrustCase cases[] = {
      {"the installer's own list", kOwnFolderSddl, false, FolderTrust::Trusted},
      {"admin-only and protected", "O:SYD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", false,
       FolderTrust::Trusted},
      {"made below C:\\ by an administrator: Authenticated Users Modify inherited",
       "O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)"
       "(A;OICIID;0x1301bf;;;AU)",
       false, FolderTrust::TooOpen},
      {"C:\\ itself: add folder for everyone, Modify inherit-only",
       "O:" + std::string(kTrustedInstaller) + root + "(A;OICIIO;SDGXGWGR;;;AU)(A;;0x4;;;AU)", true,
       FolderTrust::Trusted},
      {"the root's add-folder right on an ordinary folder", "O:SY" + root + "(A;;0x4;;;AU)", false,
       FolderTrust::TooOpen},
      {"delete child at the root", "O:SY" + root + "(A;;0x40;;;AU)", true, FolderTrust::TooOpen},
      {"change permissions at the root", "O:SY" + root + "(A;;WD;;;BU)", true,
       FolderTrust::TooOpen},
      {"another user as owner", "O:" + std::string(kOtherUser) + "D:P(A;OICI;FA;;;SY)", false,
       FolderTrust::ForeignOwner},
      {"no owner at all", "D:P(A;OICI;FA;;;SY)", false, FolderTrust::ForeignOwner},
      {"the installing user owns it and has full control",
       "O:" + std::string(kUser) + "D:(A;OICI;FA;;;" + kUser + ")", false, FolderTrust::Trusted},
      {"another user has full control", "O:BAD:(A;;FA;;;" + std::string(kOtherUser) + ")", false,
       FolderTrust::TooOpen},
      {"Users read", "O:BA" + root, false, FolderTrust::Trusted},
      {"Users full control with a deny for every write first",
       "O:BAD:(D;;0xd0046;;;BU)(A;;FA;;;BU)", false, FolderTrust::Trusted},
      {"a deny for everyone covers Authenticated Users", "O:BAD:(D;;0xd0046;;;WD)(A;;FA;;;AU)",
       false, FolderTrust::Trusted},
      {"a deny after the allow comes too late", "O:BAD:(A;;FA;;;BU)(D;;0xd0046;;;BU)", false,
       FolderTrust::TooOpen},
      {"a deny for another account does not count", "O:BAD:(D;;0xd0046;;;BU)(A;;FA;;;AU)", false,
       FolderTrust::TooOpen},
      {"a deny that leaves delete", "O:BAD:(D;;0xc0046;;;BU)(A;;FA;;;BU)", false,
       FolderTrust::TooOpen},
      {"generic write on the folder", "O:BAD:(A;;GW;;;BU)", false, FolderTrust::TooOpen},
      {"generic all for the creator, inherit-only", "O:BAD:(A;OICIIO;GA;;;CO)", false,
       FolderTrust::Trusted},
      {"write attributes and extended attributes only", "O:BAD:(A;;0x120199;;;BU)", false,
       FolderTrust::Trusted},
      {"an empty list", "O:BAD:", false, FolderTrust::Trusted},
  };
  const Sid user(kUser);
  for (const TrustCase& c : cases) {
    SCOPED_TRACE(std::string(c.what) + ": " + c.sddl);
    const Sd sd(c.sddl);
    ASSERT_NE(sd.Get(), nullptr);
    EXPECT_EQ(JudgeFolder(sd.Get(), user.Get(), c.volumeRoot), c.expected);
  }
}

struct MendCase {
  const char* what;
  std::string sddl;
  bool volumeRoot;
  // The list afterwards, entries in order (every one the folder's own, none inherited).
  std::string expected;
};

TEST(FolderTrust, TakingAwayTheOthersRightsKeepsWhatContentsInherit) {
  const std::string admins = "(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";
  const MendCase cases[] = {
      {"Modify inherited from C:\\: inherit-only copy, the rest for the folder",
       "O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)"
       "(A;OICIID;0x1301bf;;;AU)",
       false, "D:" + admins + "(A;OICI;0x1200a9;;;BU)(A;OICIIO;0x1301bf;;;AU)(A;;0x1201b9;;;AU)"},
      {"generic all for everyone is spelled out for the folder",
       "O:BAD:" + admins + "(A;OICI;GA;;;WD)", false,
       "D:" + admins + "(A;OICIIO;GA;;;WD)(A;;0x1201b9;;;WD)"},
      {"at the root only delete child, permissions and owner go",
       "O:SYD:" + admins + "(A;;FA;;;AU)", true, "D:" + admins + "(A;;0x1301bf;;;AU)"},
      {"an entry for subfolders only keeps its inheritance",
       "O:BAD:" + admins + "(A;CI;0x116;;;BU)", false,
       "D:" + admins + "(A;CIIO;0x116;;;BU)(A;;0x110;;;BU)"},
      {"nothing left for the folder: only the inherit-only copy",
       "O:BAD:" + admins + "(A;OICI;0x6;;;BU)", false, "D:" + admins + "(A;OICIIO;0x6;;;BU)"},
      {"denies, inherit-only entries and the installing user's stay as they were",
       "O:BAD:(D;;WD;;;" + std::string(kOtherUser) + ")(A;OICIIO;GA;;;CO)(A;OICIID;FA;;;" + kUser +
           ")(A;;FA;;;" + kOtherUser + ")",
       false,
       "D:(D;;WD;;;" + std::string(kOtherUser) + ")(A;OICIIO;GA;;;CO)(A;OICI;FA;;;" + kUser +
           ")(A;;0x1201b9;;;" + kOtherUser + ")"},
  };
  const Sid user(kUser);
  for (const MendCase& c : cases) {
    SCOPED_TRACE(std::string(c.what) + ": " + c.sddl);
    const Sd sd(c.sddl);
    ASSERT_NE(sd.Get(), nullptr);
    std::vector<BYTE> list = WithoutForeignChanges(sd.Get(), user.Get(), c.volumeRoot);
    ASSERT_FALSE(list.empty());
    auto* acl = reinterpret_cast<PACL>(list.data());
    ASSERT_TRUE(IsValidAcl(acl));
    EXPECT_EQ(Spelled(acl), SpelledOf(c.expected));
  }
}

// No list at all lets everyone do everything: too open, and nothing to mend (refused).
TEST(FolderTrust, NoListAtAllIsTooOpenAndNotMended) {
  const Sid user(kUser);
  const Sid admins("S-1-5-32-544");
  SECURITY_DESCRIPTOR sd;
  InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorOwner(&sd, admins.Get(), FALSE);
  SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE);
  for (bool volumeRoot : {false, true}) {
    EXPECT_EQ(JudgeFolder(&sd, user.Get(), volumeRoot), FolderTrust::TooOpen);
    EXPECT_TRUE(WithoutForeignChanges(&sd, user.Get(), volumeRoot).empty());
  }
}

}  // namespace
