// Every link error code has its fixed message; anything else is unknown.
#include <gtest/gtest.h>

#include <string>

#include "links/error_text.h"

namespace {

struct ErrorCase {
  int32_t code;
  const char16_t* message;
};

void PrintTo(const ErrorCase& c, std::ostream* out) { *out << c.code; }

class ErrorText : public testing::TestWithParam<ErrorCase> {};

TEST_P(ErrorText, GivesTheFixedMessage) {
  CWideString text(u"previous text");
  const CWideString& returned = GetErrorText(GetParam().code, text);
  EXPECT_EQ(&returned, &text) << "the same string comes back for use in an expression";
  EXPECT_EQ(text.View(), std::u16string_view(GetParam().message));
}

INSTANTIATE_TEST_SUITE_P(
    LinkErrors, ErrorText,
    testing::Values(
        ErrorCase{0, u"Succes"},
        ErrorCase{10201, u"Failed to open the selected serial port because it is already in use."},
        ErrorCase{10202, u"Failed to open the selected serial port because it not longer exist."},
        ErrorCase{10203, u"Failed to open the selected serial port because creating events failed."},
        ErrorCase{10204, u"Failed to open the selected serial port, unknown error."},
        ErrorCase{10205, u"Failed to open the serial port because the selected serial port number is invalid."},
        ErrorCase{10210, u"Failed to open TCP connection because the creation of the socket failed."},
        ErrorCase{10211, u"Failed to open TCP connection because the initialization of WinSock has failed."},
        ErrorCase{10212, u"Failed to open TCP connection, timeout while trying to connect to host."},
        ErrorCase{10213, u"Failed to open TCP connection, an error has ocurred while setting the socket reuse flag."},
        ErrorCase{10214, u"Failed to open TCP connection, an error has ocurred while setting the blocking flag."},
        ErrorCase{10215, u"Failed to open TCP connection because the specified hostname could not be resolved."},
        ErrorCase{10216, u"Failed to open TCP connection because the specified portnumer is invalid."},
        ErrorCase{10217, u"Failed to open TCP connection because the hostname or IP address is missing or invalid."},
        ErrorCase{10230, u"Failed to open UDP connection because the creation of the socket failed."},
        ErrorCase{10231, u"Failed to open UDP connection because the initialization of WinSock has failed."},
        ErrorCase{10232, u"Failed to open UDP connection, an error has occured whule setting the socket reuse flag."},
        ErrorCase{10233, u"Failed to open UDP connection. An error has occured while setting the blocking flag."},
        ErrorCase{10234,
                  u"Failed to open UDP connection. Failed to bind socket. The specified port could already be in use."},
        ErrorCase{10235, u"Failed to open UDP connection because the specified portnumber is invalid."},
        ErrorCase{10236, u"Failed to open UDP connection because the hostname or IP addess is missing or invalid."},
        // Gaps inside the group and codes outside it.
        ErrorCase{10206, u"Unknown Error"}, ErrorCase{10218, u"Unknown Error"}, ErrorCase{10229, u"Unknown Error"},
        ErrorCase{10237, u"Unknown Error"}, ErrorCase{-1, u"Unknown Error"},
        ErrorCase{2147483647, u"Unknown Error"}));

}  // namespace
