// A host window for tests: records posted to it are taken off its queue and
// owned here.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "ais_plugin.h"
#include "vf_system.h"

namespace vf::test {

using Record = std::unique_ptr<CRawDataAis>;

class RecordSink {
 public:
  explicit RecordSink(const char16_t* title = u"test host") : m_window(VfCreateWindow(title)) {}
  ~RecordSink() {
    TakeAll();
    VfDestroyWindow(m_window);
  }
  RecordSink(const RecordSink&) = delete;
  RecordSink& operator=(const RecordSink&) = delete;

  HostWindow Window() const { return m_window; }

  // Every record already queued.
  std::vector<Record> TakeAll() { return Take(SIZE_MAX, std::chrono::milliseconds(0)); }

  // Waits for `count` records, at most until the deadline; returns what came.
  std::vector<Record> Take(size_t count, std::chrono::milliseconds deadline) {
    std::vector<Record> records;
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (records.size() < count) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      VfMessage message{};
      if (VfGetMessage(m_window, &message, static_cast<int32_t>(left.count() > 0 ? left.count() : 0)) != 1) break;
      if (message.message != kAisWmUser || message.wParam != kAisRecordWParam) continue;
      auto* record = reinterpret_cast<CRawData*>(message.lParam);
      if (record->m_nType != RAW_DATA_TYPE_AIS) {
        delete record;
        continue;
      }
      records.emplace_back(static_cast<CRawDataAis*>(record));
    }
    return records;
  }

 private:
  HostWindow m_window;
};

}  // namespace vf::test
