// The wide string type that host and plug-in share.
//
// A CWideString is one pointer to UTF-16 text. Its storage comes from the
// heap that every module of the process shares, so either side may free what
// the other assigned. The text may hold U+0000 characters (six-bit "@"
// padding); the length is kept in a small header in front of the characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#if defined(_WIN32)
extern "C" __declspec(dllimport) void* __stdcall GetProcessHeap(void);
extern "C" __declspec(dllimport) void* __stdcall HeapAlloc(void*, unsigned long, size_t);
extern "C" __declspec(dllimport) int __stdcall HeapFree(void*, unsigned long, void*);
#else
#include <cstdlib>
#endif

namespace vf {

inline void* SharedHeapAlloc(size_t bytes) {
#if defined(_WIN32)
  return HeapAlloc(GetProcessHeap(), 0, bytes);
#else
  return std::malloc(bytes);
#endif
}

inline void SharedHeapFree(void* block) {
  if (block == nullptr) return;
#if defined(_WIN32)
  HeapFree(GetProcessHeap(), 0, block);
#else
  std::free(block);
#endif
}

}  // namespace vf

class CWideString {
 public:
  CWideString() = default;
  CWideString(const char16_t* text) { Assign(text != nullptr ? text : u""); }  // NOLINT: like the platform string
  CWideString(std::u16string_view text) { Assign(text); }  // NOLINT
  CWideString(const CWideString& other) { Assign(other.View()); }
  CWideString(CWideString&& other) noexcept : m_pData(other.m_pData) { other.m_pData = nullptr; }
  ~CWideString() { Release(); }

  CWideString& operator=(const CWideString& other) {
    if (this != &other) Assign(other.View());
    return *this;
  }
  CWideString& operator=(CWideString&& other) noexcept {
    if (this != &other) {
      Release();
      m_pData = other.m_pData;
      other.m_pData = nullptr;
    }
    return *this;
  }
  CWideString& operator=(std::u16string_view text) {
    Assign(text);
    return *this;
  }
  CWideString& operator=(const char16_t* text) { return *this = std::u16string_view(text != nullptr ? text : u""); }

  size_t GetLength() const { return m_pData ? HeaderOf(m_pData)->length : 0; }
  bool IsEmpty() const { return GetLength() == 0; }
  // Always NUL-terminated; never null.
  const char16_t* GetString() const { return m_pData ? m_pData : u""; }
  std::u16string_view View() const { return {GetString(), GetLength()}; }

  // Returns false (and leaves the text unchanged) when the heap is exhausted.
  bool Assign(std::u16string_view text) {
    if (text.empty()) {
      Release();
      return true;
    }
    char16_t* fresh = Allocate(text.size());
    if (fresh == nullptr) return false;
    std::memcpy(fresh, text.data(), text.size() * sizeof(char16_t));
    Release();
    m_pData = fresh;
    return true;
  }

  bool Append(std::u16string_view text) {
    if (text.empty()) return true;
    const size_t old_length = GetLength();
    char16_t* fresh = Allocate(old_length + text.size());
    if (fresh == nullptr) return false;
    if (old_length) std::memcpy(fresh, m_pData, old_length * sizeof(char16_t));
    std::memcpy(fresh + old_length, text.data(), text.size() * sizeof(char16_t));
    Release();
    m_pData = fresh;
    return true;
  }

  void Empty() { Release(); }

  friend bool operator==(const CWideString& a, const CWideString& b) { return a.View() == b.View(); }
  friend bool operator!=(const CWideString& a, const CWideString& b) { return !(a == b); }

 private:
  struct Header {
    size_t length;
  };
  static Header* HeaderOf(char16_t* data) { return reinterpret_cast<Header*>(data) - 1; }
  static const Header* HeaderOf(const char16_t* data) {
    return reinterpret_cast<const Header*>(data) - 1;
  }

  static char16_t* Allocate(size_t length) {
    void* block = vf::SharedHeapAlloc(sizeof(Header) + (length + 1) * sizeof(char16_t));
    if (block == nullptr) return nullptr;
    auto* header = static_cast<Header*>(block);
    header->length = length;
    auto* data = reinterpret_cast<char16_t*>(header + 1);
    data[length] = u'\0';
    return data;
  }

  void Release() {
    if (m_pData) vf::SharedHeapFree(HeaderOf(m_pData));
    m_pData = nullptr;
  }

  char16_t* m_pData = nullptr;
};

static_assert(sizeof(CWideString) == sizeof(void*), "the shared string is one pointer-sized handle");
