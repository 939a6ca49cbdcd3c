// Virtual tables as Microsoft's C++ compiler lays them out, for a module that
// GCC (MinGW-w64) builds for a host that Microsoft's compiler built.
//
// GCC gives a class the Itanium table: two slots for a virtual destructor and
// type information in front of it, so an MSVC host calling its slot 1 (Clone)
// would reach GCC's deleting destructor. The classes that cross to the host
// therefore carry a table pointer of their own, pointing at a table laid out
// here:
//
//   table[-1]  the complete object locator (run-time type information,
//              ais_msvc_rtti.S), which typeid and dynamic_cast read
//   table[0]   the scalar deleting destructor: void* (this, unsigned flags);
//              flags bit 0 set means free the object after destroying it
//   table[1]   Clone, for the records only
//
// `delete object` goes through slot 0 (a destroying operator delete), and
// Clone() through slot 1, so code that uses these classes reads as it would
// with ordinary virtual functions.
#pragma once

#include <cstddef>
#include <new>

class CGlobalData;
class CCfgDevice;
class CRawData;
class CRawDataAis;

// The locators, one per class (ais_msvc_rtti.S).
extern "C" const char vf_col_CRawData[];
extern "C" const char vf_col_CRawDataAis[];
extern "C" const char vf_col_CCfgDevice[];
extern "C" const char vf_col_CGlobalData[];

namespace vf::msabi {

constexpr unsigned kDeleteObject = 1;  // bit 0; bit 1 (arrays) never applies: no array crosses

using ScalarDeletingDestructor = void* (*)(void* self, unsigned flags);

struct DestructorSlots {
  ScalarDeletingDestructor destroy;
};

struct RecordSlots {
  ScalarDeletingDestructor destroy;
  CRawData* (*clone)(const void* self);
};

// What an object's table pointer points into: the slots, with the locator
// in the word before them.
template <typename Slots>
struct VirtualTable {
  const void* completeObjectLocator;
  Slots slots;
};

template <typename T>
void* DestroyObject(void* self, unsigned flags) {
  T* object = static_cast<T*>(self);
  object->~T();
  if ((flags & kDeleteObject) != 0) ::operator delete(self);
  return self;
}

// The table pointer at offset 0, and deletion through slot 0. The module that
// made an object also frees it: its table leads back into that module.
template <typename Slots>
class TableObject {
 public:
  static void* operator new(std::size_t size) { return ::operator new(size); }
  static void* operator new(std::size_t size, const std::nothrow_t& tag) noexcept { return ::operator new(size, tag); }
  static void operator delete(TableObject* object, std::destroying_delete_t) {
    object->m_pTable->destroy(object, kDeleteObject);
  }
  static void operator delete(void* block) { ::operator delete(block); }  // for a constructor that threw

 protected:
  explicit TableObject(const Slots* table) : m_pTable(table) {}
  TableObject(const TableObject&) = default;
  TableObject& operator=(const TableObject&) { return *this; }  // an object keeps its own table
  ~TableObject() = default;

  const Slots* m_pTable;
};

// Each module that uses the classes has these tables; its objects point at them.
inline CRawData* CloneNothing(const void*) { return nullptr; }
inline CRawData* CloneRecord(const void* self);  // with CRawDataAis (ais_plugin.h)

inline constexpr VirtualTable<DestructorSlots> kCGlobalDataTable{vf_col_CGlobalData, {&DestroyObject<CGlobalData>}};
inline constexpr VirtualTable<DestructorSlots> kCCfgDeviceTable{vf_col_CCfgDevice, {&DestroyObject<CCfgDevice>}};
inline constexpr VirtualTable<RecordSlots> kCRawDataTable{vf_col_CRawData, {&DestroyObject<CRawData>, &CloneNothing}};
inline constexpr VirtualTable<RecordSlots> kCRawDataAisTable{vf_col_CRawDataAis,
                                                             {&DestroyObject<CRawDataAis>, &CloneRecord}};

}  // namespace vf::msabi
