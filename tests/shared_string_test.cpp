// The shared wide string writes into a host's strings as ATL does: through
// the string's own manager, forking shared blocks, growing short ones with
// Reallocate, writing locked ones in place, and never freeing a nil string.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "ais_shared_string.h"

namespace {

// A host's manager that counts every call and knows its own blocks.
class CountingManager : public IAtlStringMgr {
 public:
  CountingManager() : IAtlStringMgr{&kTable} {}
  ~CountingManager() {
    for (CStringData* block : m_blocks) std::free(block);
  }

  int allocations = 0, frees = 0, reallocations = 0, foreignFrees = 0;
  bool outOfMemory = false;
  int32_t NilReferences() const { return m_nil.header.nRefs; }

 private:
  static CountingManager& Self(IAtlStringMgr* self) { return *static_cast<CountingManager*>(self); }
  static CStringData* Allocate(IAtlStringMgr* self, int length, int charSize) {
    CountingManager& m = Self(self);
    if (m.outOfMemory) return nullptr;
    ++m.allocations;
    auto* data = static_cast<CStringData*>(std::malloc(sizeof(CStringData) + (length + 1) * charSize));
    *data = CStringData{self, 0, length, 1};
    m.m_blocks.insert(data);
    return data;
  }
  static void Free(IAtlStringMgr* self, CStringData* data) {
    CountingManager& m = Self(self);
    ++m.frees;
    if (m.m_blocks.erase(data) == 0) {
      ++m.foreignFrees;
      return;
    }
    std::free(data);
  }
  static CStringData* Reallocate(IAtlStringMgr* self, CStringData* data, int length, int charSize) {
    CountingManager& m = Self(self);
    if (m.outOfMemory) return nullptr;
    ++m.reallocations;
    m.m_blocks.erase(data);
    auto* grown = static_cast<CStringData*>(std::realloc(data, sizeof(CStringData) + (length + 1) * charSize));
    grown->nAllocLength = length;
    m.m_blocks.insert(grown);
    return grown;
  }
  static CStringData* GetNilString(IAtlStringMgr* self) {
    Self(self).m_nil.header.AddRef();
    return &Self(self).m_nil.header;
  }
  static IAtlStringMgr* Clone(IAtlStringMgr* self) { return self; }

  static constexpr Table kTable{&Allocate, &Free, &Reallocate, &GetNilString, &Clone};
  struct {
    CStringData header;
    char16_t characters[2];
  } m_nil{{this, 0, 0, 2}, {0, 0}};
  std::set<CStringData*> m_blocks;
};

CStringData* DataOf(const CWideString& text) {
  return reinterpret_cast<CStringData*>(const_cast<char16_t*>(text.GetString())) - 1;
}

TEST(SharedString, WritesIntoAHostStringThroughItsOwnManager) {
  CountingManager host;
  {
    CWideString text(&host);
    EXPECT_EQ(text.GetManager(), &host);
    EXPECT_EQ(host.NilReferences(), 3) << "empty: a reference to the manager's nil data";

    ASSERT_TRUE(text.Assign(u"Vestrafold AIS plugin"));  // nil is shared: a new block from the host
    EXPECT_EQ(text.View(), u"Vestrafold AIS plugin");
    EXPECT_EQ(text.GetManager(), &host);
    EXPECT_EQ(host.allocations, 1);

    ASSERT_TRUE(text.Assign(u"9.1.64"));  // fits: in place
    EXPECT_EQ(host.allocations, 1);
    EXPECT_EQ(text.GetString()[6], u'\0');

    CWideString other = text;  // one manager: the block is shared
    EXPECT_EQ(DataOf(other), DataOf(text));
    EXPECT_EQ(DataOf(text)->nRefs, 2);
    ASSERT_TRUE(text.Assign(u"forked"));  // shared: forked, the other keeps the block
    EXPECT_EQ(other.View(), u"9.1.64");
    EXPECT_EQ(DataOf(other)->nRefs, 1);
    EXPECT_EQ(host.allocations, 2);

    ASSERT_TRUE(text.Append(u", and grown past its block"));  // alone but short: Reallocate
    EXPECT_EQ(host.reallocations, 1);
    EXPECT_EQ(text.View(), u"forked, and grown past its block");

    ASSERT_TRUE(text.Assign(text.View().substr(8)));  // a text from its own buffer
    EXPECT_EQ(text.View(), u"and grown past its block");

    text.Empty();
    EXPECT_EQ(text.GetLength(), 0u);
    EXPECT_EQ(host.frees, 1);
  }
  EXPECT_EQ(host.allocations, host.frees);
  EXPECT_EQ(host.foreignFrees, 0);
  EXPECT_EQ(host.NilReferences(), 2) << "the nil data is never freed and keeps its own references";
}

TEST(SharedString, CopiesBetweenManagersGoThroughTheDestinationsManager) {
  CountingManager host;
  CWideString mine(u"from this module");
  {
    CWideString theirs(&host);
    theirs = mine;  // two managers: the characters are copied into a block of the host
    EXPECT_EQ(theirs.View(), u"from this module");
    EXPECT_EQ(theirs.GetManager(), &host);
    EXPECT_NE(DataOf(theirs), DataOf(mine));
    mine = theirs;  // and back, into this module's manager
    EXPECT_EQ(mine.GetManager(), vf::DefaultStringManager());
  }
  EXPECT_EQ(host.allocations, host.frees);
}

TEST(SharedString, ALockedStringIsWrittenInPlaceAndNeverShared) {
  CountingManager host;
  {
    CWideString locked(&host);
    ASSERT_TRUE(locked.Assign(u"a buffer the host holds"));
    DataOf(locked)->nRefs = -1;  // as GetBuffer/LockBuffer leave it
    ASSERT_TRUE(locked.Assign(u"written in place"));
    EXPECT_EQ(host.allocations, 1);
    CWideString copy = locked;
    EXPECT_NE(DataOf(copy), DataOf(locked));
    EXPECT_EQ(copy.View(), u"written in place");
    DataOf(locked)->nRefs = 1;
  }
  EXPECT_EQ(host.allocations, host.frees);
}

TEST(SharedString, AManagerWithoutMemoryLeavesTheTextAsItWas) {
  CountingManager host;
  CWideString text(&host);
  ASSERT_TRUE(text.Assign(u"kept"));
  host.outOfMemory = true;
  EXPECT_FALSE(text.Assign(u"a longer text that needs a bigger block"));
  EXPECT_FALSE(text.Append(u" and more than the block holds"));
  EXPECT_EQ(text.View(), u"kept");
  host.outOfMemory = false;
}

TEST(SharedString, ThePlugInAdoptsTheFirstHostManagerItIsHanded) {
  static CountingManager host;  // adopted for the rest of the process, like a host's
  static CountingManager later;
  vf::AdoptHostStringManager(&host);
  vf::AdoptHostStringManager(&later);
  CWideString made(u"a record's name");
  EXPECT_EQ(made.GetManager(), &host);
  EXPECT_EQ(later.allocations, 0);
}

}  // namespace
