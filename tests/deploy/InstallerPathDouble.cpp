// The test programs' InstallerPath(), linked as an object file: the linker then has the symbol
// before it searches the product's libraries, and never pulls their InstallerPath member in (a
// test in PackageSourceTest fails if it did). A test puts the installer where its package lies.
#include "tests/deploy/DeployTesting.h"

namespace {

std::string theInstallerPath;

}  // namespace

void deploytest::SetInstallerPath(const std::string& installerPath) {
  theInstallerPath = installerPath;
}

std::string InstallerPath() {
  return theInstallerPath;
}
