#include "error_text.h"

#include <string_view>

namespace {

struct ErrorRow {
  int32_t code;
  std::u16string_view message;
};

#define AIS_LINK_ERROR_ROW(name, code, text) {name, text},
constexpr ErrorRow kErrorTable[] = {AIS_LINK_ERRORS(AIS_LINK_ERROR_ROW)};
#undef AIS_LINK_ERROR_ROW

}  // namespace

CWideString& GetErrorText(int32_t code, CWideString& text) {
  for (const ErrorRow& row : kErrorTable) {
    if (row.code == code) {
      text = row.message;
      return text;
    }
  }
  text = u"Unknown Error";
  return text;
}
