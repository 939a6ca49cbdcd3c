// Joining the sentences of multi-sentence messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nmea/fragment_store.h"

namespace {

using vf::nmea::FragmentStore;

struct Arrival {
  uint8_t count, number, sequenceId;
  std::string payload;
};

// Feeds the arrivals one by one, assembling after each as the receive loop
// does; returns the joined payloads in the order they were decoded.
std::vector<std::string> Feed(FragmentStore& store, const std::vector<Arrival>& arrivals) {
  std::vector<std::string> decoded;
  for (const Arrival& a : arrivals) {
    store.Append(a.count, a.number, a.sequenceId, a.payload);
    store.AssembleFragments([&](std::string_view payload) { decoded.emplace_back(payload); });
  }
  return decoded;
}

struct AssemblyCase {
  const char* what;
  std::vector<Arrival> arrivals;
  std::vector<std::string> decoded;
  std::vector<std::string> leftInStore;
};

void PrintTo(const AssemblyCase& c, std::ostream* out) { *out << c.what; }

class Assembly : public testing::TestWithParam<AssemblyCase> {};

TEST_P(Assembly, DecodesCompleteMessagesAndKeepsTheRest) {
  FragmentStore store;
  EXPECT_EQ(Feed(store, GetParam().arrivals), GetParam().decoded);
  std::vector<std::string> left;
  for (size_t i = 0; i < store.Size(); ++i) left.push_back(store[i].pszPayload);
  EXPECT_EQ(left, GetParam().leftInStore);
}

INSTANTIATE_TEST_SUITE_P(
    Fragments, Assembly,
    testing::Values(
        AssemblyCase{"single sentence", {{1, 1, 0, "single"}}, {"single"}, {}},
        AssemblyCase{"second sentence first", {{2, 2, 1, "-two"}, {2, 1, 1, "one"}}, {"one-two"}, {}},
        AssemblyCase{"interleaved ids",
                     {{2, 1, 3, "3a"}, {2, 1, 4, "4a"}, {2, 2, 3, "3b"}, {2, 2, 4, "4b"}},
                     {"3a3b", "4a4b"},
                     {}},
        AssemblyCase{"lost second sentence: the newer first sentence wins",
                     {{2, 1, 5, "old1"}, {2, 1, 5, "new1"}, {2, 2, 5, "new2"}},
                     {"new1new2"},
                     {"old1"}},
        AssemblyCase{"lost first sentence: the old second one completes the next message",
                     {{2, 2, 6, "old2"}, {2, 1, 6, "new1"}, {2, 2, 6, "new2"}},
                     {"new1old2"},
                     {"new2"}},
        AssemblyCase{"channels are not compared", {{2, 1, 7, "A"}, {2, 2, 7, "B"}}, {"AB"}, {}},
        AssemblyCase{"the count of sentence 1 rules", {{2, 2, 8, "b"}, {3, 3, 8, "c"}, {2, 1, 8, "a"}}, {"ab"}, {"c"}},
        AssemblyCase{"a number above the count is never used", {{1, 2, 0, "x"}, {1, 1, 0, "y"}}, {"y"}, {"x"}},
        AssemblyCase{"three sentences in any order",
                     {{3, 3, 9, "3"}, {3, 1, 9, "1"}, {3, 2, 9, "2"}},
                     {"123"},
                     {}},
        AssemblyCase{"an empty payload joins as nothing", {{2, 1, 2, ""}, {2, 2, 2, "tail"}}, {"tail"}, {}},
        AssemblyCase{"one message per id and run, in id order",
                     {{2, 2, 4, "4b"}, {2, 2, 1, "1b"}, {1, 1, 0, "zero"}, {2, 1, 1, "1a"}, {2, 1, 4, "4a"}},
                     {"zero", "1a1b", "4a4b"},
                     {}}));

TEST(FragmentStore, IsBoundedByEvictingTheOldest) {
  FragmentStore store(4);
  for (int i = 0; i < 10; ++i) store.Append(2, 1, static_cast<uint8_t>(i % 10), "p" + std::to_string(i));
  ASSERT_EQ(store.Size(), 4u);
  EXPECT_EQ(store[0].pszPayload, "p6");
  EXPECT_EQ(store[3].pszPayload, "p9");
  std::vector<std::string> decoded;
  store.Append(2, 2, 9, "-end");
  store.AssembleFragments([&](std::string_view payload) { decoded.emplace_back(payload); });
  EXPECT_EQ(decoded, std::vector<std::string>{"p9-end"}) << "fragments still stored keep the matching rules";
}

// With "FRAGMENTAGE": the lost-first-sentence case above, but the old second
// sentence has aged out before the next message begins.
TEST(FragmentStore, FragmentsOlderThanTheirAgeAreDropped) {
  FragmentStore store;
  std::vector<std::string> decoded;
  const auto decode = [&](std::string_view payload) { decoded.emplace_back(payload); };
  store.Append(2, 2, 6, "old2", 1000);
  store.Append(2, 1, 3, "kept", 4000);
  EXPECT_EQ(store.DropOlderThan(4000, 3000), 0u) << "3 s old is not older than 3 s";
  ASSERT_EQ(store.DropOlderThan(4001, 3000), 1u);
  ASSERT_EQ(store.Size(), 1u);
  store.Append(2, 1, 6, "new1", 4001);
  store.AssembleFragments(decode);
  EXPECT_TRUE(decoded.empty());
  store.Append(2, 2, 6, "new2", 4002);
  store.Append(2, 2, 3, "+", 4002);
  store.AssembleFragments(decode);
  EXPECT_EQ(decoded, (std::vector<std::string>{"kept+", "new1new2"}));
  store.Append(2, 1, 0, "wrap", 0xFFFFFF00u);  // the tick count wraps: ages are differences
  EXPECT_EQ(store.DropOlderThan(0x100u, 3000), 0u);
}

}  // namespace
