// Who may change a folder, judged from descriptors written as SDDL and built in memory (Wine keeps
// no real access lists on its files), and the list that takes the others' rights away.
#include <windows.h>
#include <sddl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "deploy/FolderTrust.h"

namespace {

const std::string kUser = "S-1-5-21-1-2-3-1001";
const std::string kOtherUser = "S-1-5-21-1-2-3-1002";
const std::string kTrustedInstaller =
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// What the system allocated with LocalAlloc, freed with the object (null when the text does not
// parse): a self-relative descriptor from SDDL, a SID from its text.
using Local = std::unique_ptr<void, decltype(&LocalFree)>;

Local Sd(const std::string& sddl) {
  void* sd = nullptr;
  ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &sd, nullptr);
  return Local(sd, LocalFree);
}

Local Sid(const std::string& text) {
  void* sid = nullptr;
  ConvertStringSidToSidA(text.c_str(), &sid);
  return Local(sid, LocalFree);
}

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
  const Local sd = Sd(sddl);
  BOOL present = FALSE, defaulted = FALSE;
  PACL acl = nullptr;
  GetSecurityDescriptorDacl(sd.get(), &present, &acl, &defaulted);
  return Spelled(acl);
}

// Each descriptor judged at the three places, in the order root, on the way, own (the product or
// library folder): T trusted, O too open, F another owner.
TEST(FolderTrust, OwnersAndRightsOfOthersAtEachPlace) {
  const std::string root = "D:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)";
  const std::string ti = kTrustedInstaller,
                    profile = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;";
  const std::string readers = "(A;OICIIO;GXGR;;;BU)(A;;0x1200a9;;;S-1-15-2-1)";
  const struct {
    const char* what;
    std::string sddl;
    const char* verdicts;
  } cases[] = {
      {"the installer's own list", kOwnFolderSddl, "TTT"},
      {"made below C:\\ by an administrator: Authenticated Users Modify inherited",
       "O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)(A;OICIID;0x1301bf;;;"
       "AU)",
       "TOO"},
      {"C:\\: add folder for everyone, Modify inherit-only",
       "O:" + ti + root + "(A;OICIIO;SDGXGWGR;;;AU)(A;;0x4;;;AU)", "TTO"},
      {"a data-drive root (Windows 8 and later)",
       "O:BA" + root + "(A;OICIIO;SDGXGWGR;;;AU)(A;;0x4;;;AU)", "TTO"},
      {"a data-drive root (Windows 7)",
       "O:BA" + root + "(A;OICIIO;FA;;;CO)(A;CI;0x4;;;BU)(A;CIIO;0x2;;;BU)", "TTO"},
      {"an old root with Everyone full control", "O:BAD:(A;OICI;FA;;;WD)", "OOO"},
      {"C:\\ProgramData: Users add files and folders",
       "O:SYD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICIIO;GA;;;CO)(A;OICI;0x1200a9;;;BU)"
       "(A;CI;0x116;;;BU)",
       "TTO"},
      {"C:\\Program Files",
       "O:" + ti + "D:P(A;;FA;;;" + ti + ")(A;CIIO;GA;;;" + ti +
           ")(A;;0x1301bf;;;SY)(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)"
           "(A;;0x1200a9;;;BU)(A;OICIIO;GA;;;CO)" +
           readers,
       "TTT"},
      {"C:\\Users\\<name> of another user", "O:" + kOtherUser + profile + kOtherUser + ")", "FFF"},
      {"C:\\Users\\<name> of the installing user", "O:" + kUser + profile + kUser + ")", "TTT"},
      {"delete child", "O:SY" + root + "(A;;0x40;;;AU)", "OOO"},
      {"change permissions", "O:SY" + root + "(A;;WD;;;BU)", "OOO"},
      {"no owner at all", "D:P(A;OICI;FA;;;SY)", "FFF"},
      {"another user has full control", "O:BAD:(A;;FA;;;" + kOtherUser + ")", "OOO"},
      {"every change denied first, attributes left", "O:BAD:(D;;0xd0046;;;BU)(A;;FA;;;BU)", "TTO"},
      {"a deny for everyone covers AU", "O:BAD:(D;;0xd0046;;;WD)(A;;FA;;;AU)", "TTO"},
      {"a deny after the allow", "O:BAD:(A;;FA;;;BU)(D;;0xd0046;;;BU)", "OOO"},
      {"a deny for another account", "O:BAD:(D;;0xd0046;;;BU)(A;;FA;;;AU)", "OOO"},
      {"a deny that leaves delete", "O:BAD:(D;;0xc0046;;;BU)(A;;FA;;;BU)", "TOO"},
      {"generic write: adding files", "O:BAD:(A;;GW;;;BU)", "TTO"},
      {"write for files made inside, inherit-only", "O:BAD:(A;OIIO;0x2;;;BU)", "TTO"},
      {"write attributes and extended attributes", "O:BAD:(A;;0x120199;;;BU)", "TTO"},
      {"an empty list", "O:BAD:", "TTT"},
  };
  const FolderVerdict byLetter[] = {FolderVerdict::Trusted, FolderVerdict::TooOpen,
                                    FolderVerdict::ForeignOwner};
  const FolderPlace places[] = {FolderPlace::VolumeRoot, FolderPlace::OnTheWay, FolderPlace::Own};
  const Local user = Sid(kUser);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.what) + ": " + c.sddl);
    const Local sd = Sd(c.sddl);
    ASSERT_NE(sd.get(), nullptr);
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(JudgeFolder(sd.get(), user.get(), places[i]),
                byLetter[std::string("TOF").find(c.verdicts[i])])
          << i;
  }
}

TEST(FolderTrust, TakingAwayTheOthersRightsKeepsWhatContentsInherit) {
  const std::string admins = "(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)", mine = "O:BAD:" + admins;
  const std::string other = ";;;" + kOtherUser + ")", self = ";;;" + kUser + ")";
  const struct {
    const char* what;
    std::string sddl;
    // The list afterwards, entries in order (every one the folder's own, none inherited).
    std::string expected;
    FolderPlace place = FolderPlace::OnTheWay;
  } cases[] = {
      {"Modify inherited from C:\\: inherit-only copy, the rest for the folder",
       "O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)"
       "(A;OICIID;0x1301bf;;;AU)",
       "D:" + admins + "(A;OICI;0x1200a9;;;BU)(A;OICIIO;0x1301bf;;;AU)(A;;0x1201bf;;;AU)"},
      {"generic all for everyone is spelled out for the folder, adding kept",
       mine + "(A;OICI;GA;;;WD)", "D:" + admins + "(A;OICIIO;GA;;;WD)(A;;0x1201bf;;;WD)"},
      {"at the root only delete child, permissions and owner go",
       "O:SYD:" + admins + "(A;;FA;;;AU)", "D:" + admins + "(A;;0x1301bf;;;AU)",
       FolderPlace::VolumeRoot},
      {"an old root with Everyone full control", "O:BAD:(A;OICI;FA;;;WD)",
       "D:(A;OICIIO;FA;;;WD)(A;;0x1301bf;;;WD)", FolderPlace::VolumeRoot},
      {"an entry for subfolders only keeps its inheritance", mine + "(A;CI;0x10116;;;BU)",
       "D:" + admins + "(A;CIIO;0x10116;;;BU)(A;;0x116;;;BU)"},
      {"nothing left for the folder: only the inherit-only copy", mine + "(A;OICI;0xd0000;;;BU)",
       "D:" + admins + "(A;OICIIO;0xd0000;;;BU)"},
      {"denies, adding, inherit-only entries and the installing user's stay as they were",
       "O:BAD:(D;;WD" + other + "(A;OICIIO;GA;;;CO)(A;OICIID;FA" + self + "(A;;0x6" + other +
           "(A;;FA" + other,
       "D:(D;;WD" + other + "(A;OICIIO;GA;;;CO)(A;OICI;FA" + self + "(A;;0x6" + other +
           "(A;;0x1201bf" + other},
  };
  const Local user = Sid(kUser);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.what) + ": " + c.sddl);
    const Local sd = Sd(c.sddl);
    ASSERT_NE(sd.get(), nullptr);
    std::vector<BYTE> list = WithoutForeignChanges(sd.get(), user.get(), c.place);
    ASSERT_FALSE(list.empty());
    auto* acl = reinterpret_cast<PACL>(list.data());
    ASSERT_TRUE(IsValidAcl(acl));
    EXPECT_EQ(Spelled(acl), SpelledOf(c.expected));
  }
}

// No list at all lets everyone do everything: too open, and nothing to mend (refused).
TEST(FolderTrust, NoListAtAllIsTooOpenAndNotMended) {
  const Local user = Sid(kUser), admins = Sid("S-1-5-32-544");
  SECURITY_DESCRIPTOR sd;
  InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorOwner(&sd, admins.get(), FALSE);
  SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE);
  for (FolderPlace place : {FolderPlace::VolumeRoot, FolderPlace::OnTheWay, FolderPlace::Own}) {
    EXPECT_EQ(JudgeFolder(&sd, user.get(), place), FolderVerdict::TooOpen);
    EXPECT_TRUE(WithoutForeignChanges(&sd, user.get(), place).empty());
  }
}

}  // namespace
