// The wide string type that host and plug-in share: the layout of ATL/MFC's
// CStringW, so that a host built with Microsoft's compiler hands its own
// strings to the plug-in and takes the plug-in's strings as its own.
//
// A CWideString is one pointer to NUL-terminated UTF-16 characters. In front
// of them sits a CStringData header naming the string manager that owns the
// block, the length, the capacity and a reference count:
//
//   nRefs > 1   shared: copies point at the same block (copy on write)
//   nRefs == 1  owned by one string
//   nRefs < 0   locked by a writer: never shared
//
// An empty string points at its manager's nil data, which counts as shared
// and is never freed. Every write goes through the string's own manager, as
// ATL's CSimpleStringT does it, so either side may write into or release the
// other's strings without ever freeing a block with a foreign heap.
#pragma once

// Every SDK header comes through here: one readable message for an older
// standard, instead of a page of errors about what C++20 added.
#if (defined(_MSVC_LANG) ? _MSVC_LANG : __cplusplus) < 202002L
#error "The Vestrafold AIS SDK needs C++20: compile with -std=c++20 (/std:c++20), or link VestrafoldAis::vfsystem from find_package(VestrafoldAis), which asks for it"
#include <vestrafold_ais_sdk_needs_cxx20>  // not a header: stops the compiler here
#endif

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>

static_assert(sizeof(void*) == 8, "the host contract is the 64-bit one");

struct IAtlStringMgr;

// ATL's CStringData; 24 bytes on x64, the characters follow it.
struct CStringData {
  IAtlStringMgr* pStringMgr;
  int32_t nDataLength;   // characters, without the terminating NUL
  int32_t nAllocLength;  // characters the block holds, without the NUL
  int32_t nRefs;         // "long" on Windows: 32 bits

  char16_t* data() { return reinterpret_cast<char16_t*>(this + 1); }
  // The count is read as other threads change it (the nil string is shared
  // by every empty string of a module): atomically, as it is written.
  int32_t Refs() const {
    return std::atomic_ref<int32_t>(const_cast<int32_t&>(nRefs)).load(std::memory_order_relaxed);
  }
  bool IsShared() const { return Refs() > 1; }
  bool IsLocked() const { return Refs() < 0; }
  void AddRef() { std::atomic_ref<int32_t>(nRefs).fetch_add(1, std::memory_order_relaxed); }
  inline void Release();
};
static_assert(sizeof(CStringData) == 24, "ATL's string header");

// ATL's IAtlStringMgr: an interface of five functions, in this slot order and
// without a destructor. The table is spelt out, so that one declaration calls
// an MSVC host's manager, a GCC one's, or the plug-in's own, on every compiler
// (on x64 a member call passes the object as the first argument).
struct IAtlStringMgr {
  struct Table {
    CStringData* (*Allocate)(IAtlStringMgr* self, int nAllocLength, int nCharSize);
    void (*Free)(IAtlStringMgr* self, CStringData* data);
    CStringData* (*Reallocate)(IAtlStringMgr* self, CStringData* data, int nAllocLength, int nCharSize);
    CStringData* (*GetNilString)(IAtlStringMgr* self);
    IAtlStringMgr* (*Clone)(IAtlStringMgr* self);
  };
  const Table* m_pTable;

  CStringData* Allocate(int nAllocLength, int nCharSize) { return m_pTable->Allocate(this, nAllocLength, nCharSize); }
  void Free(CStringData* data) { m_pTable->Free(this, data); }
  CStringData* Reallocate(CStringData* data, int nAllocLength, int nCharSize) {
    return m_pTable->Reallocate(this, data, nAllocLength, nCharSize);
  }
  CStringData* GetNilString() { return m_pTable->GetNilString(this); }
  IAtlStringMgr* Clone() { return m_pTable->Clone(this); }
};

inline void CStringData::Release() {
  if (std::atomic_ref<int32_t>(nRefs).fetch_sub(1, std::memory_order_acq_rel) - 1 <= 0) pStringMgr->Free(this);
}

namespace vf {

// A module's own string manager: the C heap, safe from any thread. Each module
// that includes this header has one.
class CSharedStringMgr : public IAtlStringMgr {
 public:
  constexpr CSharedStringMgr() : IAtlStringMgr{&kTable}, m_nil{{this, 0, 0, 2}, {0, 0}} {}

 private:
  struct NilData {
    CStringData header;  // nRefs starts at 2, so releases never bring it to 0
    char16_t characters[2];
  };

  static CStringData* Allocate(IAtlStringMgr* self, int nAllocLength, int nCharSize) {
    if (nAllocLength < 0 || nCharSize <= 0) return nullptr;
    const size_t bytes = BlockSize(nAllocLength, nCharSize);
    auto* data = static_cast<CStringData*>(std::malloc(bytes));
    if (data == nullptr) return nullptr;
    *data = CStringData{self, 0, nAllocLength, 1};
    return data;
  }
  static void Free(IAtlStringMgr*, CStringData* data) { std::free(data); }
  static CStringData* Reallocate(IAtlStringMgr*, CStringData* data, int nAllocLength, int nCharSize) {
    if (nAllocLength < 0 || nCharSize <= 0) return nullptr;
    auto* grown = static_cast<CStringData*>(std::realloc(data, BlockSize(nAllocLength, nCharSize)));
    if (grown != nullptr) grown->nAllocLength = nAllocLength;
    return grown;
  }
  static CStringData* GetNilString(IAtlStringMgr* self) {
    CStringData* nil = &static_cast<CSharedStringMgr*>(self)->m_nil.header;
    nil->AddRef();
    return nil;
  }
  static IAtlStringMgr* Clone(IAtlStringMgr* self) { return self; }

  static size_t BlockSize(int nAllocLength, int nCharSize) {
    return sizeof(CStringData) + (static_cast<size_t>(nAllocLength) + 1) * static_cast<size_t>(nCharSize);
  }

  static constexpr Table kTable{&Allocate, &Free, &Reallocate, &GetNilString, &Clone};
  NilData m_nil;
};

inline constinit CSharedStringMgr g_moduleStringMgr;
inline constinit std::atomic<IAtlStringMgr*> g_adoptedStringMgr{nullptr};

// The manager that this module's new strings use: the one adopted from the
// host, once there is one, else the module's own.
inline IAtlStringMgr* DefaultStringManager() {
  IAtlStringMgr* adopted = g_adoptedStringMgr.load(std::memory_order_acquire);
  return adopted != nullptr ? adopted : &g_moduleStringMgr;
}

// A plug-in calls this with the manager of a string its host handed in; the
// first one stays. ATL's rule: Clone() gives the manager meant for new strings.
inline void AdoptHostStringManager(IAtlStringMgr* hostManager) {
  if (hostManager == nullptr) return;
  IAtlStringMgr* wanted = hostManager->Clone();
  IAtlStringMgr* none = nullptr;
  if (wanted != nullptr) g_adoptedStringMgr.compare_exchange_strong(none, wanted, std::memory_order_acq_rel);
}

}  // namespace vf

class CWideString {
 public:
  CWideString() : CWideString(vf::DefaultStringManager()) {}
  explicit CWideString(IAtlStringMgr* manager) { Attach(manager->GetNilString()); }
  CWideString(const char16_t* text) : CWideString() { Assign(text != nullptr ? text : u""); }  // NOLINT: like CStringW
  CWideString(std::u16string_view text) : CWideString() { Assign(text); }  // NOLINT
  CWideString(const CWideString& other) {
    CStringData* shared = CloneData(other.GetData());
    Attach(shared != nullptr ? shared : vf::DefaultStringManager()->GetNilString());
  }
  ~CWideString() { GetData()->Release(); }

  CWideString& operator=(const CWideString& other) {
    CStringData* source = other.GetData();
    CStringData* old = GetData();
    if (source == old) return *this;
    if (old->IsLocked() || source->pStringMgr != old->pStringMgr) {
      Assign(other.View());
    } else if (CStringData* shared = CloneData(source)) {
      old->Release();
      Attach(shared);
    }
    return *this;
  }
  CWideString& operator=(std::u16string_view text) {
    Assign(text);
    return *this;
  }
  CWideString& operator=(const char16_t* text) { return *this = std::u16string_view(text != nullptr ? text : u""); }

  size_t GetLength() const { return static_cast<size_t>(GetData()->nDataLength); }
  bool IsEmpty() const { return GetLength() == 0; }
  const char16_t* GetString() const { return m_pszData; }  // always NUL-terminated
  std::u16string_view View() const { return {m_pszData, GetLength()}; }
  IAtlStringMgr* GetManager() const { return GetData()->pStringMgr; }

  // Returns false, and leaves the text as it was, when the manager has no memory.
  bool Assign(std::u16string_view text) {
    if (text.empty()) {
      Empty();
      return true;
    }
    if (text.size() > kMaxLength) return false;
    const int length = static_cast<int>(text.size());
    // The text may lie inside this string's own buffer, which a write may move.
    const size_t offset = OffsetInside(text);
    if (!PrepareWrite(length)) return false;
    const char16_t* from = offset != kOutside ? m_pszData + offset : text.data();
    std::memmove(m_pszData, from, text.size() * sizeof(char16_t));
    SetLength(length);
    return true;
  }

  bool Append(std::u16string_view text) {
    if (text.empty()) return true;
    if (text.size() > kMaxLength - GetLength()) return false;
    const int old_length = GetData()->nDataLength;
    const int length = old_length + static_cast<int>(text.size());
    const size_t offset = OffsetInside(text);
    if (!PrepareWrite(length)) return false;
    const char16_t* from = offset != kOutside ? m_pszData + offset : text.data();
    std::memmove(m_pszData + old_length, from, text.size() * sizeof(char16_t));
    SetLength(length);
    return true;
  }

  // Shortens the text to `length` characters and keeps this string's own
  // block, as ATL's Truncate does, so a reused line buffer allocates nothing.
  void Truncate(size_t length) {
    if (length >= GetLength()) return;
    if (!GetData()->IsShared()) {
      SetLength(static_cast<int>(length));
    } else if (length == 0) {
      Empty();
    } else {
      Assign(View().substr(0, length));
    }
  }

  void Empty() {
    CStringData* old = GetData();
    if (old->nDataLength == 0) return;
    if (old->IsLocked()) {
      SetLength(0);  // a locked buffer keeps its block
      return;
    }
    IAtlStringMgr* manager = old->pStringMgr;
    old->Release();
    Attach(manager->GetNilString());
  }

  friend bool operator==(const CWideString& a, const CWideString& b) { return a.View() == b.View(); }
  friend bool operator!=(const CWideString& a, const CWideString& b) { return !(a == b); }

 private:
  static constexpr size_t kMaxLength = static_cast<size_t>(std::numeric_limits<int>::max() / 2);

  static constexpr size_t kOutside = static_cast<size_t>(-1);

  // Where the text starts in this string's characters, or kOutside.
  size_t OffsetInside(std::u16string_view text) const {
    const auto start = reinterpret_cast<uintptr_t>(m_pszData);
    const auto at = reinterpret_cast<uintptr_t>(text.data());
    if (at < start || (at - start) / sizeof(char16_t) > GetLength()) return kOutside;
    return (at - start) / sizeof(char16_t);
  }

  CStringData* GetData() const { return reinterpret_cast<CStringData*>(m_pszData) - 1; }
  void Attach(CStringData* data) { m_pszData = data->data(); }
  void SetLength(int length) {
    GetData()->nDataLength = length;
    m_pszData[length] = u'\0';
  }

  // A copy of the data for another string: the same block when the source's
  // manager would hand out the same manager again and nobody holds it locked.
  static CStringData* CloneData(CStringData* source) {
    IAtlStringMgr* manager = source->pStringMgr->Clone();
    if (!source->IsLocked() && manager == source->pStringMgr) {
      source->AddRef();
      return source;
    }
    CStringData* copy = manager->Allocate(source->nDataLength, sizeof(char16_t));
    if (copy == nullptr) return nullptr;
    copy->nDataLength = source->nDataLength;
    std::memcpy(copy->data(), source->data(), (static_cast<size_t>(source->nDataLength) + 1) * sizeof(char16_t));
    return copy;
  }

  // Makes the block this string's alone and at least `length` long.
  bool PrepareWrite(int length) {
    CStringData* old = GetData();
    if (old->Refs() <= 1 && old->nAllocLength >= length) return true;
    if (old->nDataLength > length) length = old->nDataLength;
    if (old->IsShared()) {
      CStringData* fresh = old->pStringMgr->Clone()->Allocate(length, sizeof(char16_t));
      if (fresh == nullptr) return false;
      fresh->nDataLength = old->nDataLength;
      std::memcpy(fresh->data(), old->data(), (static_cast<size_t>(old->nDataLength) + 1) * sizeof(char16_t));
      old->Release();
      Attach(fresh);
      return true;
    }
    // Grow by half, as ATL does, so that appending in pieces stays linear.
    int grown = old->nAllocLength + old->nAllocLength / 2;
    if (grown < length) grown = length;
    CStringData* moved = old->pStringMgr->Reallocate(old, grown, sizeof(char16_t));
    if (moved == nullptr) return false;
    Attach(moved);
    return true;
  }

  char16_t* m_pszData;
};

static_assert(sizeof(CWideString) == sizeof(void*), "the shared string is one pointer to its characters");
