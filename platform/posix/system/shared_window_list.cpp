// The table lives in one shared-memory object per user and namespace, locked
// with flock for each use. Entries of a process that ended without removing
// them (it crashed) are recognised by the process's start time and dropped;
// the last user to empty the table removes its name, so that nothing stays
// in /dev/shm.
#include "shared_window_list.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "object_names.h"

namespace vf::posix_system {
namespace {

constexpr uint32_t kReadyMagic = 0x5646574c;  // "VFWL"
constexpr size_t kSlots = 256;
constexpr size_t kTitleUnits = 128;  // a longer title is entered cut to this length

struct Slot {
  int32_t pid;  // 0: free
  uint32_t serial;
  uint64_t startTime;  // the process's, against a reused pid
  char16_t title[kTitleUnits];
  uint32_t titleUnits;
};

struct Table {
  uint32_t magic;
  uint32_t nextSerial;
  Slot slots[kSlots];
};

// Start times that cannot be read: the process counts as alive.
constexpr uint64_t kUnknownStart = UINT64_MAX;

// When the process started, in clock ticks since boot; 0 when it is gone,
// kUnknownStart when the system cannot tell now (no memory, no descriptor):
// a live process's window must not be dropped for that. Read with system
// calls into the stack alone, as it runs while the table is locked.
uint64_t StartTimeOf(int pid) {
  char path[32];
  std::snprintf(path, sizeof path, "/proc/%d/stat", pid);
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || errno == ESRCH ? 0 : kUnknownStart;
  char text[1024];
  const ssize_t got = read(fd, text, sizeof text - 1);
  const int readError = errno;
  close(fd);
  if (got <= 0) return got == 0 || readError == ESRCH ? 0 : kUnknownStart;
  text[got] = '\0';
  const char* at = std::strrchr(text, ')');  // the command name may hold spaces and parentheses
  for (int field = 2; at != nullptr && field < 22; ++field) {  // field 22 is the start time
    at = std::strchr(at + 1, ' ');
  }
  return at != nullptr ? std::strtoull(at + 1, nullptr, 10) : kUnknownStart;
}

bool Alive(const Slot& slot) {
  if (slot.pid == 0) return false;
  const uint64_t start = StartTimeOf(slot.pid);
  return start == kUnknownStart || start == slot.startTime;
}

bool SameTitle(const Slot& slot, std::u16string_view title) {
  const std::u16string_view entered(slot.title, slot.titleUnits);
  return entered == title.substr(0, kTitleUnits);
}

// The table, mapped and locked, for one use. Only an entry makes it; the
// other uses find none where no window was ever entered.
class LockedTable {
 public:
  // Every string is made before the lock is taken: nothing between the lock
  // and its release may throw, or the lock would outlive the use.
  explicit LockedTable(bool create, std::string name = UserObjectPrefix("windows") + "list")
      : m_name(std::move(name)), m_path(kSharedMemoryFolder + m_name) {
    // A name removed between open and lock leaves an object nobody else
    // finds: open again until the locked object is the named one.
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
      bool removed = false;
      if (Open(create, removed)) return;
      Release();
      if (!removed) return;
    }
  }
  ~LockedTable() { Release(); }
  LockedTable(const LockedTable&) = delete;
  LockedTable& operator=(const LockedTable&) = delete;

  Table* operator->() const { return m_table; }
  explicit operator bool() const { return m_table != nullptr; }

  // Frees the slots of processes that are gone; when none is left in use,
  // removes the table's name.
  void Tidy() {
    bool inUse = false;
    for (Slot& slot : m_table->slots) {
      if (slot.pid != 0 && !Alive(slot)) slot.pid = 0;
      inUse |= slot.pid != 0;
    }
    if (!inUse) shm_unlink(m_name.c_str());
  }

 private:
  static constexpr int kOpenAttempts = 100;

  bool Open(bool create, bool& removed) {
    m_fd = shm_open(m_name.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0600);
    struct stat info {};
    // Another user's object, or one that others may write, is not used.
    if (m_fd < 0 || fstat(m_fd, &info) != 0 || info.st_uid != geteuid() || (info.st_mode & 077) != 0) return false;
    if (flock(m_fd, LOCK_EX) != 0) return false;
    struct stat named {};
    if (fstat(m_fd, &info) != 0 || stat(m_path.c_str(), &named) != 0 || named.st_ino != info.st_ino) {
      removed = true;  // by its last user, meanwhile
      return false;
    }
    const bool fresh = info.st_size < static_cast<off_t>(sizeof(Table));
    if (fresh && (!create || posix_fallocate(m_fd, 0, sizeof(Table)) != 0)) return false;
    void* area = mmap(nullptr, sizeof(Table), PROT_READ | PROT_WRITE, MAP_SHARED, m_fd, 0);
    if (area == MAP_FAILED) return false;
    m_table = static_cast<Table*>(area);
    if (m_table->magic != kReadyMagic) {
      std::memset(static_cast<void*>(m_table), 0, sizeof(Table));
      m_table->magic = kReadyMagic;
    }
    return true;
  }

  void Release() {
    if (m_table != nullptr) munmap(m_table, sizeof(Table));
    m_table = nullptr;
    if (m_fd >= 0) close(m_fd);  // also lets go of the lock
    m_fd = -1;
  }

  std::string m_name;
  std::string m_path;  // the name in the file system
  int m_fd = -1;
  Table* m_table = nullptr;
};

}  // namespace

std::optional<SharedWindowEntry> EnterSharedWindow(std::u16string_view title) {
  if (title.empty()) return std::nullopt;  // found by title only
  LockedTable table(true);
  if (!table) return std::nullopt;
  const uint64_t startTime = StartTimeOf(getpid());
  if (startTime == kUnknownStart || startTime == 0) return std::nullopt;
  for (uint32_t pass = 0; pass < 2; ++pass) {
    for (uint32_t index = 0; index < kSlots; ++index) {
      Slot& slot = table->slots[index];
      if (slot.pid != 0) continue;
      slot.pid = getpid();
      slot.serial = ++table->nextSerial;
      slot.startTime = startTime;
      slot.titleUnits = static_cast<uint32_t>(std::min(title.size(), kTitleUnits));
      std::copy_n(title.data(), slot.titleUnits, slot.title);
      return SharedWindowEntry{index, slot.serial};
    }
    table.Tidy();  // full: make room from processes that are gone, once
  }
  return std::nullopt;
}

void RemoveSharedWindow(const SharedWindowEntry& entry) {
  LockedTable table(false);
  if (!table || entry.slot >= kSlots) return;
  Slot& slot = table->slots[entry.slot];
  if (slot.pid == getpid() && slot.serial == entry.serial) slot.pid = 0;
  table.Tidy();
}

std::optional<SharedWindowEntry> FindForeignWindow(std::u16string_view title) {
  LockedTable table(false);
  if (!table) return std::nullopt;
  table.Tidy();  // what crashed processes left goes here too
  for (uint32_t index = 0; index < kSlots; ++index) {
    const Slot& slot = table->slots[index];
    if (slot.pid == 0 || slot.pid == getpid() || !SameTitle(slot, title) || !Alive(slot)) continue;
    return SharedWindowEntry{index, slot.serial};
  }
  return std::nullopt;
}

void RemoveWindowListIfDead(const std::string& objectName) {
  LockedTable table(false, objectName);
  if (table) table.Tidy();
}

bool ForeignWindowExists(const SharedWindowEntry& entry) {
  LockedTable table(false);
  if (!table || entry.slot >= kSlots) return false;
  const Slot& slot = table->slots[entry.slot];
  return slot.serial == entry.serial && slot.pid != getpid() && Alive(slot);
}

}  // namespace vf::posix_system
