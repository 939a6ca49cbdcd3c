// Memory for the target records that the decoders make.
#pragma once

#include <cstddef>
#include <new>

#include "ais_plugin.h"

namespace vf::ais {

// A target record whose block goes back to a store of blocks when the host
// destroys it. The host destroys records on its own thread: freed to the C
// heap there, each block would take the heap lock of the thread that made
// it, and the two threads would queue at that lock once per record. Given
// back here, a block costs the giving thread two atomic operations, and the
// device thread takes the given blocks with one exchange per batch.
//
// Under the Microsoft table layout the host's delete reaches CRawDataAis's
// own slot, which frees the block to the heap: the store then only lends.
class StoredRecord final : public CRawDataAis {
 public:
  static void* operator new(std::size_t size, const std::nothrow_t&) noexcept;
  static void operator delete(void* block) noexcept;
};

}  // namespace vf::ais
