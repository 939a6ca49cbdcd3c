// Every link error code has its own fixed message; anything else is unknown.
// (Each message is seen whole in the trace lines of the link tests.)
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "links/error_text.h"

namespace {

TEST(ErrorText, EachCodeHasAMessageOfItsOwn) {
  std::set<std::u16string> messages;
  CWideString text(u"previous text");
#define AIS_CHECK_LINK_ERROR(name, code, message)                                                  \
  EXPECT_EQ(&GetErrorText(name, text), &text) << "the same string comes back for an expression"; \
  EXPECT_EQ(text.View(), std::u16string_view(message));                                          \
  messages.emplace(text.View());
  AIS_LINK_ERRORS(AIS_CHECK_LINK_ERROR)
#undef AIS_CHECK_LINK_ERROR
  EXPECT_EQ(messages.size(), 21u);
  EXPECT_EQ(GetErrorText(kTcpConnectTimeout, text).View(),
            u"Failed to open TCP connection, timeout while trying to connect to host.");
}

TEST(ErrorText, GapsAndOtherCodesAreUnknown) {
  CWideString text;
  for (int32_t code : {10206, 10218, 10229, 10237, -1, 2147483647}) {
    EXPECT_EQ(GetErrorText(code, text).View(), u"Unknown Error") << code;
  }
}

}  // namespace
