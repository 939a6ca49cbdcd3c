// The global allocation functions of a test program, replaced so that the
// test decides which allocation fails. Include it in one file of the program.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

namespace vf::test {

// Asked before each allocation; true makes it fail (nothing: none fails).
inline bool (*g_allocationFails)(size_t size) = nullptr;

inline void* Allocate(size_t size) noexcept {
  if (g_allocationFails != nullptr && g_allocationFails(size)) return nullptr;
  return std::malloc(size == 0 ? 1 : size);
}

// Out of line, so that the compiler does not pair a delete with a free.
[[gnu::noinline]] inline void Release(void* block) noexcept { std::free(block); }

}  // namespace vf::test

void* operator new(size_t size) {
  if (void* block = vf::test::Allocate(size)) return block;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return vf::test::Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return vf::test::Allocate(size); }
void operator delete(void* block) noexcept { vf::test::Release(block); }
void operator delete[](void* block) noexcept { vf::test::Release(block); }
void operator delete(void* block, size_t) noexcept { vf::test::Release(block); }
void operator delete[](void* block, size_t) noexcept { vf::test::Release(block); }
