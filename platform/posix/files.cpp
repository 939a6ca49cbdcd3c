#include "files.h"
#include "native_calls.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "ais_utf8.h"

namespace vf::platform {
namespace {

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

// $PROGRAMDATA when set (as under Windows), otherwise /var/lib.
std::u16string CommonAppDataFolder() {
  const char* configured = std::getenv("PROGRAMDATA");
  return FromUtf8(configured && *configured ? configured : "/var/lib");
}

char16_t PathSeparator() { return u'/'; }

std::optional<std::string> native::ReadWholeFile(const std::u16string& path) {
  const int fd = open(ToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string bytes;
  char chunk[8192];
  ssize_t n;
  while ((n = read(fd, chunk, sizeof chunk)) > 0) bytes.append(chunk, static_cast<size_t>(n));
  close(fd);
  return bytes;
}

bool native::RewriteWholeFile(const std::u16string& path, const std::string& bytes) {
  // In place, as "wt+" opens it: a file that others share keeps its owner
  // and mode, and a writable file in a read-only folder can still be written.
  const int fd = open(ToUtf8(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, bytes);
  return close(fd) == 0 && written;
}

bool native::ReplaceWholeFile(const std::u16string& path, const std::string& bytes) {
  const std::string target = ToUtf8(path);
  const std::string beside = target + ".new";
  struct stat old {};
  const bool existed = stat(target.c_str(), &old) == 0;
  const int fd = open(beside.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return RewriteWholeFile(path, bytes);
  // The shared file keeps its owner and mode; where the new one cannot have
  // them (another user's file), the file is rewritten in place instead.
  if (existed && (fchown(fd, old.st_uid, old.st_gid) != 0 || fchmod(fd, old.st_mode & 07777) != 0)) {
    close(fd);
    unlink(beside.c_str());
    return RewriteWholeFile(path, bytes);
  }
  const bool written = WriteAll(fd, bytes);
  if (close(fd) != 0 || !written || rename(beside.c_str(), target.c_str()) != 0) {
    unlink(beside.c_str());
    return written && RewriteWholeFile(path, bytes);
  }
  return true;
}

}  // namespace vf::platform
