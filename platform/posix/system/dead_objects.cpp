#include "dead_objects.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/mman.h>
#include <unistd.h>

#include <ctime>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "object_names.h"
#include "shared_window_list.h"

namespace vf::posix_system {
namespace {

// The inodes of the shared-memory files that some process has mapped (the
// processes whose maps this user may read: the user's own, or all for root).
std::set<ino_t> MappedSharedMemory() {
  std::set<ino_t> mapped;
  DIR* processes = opendir("/proc");
  if (processes == nullptr) return mapped;
  while (const dirent* entry = readdir(processes)) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    std::ifstream maps(std::string("/proc/") + entry->d_name + "/maps");
    for (std::string line; std::getline(maps, line);) {
      if (line.find(kSharedMemoryFolder) == std::string::npos) continue;
      std::istringstream fields(line);
      std::string range, permissions, offset, device;
      unsigned long inode = 0;
      if (fields >> range >> permissions >> offset >> device >> inode) mapped.insert(static_cast<ino_t>(inode));
    }
  }
  closedir(processes);
  return mapped;
}

}  // namespace

void RemoveDeadObjects(int64_t minimumAgeS) {
  const std::string mutexes = UserObjectStem("mutex"), windowLists = UserObjectStem("windows");
  const std::string shared = std::string(kSharedMemoryFolder) + "/";
  DIR* folder = opendir(kSharedMemoryFolder);
  if (folder == nullptr) return;
  const time_t now = time(nullptr);
  std::set<ino_t> mapped;
  bool mappedKnown = false;
  while (const dirent* entry = readdir(folder)) {
    const std::string name = entry->d_name;
    const bool mutex = name.rfind(mutexes, 0) == 0, list = name.rfind(windowLists, 0) == 0;
    struct stat info {};
    if ((!mutex && !list) || lstat((shared + name).c_str(), &info) != 0 || info.st_uid != geteuid() ||
        now - info.st_mtime < minimumAgeS) {
      continue;
    }
    if (list) {
      RemoveWindowListIfDead("/" + name);
      continue;
    }
    if (!mappedKnown) {
      mapped = MappedSharedMemory();
      mappedKnown = true;
    }
    if (mapped.count(info.st_ino) == 0) shm_unlink(("/" + name).c_str());
  }
  closedir(folder);
}

}  // namespace vf::posix_system
