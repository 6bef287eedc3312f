#include "io/AtomicFile.h"
#include "io/Translate.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace pelmora {

namespace {

bool WriteAll(int fd, std::string_view bytes) {
  size_t off = 0;
  while (off < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + off, bytes.size() - off);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    off += static_cast<size_t>(n);
  }
  return true;
}

// The umask without changing it, which would race with other threads
// creating files; umask() itself only where /proc does not say.
mode_t ProcessUmask() {
  if (FILE* f = std::fopen("/proc/self/status", "r")) {
    char line[256];
    unsigned mask = 0;
    bool found = false;
    while (std::fgets(line, sizeof line, f))
      if (std::sscanf(line, "Umask: %o", &mask) == 1) {
        found = true;
        break;
      }
    std::fclose(f);
    if (found) return static_cast<mode_t>(mask & 0777);
  }
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

// A rename lasts through a power cut only once the folder holding it is on
// disk too. The file is replaced by then: a failure here is not reported.
void SyncFolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// An empty file beside path named path.XXXXXX + suffix, looking like the
// file it will replace (mode, and group where we may set it) or like any
// new file; its descriptor, or -1 with errno.
int MakeTemporaryBeside(const std::string& path, const std::string& suffix, std::string& tmp) {
  tmp = path + ".XXXXXX" + suffix;
  // Not inherited by programs another thread starts meanwhile.
  const int fd = ::mkostemps(tmp.data(), static_cast<int>(suffix.size()), O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (::fchown(fd, static_cast<uid_t>(-1), st.st_gid) != 0) {
      // Not a member of that group: the file keeps ours.
    }
    ::fchmod(fd, st.st_mode & 07777);
  } else {
    ::fchmod(fd, 0666 & ~ProcessUmask());
  }
  return fd;
}

// The file a link points to, not the link: that is what a save replaces.
std::string ResolvedPath(const std::string& path) {
  char* real = ::realpath(path.c_str(), nullptr);
  if (!real) return path;
  std::string resolved = real;
  std::free(real);
  return resolved;
}

// The finished temporary file put in place of path in one rename, its
// folder then synced for a synced save; 0, or errno with the temporary
// removed.
int MoveOver(const std::string& tmp, const std::string& path, FileDurability durability) {
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    const int err = errno;
    ::unlink(tmp.c_str());
    return err;
  }
  if (durability == FileDurability::kSynced) SyncFolderOf(path);
  return 0;
}

std::string CannotSave(const std::string& path, const std::string& what, int err) {
  return TrText("io", "Nie można zapisać pliku ") + path + ": " + what + " (" + std::strerror(err) + ")";
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
  return WriteFileAtomically(path, std::vector<std::string_view>{bytes}, error);
}

bool WriteFileAtomically(const std::string& path, const std::vector<std::string_view>& pieces, std::string* error,
                         FileDurability durability) {
  const auto produce = [&pieces](const PieceWriter& write) {
    for (std::string_view bytes : pieces)
      if (!write(bytes)) return false;
    return true;
  };
  return WriteFileAtomically(path, produce, error, durability);
}

bool WriteFileAtomically(const std::string& pathIn, const std::function<bool(const PieceWriter&)>& produce,
                         std::string* error, FileDurability durability) {
  const auto writeAll = [&produce](int fd) { return produce([fd](std::string_view bytes) { return WriteAll(fd, bytes); }); };
  const auto fail = [&](const std::string& what, int err) {
    if (error) *error = CannotSave(pathIn, what, err);
    return false;
  };
  const std::string path = ResolvedPath(pathIn);
  // Devices and pipes (/dev/stdout, a FIFO) are written in place: there is
  // nothing to keep, and renaming over them would destroy them.
  struct stat target {};
  if (::stat(path.c_str(), &target) == 0 && !S_ISREG(target.st_mode) && !S_ISDIR(target.st_mode)) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
    if (fd < 0) return fail(TrText("io", "nie można otworzyć"), errno);
    const bool ok = writeAll(fd);
    const int err = errno;
    ::close(fd);
    return ok ? true : fail(TrText("io", "błąd zapisu"), err);
  }
  std::string tmp;
  const int fd = MakeTemporaryBeside(path, "", tmp);
  if (fd < 0) return fail(TrText("io", "nie można utworzyć pliku tymczasowego"), errno);
  if (!writeAll(fd)) {
    const int err = errno;
    ::close(fd);
    ::unlink(tmp.c_str());
    return fail(TrText("io", "błąd zapisu"), err);
  }
  if ((durability == FileDurability::kSynced && ::fsync(fd) != 0) || ::close(fd) != 0) {
    const int err = errno;
    ::unlink(tmp.c_str());
    return fail(TrText("io", "błąd zapisu"), err);
  }
  if (const int err = MoveOver(tmp, path, durability)) return fail(TrText("io", "nie można zastąpić pliku"), err);
  return true;
}

bool WriteFileThrough(const std::string& pathIn, const std::function<bool(const std::string&)>& write,
                      std::string* error) {
  const auto fail = [&](const std::string& what, int err) {
    if (error) *error = CannotSave(pathIn, what, err);
    return false;
  };
  const std::string path = ResolvedPath(pathIn);
  // The writer may go by the name's extension: the temporary keeps it.
  const size_t slash = path.find_last_of('/'), dot = path.find_last_of('.');
  const std::string ext = dot != std::string::npos && (slash == std::string::npos || dot > slash) ? path.substr(dot) : "";
  std::string tmp;
  const int fd = MakeTemporaryBeside(path, ext, tmp);
  if (fd < 0) return fail(TrText("io", "nie można utworzyć pliku tymczasowego"), errno);
  ::close(fd);
  if (!write(tmp)) {
    ::unlink(tmp.c_str());
    return false;
  }
  // Its bytes on disk before it replaces the old file, as any save's.
  const int sync = ::open(tmp.c_str(), O_RDONLY | O_CLOEXEC);
  if (sync < 0 || ::fsync(sync) != 0) {
    const int err = errno;
    if (sync >= 0) ::close(sync);
    ::unlink(tmp.c_str());
    return fail(TrText("io", "błąd zapisu"), err);
  }
  ::close(sync);
  if (const int err = MoveOver(tmp, path, FileDurability::kSynced)) return fail(TrText("io", "nie można zastąpić pliku"), err);
  return true;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  // Straight into a string of the file's size: a stream's growing buffers
  // and the copy out of them touch a large file's pages three times over.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  std::string text;
  // One byte more than the file, so that the read meeting its end needs
  // no larger string; a file that grows meanwhile, or is no regular file,
  // is read to its end all the same.
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) text.reserve(static_cast<size_t>(st.st_size) + 1);
  constexpr size_t kChunk = 64 * 1024;
  bool ok = true;
  for (;;) {
    const size_t at = text.size(), room = text.capacity() - at;
    text.resize(at + (room > 0 ? room : kChunk));
    const ssize_t n = ::read(fd, text.data() + at, text.size() - at);
    if (n < 0 && errno == EINTR) {
      text.resize(at);
      continue;
    }
    text.resize(at + static_cast<size_t>(std::max<ssize_t>(n, 0)));
    if (n <= 0) {
      ok = n == 0;
      break;
    }
  }
  ::close(fd);
  if (!ok) return false;
  bytes = std::move(text);
  return true;
}

}  // namespace pelmora
