#include <cstring>

#include "ais/decoders.h"
#include "ais/payload_bits.h"

namespace vf::ais {
namespace {

constexpr size_t kShortestPayload = 7;  // the message id and the whole MMSI

}  // namespace

int32_t DecodeAisPayload(CPluginApp& app, const char* text) {
  if (text == nullptr) return -1;
  const std::string_view payload(text, std::strlen(text));
  if (payload.size() < kShortestPayload) return -1;
  if (ExtractBits(payload, kMmsiField) == 0) return -1;
  // The first character carries the type: '1' is type 1, 'H' type 24.
  switch (payload[0]) {
    case '1':
    case '2':
    case '3':
      return DecodePositionReport(app, payload);
    case '4':
      return DecodeBaseStationReport(app, payload);
    case '5':
      return DecodeStaticVoyageData(app, payload);
    case 'B':
      return DecodeClassBPosition(app, payload);
    case 'H':
      return DecodeClassBStatic(app, payload);
    default:
      return -1;  // type 0, types without a decoder, and characters that are no type
  }
}

}  // namespace vf::ais
