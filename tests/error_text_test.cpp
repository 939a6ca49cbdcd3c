// Every link error code finds its own message; anything else is unknown.
// (Each message is seen whole in the trace lines of the link tests.)
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "links/error_text.h"

namespace {

TEST(ErrorText, EachCodeFindsItsOwnMessageAndOtherCodesAreUnknown) {
  std::set<std::u16string> messages;
  CWideString text(u"previous text");
#define AIS_CHECK_LINK_ERROR(name, code, message)                           \
  EXPECT_EQ(GetErrorText(name, text).View(), std::u16string_view(message)); \
  messages.emplace(text.View());
  AIS_LINK_ERRORS(AIS_CHECK_LINK_ERROR)
#undef AIS_CHECK_LINK_ERROR
  EXPECT_EQ(messages.size(), 22u);
  for (int32_t code : {10207, 10218, 10229, 10237, -1, 2147483647}) {
    EXPECT_EQ(&GetErrorText(code, text), &text);
    EXPECT_EQ(text.View(), u"Unknown Error") << code;
  }
}

}  // namespace
