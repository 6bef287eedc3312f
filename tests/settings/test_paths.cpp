#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "TempDir.h"
#include "settings/Paths.h"

namespace pelmora {
namespace {

TEST(Paths, RelativeFoldersTryTheWorkingDirectoryThenTheExecutables) {
  testing::TempDir work, exe;
  std::filesystem::create_directories(exe.File("Data"));
  std::filesystem::create_directories(exe.File("Plugins"));
  std::filesystem::create_directories(work.File("Plugins"));
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(work.path());
  EXPECT_EQ(ResolveFolder("Data", exe.path()), exe.File("Data"));
  EXPECT_EQ(ResolveFolder("Plugins", exe.path()), "Plugins");  // the working directory's own
  EXPECT_EQ(ResolveFolder("Nowhere", exe.path()), "Nowhere");
  EXPECT_EQ(ResolveFolder("/abs/Data", exe.path()), "/abs/Data");
  // Plug-ins never come from the working directory, even when it has the folder.
  EXPECT_EQ(ResolvePluginsFolder("Plugins", exe.path()), exe.File("Plugins"));
  EXPECT_EQ(ResolvePluginsFolder("Plugins", ""), "");
  EXPECT_EQ(ResolvePluginsFolder("/abs/Plugins", exe.path()), "/abs/Plugins");
  std::filesystem::current_path(old);
  EXPECT_FALSE(ExecutableDir().empty());
}

}  // namespace
}  // namespace pelmora
