// A damaged trace file (any bytes) in front of the trace writer: the next
// entry must be written without a crash, and the file must stay bounded.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "diag/trace_file.h"
#include "platform/named_mutex.h"
#include "vf_system.h"

namespace {

struct Folder {
  std::filesystem::path root = std::filesystem::temp_directory_path() / ("trace-fuzz-" + std::to_string(getpid()));
  std::filesystem::path file = root / "VestraFold" / "Tracing" / "Trace_General.txt";
  VfNamedMutex* hostMutex = nullptr;
  vf::platform::Handle mutex = nullptr;
  Folder() {
    std::filesystem::create_directories(file.parent_path());
    setenv("VF_OBJECT_NAMESPACE", root.filename().c_str(), 1);
    hostMutex = VfCreateNamedMutex(kAisTraceMutexName);
    mutex = vf::platform::OpenNamedMutex(kAisTraceMutexName);
  }
  ~Folder() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Folder folder;
  std::ofstream(folder.file, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data), size);
  const std::u16string path = folder.file.u16string();
  vf::AppendTraceEntry(folder.mutex, path, 1.5, vf::kTraceProgress, u"AIS", u"Plugin started.");
  std::error_code ignored;
  // At most the counter line and 200 entries of what this run wrote or kept.
  if (std::filesystem::file_size(folder.file, ignored) > size + 4096) std::abort();
  return 0;
}
