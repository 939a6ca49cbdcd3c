#include "traffic.h"

#include <chrono>

#include "message_encoder.h"
#include "payload_encoder.h"

namespace vf::sim {
namespace {

constexpr double kStaticInterval = 360.0;  // six minutes
constexpr double kStaticPartBDelay = 1.0;  // part B follows part A
constexpr double kBaseStationInterval = 10.0;
constexpr double kClassBInterval = 30.0;
constexpr double kAnchoredInterval = 180.0;

UtcTime UtcAt(int64_t unixSeconds) {
  using namespace std::chrono;
  const sys_seconds time{seconds(unixSeconds)};
  const sys_days day = floor<days>(time);
  const year_month_day date{day};
  const hh_mm_ss clock{time - day};
  return {static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
          static_cast<int>(static_cast<unsigned>(date.day())), static_cast<int>(clock.hours().count()),
          static_cast<int>(clock.minutes().count()), static_cast<int>(clock.seconds().count())};
}

}  // namespace

Traffic::Traffic(size_t fleetSize, uint32_t seed, int64_t startUnixSeconds)
    : m_fleet(fleetSize, seed), m_random(seed ^ 0x5a5a5a5au), m_positionCount(m_fleet.Size(), 0),
      m_startUnixSeconds(startUnixSeconds) {
  std::uniform_real_distribution<double> firstHeard(0.0, 2.0);
  for (size_t station = 0; station < m_fleet.Size(); ++station) {
    m_due.push({firstHeard(m_random), station, Report::kPosition});
    if (m_fleet[station].kind != StationKind::kBaseStation) m_due.push({firstHeard(m_random), station, Report::kStatic});
  }
}

double Traffic::IntervalOf(const Vessel& vessel, Report report) {
  if (report != Report::kPosition) return kStaticInterval;
  switch (vessel.kind) {
    case StationKind::kBaseStation: return kBaseStationInterval;
    case StationKind::kClassB: return kClassBInterval;
    case StationKind::kClassA: break;
  }
  if (vessel.navStatus != 0) return kAnchoredInterval;
  if (vessel.speedKnots > 23) return 2.0;
  if (vessel.speedKnots > 14) return 6.0;
  return 10.0;
}

std::vector<std::string> Traffic::Sentences(const std::string& payload, unsigned fillBits) {
  // Receivers alternate between the two AIS channels; only messages of more
  // than one sentence take a sequence id, cycling 0 to 9.
  const char channel = (m_transmissions++ % 2 == 0) ? 'A' : 'B';
  const bool multiSentence = payload.size() > 60;
  const int sequenceId = multiSentence ? static_cast<int>(m_nextSequenceId) : -1;
  if (multiSentence) m_nextSequenceId = (m_nextSequenceId + 1) % 10;
  return VdmSentences(payload, fillBits, sequenceId, channel);
}

Transmission Traffic::Next() {
  const Due due = m_due.top();
  m_due.pop();
  m_fleet.Advance(due.time - m_now);
  m_now = due.time;
  const Vessel& vessel = m_fleet[due.station];
  const UtcTime utc = UtcAt(m_startUnixSeconds + static_cast<int64_t>(m_now));

  Transmission transmission;
  transmission.time = m_now;
  transmission.station = due.station;
  transmission.snapshot = vessel;
  EncodedPayload payload;
  switch (due.report) {
    case Report::kPosition:
      if (vessel.kind == StationKind::kBaseStation) {
        transmission.messageType = 4;
        payload = EncodeBaseStationReport(vessel, utc);
      } else if (vessel.kind == StationKind::kClassB) {
        transmission.messageType = 18;
        payload = EncodeClassBPosition(vessel, utc);
      } else {
        // Mostly scheduled reports (1); now and then an assigned (2) or an
        // interrogated (3) one.
        const unsigned count = m_positionCount[due.station]++;
        transmission.messageType = count % 7 == 6 ? 2 : (count % 5 == 4 ? 3 : 1);
        payload = EncodePositionReport(vessel, transmission.messageType, utc);
      }
      break;
    case Report::kStatic:
      if (vessel.kind == StationKind::kClassB) {
        transmission.messageType = 24;
        payload = EncodeClassBStatic(vessel, 0);
        m_due.push({m_now + kStaticPartBDelay, due.station, Report::kStaticPartB});
      } else {
        transmission.messageType = 5;
        payload = EncodeStaticVoyageData(vessel);
      }
      break;
    case Report::kStaticPartB:
      transmission.messageType = 24;
      transmission.part = 1;
      payload = EncodeClassBStatic(vessel, 1);
      break;
  }
  transmission.sentences = Sentences(payload.armoured, payload.fillBits);
  if (due.report != Report::kStaticPartB) m_due.push({m_now + IntervalOf(vessel, due.report), due.station, due.report});
  return transmission;
}

}  // namespace vf::sim
