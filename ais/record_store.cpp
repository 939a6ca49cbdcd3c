#include "ais/record_store.h"

#include <atomic>
#include <mutex>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#else
#define ASAN_POISON_MEMORY_REGION(address, size) ((void)(address), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(address, size) ((void)(address), (void)(size))
#endif

namespace vf::ais {
namespace {

constexpr std::size_t kKeptBlockLimit = 1024;  // more than a host frees between two of its waits

struct FreeBlock {
  FreeBlock* next;
};

// A kept block is out of bounds to the address checker, all but its link:
// a record used after the host destroyed it is still caught.
constexpr std::size_t kBlockBody = sizeof(StoredRecord) - sizeof(FreeBlock);

// Any thread gives blocks back with one compare-and-swap and never waits.
// Takers take turns (one device thread in practice) and take every given
// block at once, so the two sides meet once per batch, not once per record.
class BlockStore {
 public:
  ~BlockStore() {  // the library is unloading: every record is gone by now
    Release(m_taken);
    Release(m_top.load());
  }

  void* Take() noexcept {
    std::lock_guard turn(m_takers);
    if (m_taken == nullptr) {
      m_kept.fetch_sub(m_takenSinceExchange, std::memory_order_relaxed);
      m_takenSinceExchange = 0;
      m_taken = m_top.exchange(nullptr, std::memory_order_acquire);
      if (m_taken == nullptr) return ::operator new(sizeof(StoredRecord), std::nothrow);
    }
    FreeBlock* block = m_taken;
    m_taken = block->next;
    ++m_takenSinceExchange;
    ASAN_UNPOISON_MEMORY_REGION(block + 1, kBlockBody);
    return block;
  }

  void Give(void* block) noexcept {
    if (m_kept.fetch_add(1, std::memory_order_relaxed) >= kKeptBlockLimit) {
      m_kept.fetch_sub(1, std::memory_order_relaxed);
      ::operator delete(block);
      return;
    }
    auto* given = static_cast<FreeBlock*>(block);
    ASAN_POISON_MEMORY_REGION(given + 1, kBlockBody);
    given->next = m_top.load(std::memory_order_relaxed);
    while (!m_top.compare_exchange_weak(given->next, given, std::memory_order_release, std::memory_order_relaxed)) {
    }
  }

 private:
  static void Release(FreeBlock* block) {
    while (block != nullptr) {
      FreeBlock* next = block->next;
      ASAN_UNPOISON_MEMORY_REGION(block + 1, kBlockBody);
      ::operator delete(block);
      block = next;
    }
  }

  // The givers' side: every block given back and not yet taken, and their
  // count (which also counts the blocks taken since the last exchange).
  alignas(64) std::atomic<FreeBlock*> m_top{nullptr};
  std::atomic<std::size_t> m_kept{0};
  // The takers' side, on a cache line of its own.
  alignas(64) std::mutex m_takers;
  FreeBlock* m_taken = nullptr;
  std::size_t m_takenSinceExchange = 0;
};

BlockStore& TheStore() {
  static BlockStore store;
  return store;
}

}  // namespace

// The class is final: every block asked for is one record's.
void* StoredRecord::operator new(std::size_t, const std::nothrow_t&) noexcept { return TheStore().Take(); }

void StoredRecord::operator delete(void* block) noexcept { TheStore().Give(block); }

}  // namespace vf::ais
