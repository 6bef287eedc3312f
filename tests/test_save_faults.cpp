// Saves that cannot finish: a structure file, a reference table and a
// pattern export (ours and a plug-in's) into a full file system or a read-only folder fail with a
// message naming the file and the cause, and the file that was there stays
// as it was, byte for byte. A process killed in the middle of a save leaves
// the old file or the new one, never a mix.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <thread>

#include "../bench/LargeCase.h"
#include "TempDir.h"
#include "diffractogram/PatternExport.h"
#include "documents/StructureFile.h"
#include "plugins/PluginLists.h"
#include "refdata/ReferenceFiles.h"

using namespace pelmora;
using pelmora::testing::ReadFile;
using pelmora::testing::TempDir;

namespace {

// One kind of save, with a short and a long version of its file: the saver
// writes version 0 or 1 to the path and returns the writer's verdict.
struct SaveCase {
  const char* name;
  const char* file;
  std::function<bool(int version, const std::string& path, std::string* error)> save;
  std::function<std::string(int version, const std::string& path)> bytes;
};

std::vector<SaveCase> Cases() {
  auto docs = std::make_shared<std::array<CKomorka, 2>>();
  bench::BuildLargeCase((*docs)[0], 4, 5.0);
  bench::BuildLargeCase((*docs)[1], 3000, 40.0);
  auto sources = std::make_shared<std::array<std::vector<RadiationSource>, 2>>();
  for (int i = 0; i < 2000; ++i)
    (*sources)[i < 3 ? 0 : 1].push_back({1.5 + i * 1e-4, 1.6 + i * 1e-4, 0.5, "Źródło " + std::to_string(i), i % 2});
  auto points = std::make_shared<std::array<std::vector<PatternPoint>, 2>>();
  for (int i = 0; i < 30000; ++i) (*points)[i < 20 ? 0 : 1].push_back({5.0 + 0.005 * i, 100.0 + (i % 777)});
  const auto pattern = [points](int v) { return FormatPatternText((*points)[v].data(), (int)(*points)[v].size(), 2.0); };
  // The shipped xy plug-in, whose writes fail without a word: its file
  // goes through a temporary one all the same.
  static PluginTable plugins;
  static const std::vector<ChartFormat> formats = [] {
    ScanPlugins(PELMORA_PLUGINS_DIR, plugins);
    return BuildChartFormats(plugins);
  }();
  const int xy = FindChartFormat(formats, "xy");
  EXPECT_GT(xy, 0);
  const auto plugin = [points, xy](int v, const std::string& p, std::string* e) {
    return xy > 0 && SavePattern(formats[static_cast<size_t>(xy)], p, 2.0, (*points)[v].data(), (int)(*points)[v].size(), e);
  };
  static TempDir scratch;
  return {
      {"plug-in export", "wykres.xy", plugin,
       [plugin](int v, const std::string&) {
         const std::string p = scratch.File("v" + std::to_string(v) + ".xy");
         plugin(v, p, nullptr);
         return ReadFile(p);
       }},
      {"structure", "a.xml", [docs](int v, const std::string& p, std::string* e) { return SaveStructureFile((*docs)[v], p, e); },
       [docs](int v, const std::string& p) { return FormatStructureFile((*docs)[v], p); }},
      {"sources", "Zrodla.xml", [sources](int v, const std::string& p, std::string* e) { return SaveSources(p, (*sources)[v], e); },
       [sources](int v, const std::string&) { return FormatSources((*sources)[v]); }},
      {"export", "wykres.txt",
       [points](int v, const std::string& p, std::string* e) {
         return SavePattern(ChartFormat{}, p, 2.0, (*points)[v].data(), (int)(*points)[v].size(), e);
       },
       [pattern](int v, const std::string&) { return pattern(v); }},
  };
}

std::set<std::string> Entries(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

// A tmpfs of a few pages on a folder of its own, unmounted at the end. Only
// root may mount; elsewhere (or in a container that forbids it) `why` says
// what stopped it.
class SmallFileSystem {
 public:
  explicit SmallFileSystem(const std::string& dir) : dir_(dir) {
    std::filesystem::create_directories(dir);
    if (::geteuid() != 0) {
      why = "not running as root";
      return;
    }
    if (::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=4m,mode=0755") != 0) {
      why = std::string("mounting a tmpfs failed: ") + std::strerror(errno);
      return;
    }
    mounted_ = true;
  }
  ~SmallFileSystem() {
    if (mounted_) ::umount2(dir_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  bool MakeReadOnly() { return ::mount(nullptr, dir_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0; }
  // Takes every free block: first in pages, then byte by byte.
  void Fill() const {
    const int fd = ::open((dir_ + "/filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const std::string page(4096, 'x');
    while (::write(fd, page.data(), page.size()) > 0) {
    }
    while (::write(fd, "x", 1) == 1) {
    }
    EXPECT_EQ(errno, ENOSPC);
    ::close(fd);
  }
  std::string why;

 private:
  std::string dir_;
  bool mounted_ = false;
};

// Every case's short version saved, then the long one refused: the message
// names the file and the cause, the short one is still there to the byte
// and no temporary file is left beside it.
void ExpectRefusedSaves(const std::string& dir, int err, const std::set<std::string>& others) {
  for (const SaveCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    const std::string path = dir + "/" + c.file;
    const std::string before = ReadFile(path);
    ASSERT_EQ(before, c.bytes(0, path));
    std::string error;
    EXPECT_FALSE(c.save(1, path, &error));
    EXPECT_NE(error.find("Nie można zapisać pliku " + path), std::string::npos) << error;
    EXPECT_NE(error.find(std::strerror(err)), std::string::npos) << error;
    EXPECT_EQ(ReadFile(path), before);
  }
  std::set<std::string> expected = others;
  for (const SaveCase& c : Cases()) expected.insert(c.file);
  EXPECT_EQ(Entries(dir), expected);
}

void SaveShortVersions(const std::string& dir) {
  for (const SaveCase& c : Cases()) {
    std::string error;
    ASSERT_TRUE(c.save(0, dir + "/" + c.file, &error)) << c.name << ": " << error;
  }
}

}  // namespace

TEST(SaveFaults, FullFileSystemKeepsTheOldFiles) {
  TempDir tmp;
  const std::string dir = tmp.File("full");
  SmallFileSystem fs(dir);
  if (!fs.mounted()) GTEST_SKIP() << "no small file system to fill (" << fs.why << ")";
  SaveShortVersions(dir);
  fs.Fill();
  ExpectRefusedSaves(dir, ENOSPC, {"filler"});
}

TEST(SaveFaults, ReadOnlyFolderKeepsTheOldFiles) {
  TempDir tmp;
  const std::string dir = tmp.File("ro");
  if (::geteuid() == 0) {
    // Root writes into any folder whatever its mode: a read-only mount.
    SmallFileSystem fs(dir);
    if (!fs.mounted()) GTEST_SKIP() << "no file system to make read-only (" << fs.why << ")";
    SaveShortVersions(dir);
    ASSERT_TRUE(fs.MakeReadOnly()) << std::strerror(errno);
    ExpectRefusedSaves(dir, EROFS, {});
    return;
  }
  std::filesystem::create_directories(dir);
  SaveShortVersions(dir);
  ASSERT_EQ(::chmod(dir.c_str(), 0555), 0);
  ExpectRefusedSaves(dir, EACCES, {});
  ::chmod(dir.c_str(), 0755);
}

namespace {

// Temporary files of a save to `file` lying in the folder.
int TemporaryFiles(const std::string& dir, const std::string& file) {
  int n = 0;
  for (const std::string& name : Entries(dir)) n += name.size() > file.size() && name.rfind(file + ".", 0) == 0;
  return n;
}

}  // namespace

// A child saves the two versions in turn without end and is killed at a
// random moment soon after a temporary file appears, so inside a save or
// just after one; the file must then be one version whole.
TEST(SaveFaults, KilledMidSaveLeavesOneWholeVersion) {
  TempDir tmp;
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> delayUs(0, 3000);
  for (const SaveCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    const std::string path = tmp.File(c.file);
    const std::string v0 = c.bytes(0, path), v1 = c.bytes(1, path);
    std::string error;
    ASSERT_TRUE(c.save(0, path, &error)) << error;
    for (int round = 0; round < 10; ++round) {
      const int leftBefore = TemporaryFiles(tmp.path(), c.file);
      const pid_t pid = ::fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        for (int i = 1;; ++i) c.save(i % 2, path, nullptr);
      }
      const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (TemporaryFiles(tmp.path(), c.file) == leftBefore && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::microseconds(20));
      std::this_thread::sleep_for(std::chrono::microseconds(delayUs(rng)));
      ::kill(pid, SIGKILL);
      int status = 0;
      ::waitpid(pid, &status, 0);
      ASSERT_TRUE(WIFSIGNALED(status));
      const std::string now = ReadFile(path);
      ASSERT_TRUE(now == v0 || now == v1) << "round " << round << ": " << now.size() << " bytes, neither version";
    }
    // Some kills must have cut a save short, or the test proved nothing.
    const int cut = TemporaryFiles(tmp.path(), c.file);
    std::printf("%s: %d of 10 kills cut a save short\n", c.name, cut);
    EXPECT_GT(cut, 0);
  }
}
