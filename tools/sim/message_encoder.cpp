#include "message_encoder.h"

#include <cmath>

#include "payload_encoder.h"

namespace vf::sim {
namespace {

constexpr unsigned kRepeatIndicator = 0;

int64_t TenThousandthsOfMinute(double degrees) { return std::llround(degrees * 600000.0); }
uint64_t Tenths(double value) { return static_cast<uint64_t>(std::llround(value * 10.0)); }

EncodedPayload Finish(const PayloadWriter& writer, unsigned bits) {
  return {writer.Armoured(), (6 - bits % 6) % 6};
}

PayloadWriter Header(unsigned messageType, const Vessel& vessel) {
  PayloadWriter writer;
  writer.Put(messageType, 6).Put(kRepeatIndicator, 2).Put(vessel.mmsi, 30);
  return writer;
}

}  // namespace

EncodedPayload EncodePositionReport(const Vessel& vessel, unsigned messageType, const UtcTime& utc) {
  PayloadWriter writer = Header(messageType, vessel);
  writer.Put(vessel.navStatus, 4)
      .PutSigned(vessel.speedKnots == 0.0 ? 0 : 2, 8)  // rate of turn
      .Put(Tenths(vessel.speedKnots), 10)
      .Put(1, 1)  // position accuracy: high
      .PutSigned(TenThousandthsOfMinute(vessel.longitude), 28)
      .PutSigned(TenThousandthsOfMinute(vessel.latitude), 27)
      .Put(Tenths(vessel.courseDegrees), 12)
      .Put(vessel.headingDegrees, 9)
      .Put(utc.second, 6)
      .Put(0, 2)   // manoeuvre indicator: not available
      .Put(0, 3)   // spare
      .Put(0, 1)   // RAIM
      .Put(0, 19);  // radio status
  return Finish(writer, 168);
}

EncodedPayload EncodeBaseStationReport(const Vessel& station, const UtcTime& utc) {
  PayloadWriter writer = Header(4, station);
  writer.Put(utc.year, 14)
      .Put(utc.month, 4)
      .Put(utc.day, 5)
      .Put(utc.hour, 5)
      .Put(utc.minute, 6)
      .Put(utc.second, 6)
      .Put(1, 1)  // position accuracy: high
      .PutSigned(TenThousandthsOfMinute(station.longitude), 28)
      .PutSigned(TenThousandthsOfMinute(station.latitude), 27)
      .Put(7, 4)   // fixing device: surveyed
      .Put(0, 10)  // spare
      .Put(0, 1)   // RAIM
      .Put(0, 19);  // radio status
  return Finish(writer, 168);
}

EncodedPayload EncodeStaticVoyageData(const Vessel& vessel) {
  PayloadWriter writer = Header(5, vessel);
  writer.Put(0, 2)  // AIS version
      .Put(vessel.imo, 30)
      .PutText(vessel.callSign, 7)
      .PutText(vessel.name, 20)
      .Put(vessel.shipType, 8)
      .Put(vessel.toBow, 9)
      .Put(vessel.toStern, 9)
      .Put(vessel.toPort, 6)
      .Put(vessel.toStarboard, 6)
      .Put(1, 4)    // fixing device: GPS
      .Put(6, 4)    // ETA month
      .Put(15, 5)   // ETA day
      .Put(14, 5)   // ETA hour
      .Put(30, 6)   // ETA minute
      .Put(62, 8)   // draught, tenths of a metre
      .PutText(vessel.destination, 20)
      .Put(0, 1)    // DTE: available
      .Put(0, 1);   // spare
  return Finish(writer, 424);
}

EncodedPayload EncodeClassBPosition(const Vessel& vessel, const UtcTime& utc) {
  PayloadWriter writer = Header(18, vessel);
  writer.Put(0, 8)  // regional reserved
      .Put(Tenths(vessel.speedKnots), 10)
      .Put(0, 1)  // position accuracy: low
      .PutSigned(TenThousandthsOfMinute(vessel.longitude), 28)
      .PutSigned(TenThousandthsOfMinute(vessel.latitude), 27)
      .Put(Tenths(vessel.courseDegrees), 12)
      .Put(vessel.headingDegrees, 9)
      .Put(utc.second, 6)
      .Put(0, 2)  // regional reserved
      .Put(1, 1)  // carrier-sense unit
      .Put(0, 1)  // no display
      .Put(0, 1)  // no DSC
      .Put(1, 1)  // whole marine band
      .Put(1, 1)  // accepts message 22
      .Put(0, 1)  // autonomous mode
      .Put(0, 1)  // RAIM
      .Put(0, 20);  // radio status
  return Finish(writer, 168);
}

EncodedPayload EncodeClassBStatic(const Vessel& vessel, unsigned part) {
  PayloadWriter writer = Header(24, vessel);
  writer.Put(part, 2);
  if (part == 0) {
    writer.PutText(vessel.name, 20);
    return Finish(writer, 160);
  }
  writer.Put(vessel.shipType, 8)
      .PutText("VFSIM01", 7)  // vendor id
      .PutText(vessel.callSign, 7)
      .Put(vessel.toBow, 9)
      .Put(vessel.toStern, 9)
      .Put(vessel.toPort, 6)
      .Put(vessel.toStarboard, 6)
      .Put(0, 6);  // spare
  return Finish(writer, 168);
}

}  // namespace vf::sim
