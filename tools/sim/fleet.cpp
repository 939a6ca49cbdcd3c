#include "fleet.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace vf::sim {
namespace {

constexpr double kPi = 3.14159265358979323846;
// The area the fleet keeps to (degrees).
constexpr double kSouth = 58.80, kNorth = 59.40, kWest = 10.10, kEast = 10.90;

const char* const kShipNames[] = {"NORDLYS", "VESTFOLD STAR", "FJORDKONGEN", "SKAGEN TRADER", "OSLO EXPRESS",
                                  "TORGHATTEN", "BASTO IV", "COLOR MAGIC", "POLARSTJERNE", "HAVILA MERIDIAN",
                                  "STENA SAGA", "KRONPRINS", "MS LARVIK", "TJOME SUND", "BREVIK BULK"};
const char* const kCraftNames[] = {"SOLGLIMT", "BRIS", "MAAKE", "SJOROVER", "LYKKE", "SVALE", "TERNE", "BOLGEN"};
const char* const kDestinations[] = {"OSLO", "LARVIK", "HORTEN", "SANDEFJORD", "FREDRIKSHAVN", "KIEL", "GOTHENBURG",
                                     "TONSBERG"};
const int kShipTypes[] = {70, 71, 80, 60, 61, 52, 30};

double Uniform(std::mt19937& random, double low, double high) {
  return std::uniform_real_distribution<double>(low, high)(random);
}

template <typename T, size_t N>
const T& Pick(std::mt19937& random, const T (&items)[N]) {
  return items[std::uniform_int_distribution<size_t>(0, N - 1)(random)];
}

std::string CallSign(std::mt19937& random) {
  std::string sign = "LA";
  for (int i = 0; i < 3; ++i) sign += static_cast<char>('A' + std::uniform_int_distribution<int>(0, 25)(random));
  return sign;
}

Vessel BaseStation() {
  Vessel station;
  station.kind = StationKind::kBaseStation;
  station.mmsi = 2570001;  // 00 MID xxxx
  station.name = "FAERDER";
  station.latitude = 59.0270;
  station.longitude = 10.5240;
  return station;
}

Vessel ClassA(std::mt19937& random, size_t index) {
  Vessel ship;
  ship.kind = StationKind::kClassA;
  ship.mmsi = 257000000 + static_cast<uint32_t>(index) * 1013;
  ship.imo = 9000000 + static_cast<uint32_t>(index) * 7;
  ship.name = Pick(random, kShipNames);
  if (index >= std::size(kShipNames)) ship.name = ship.name.substr(0, 16) + " " + std::to_string(index % 100);
  ship.callSign = CallSign(random);
  ship.destination = Pick(random, kDestinations);
  ship.shipType = Pick(random, kShipTypes);
  ship.toBow = std::uniform_int_distribution<int>(20, 200)(random);
  ship.toStern = std::uniform_int_distribution<int>(10, 60)(random);
  ship.toPort = std::uniform_int_distribution<int>(4, 20)(random);
  ship.toStarboard = std::uniform_int_distribution<int>(4, 20)(random);
  const double mode = Uniform(random, 0, 1);
  ship.navStatus = mode < 0.8 ? 0 : (mode < 0.9 ? 1 : 5);
  ship.speedKnots = ship.navStatus == 0 ? Uniform(random, 6, 24) : 0.0;
  return ship;
}

Vessel ClassB(std::mt19937& random, size_t index) {
  Vessel craft;
  craft.kind = StationKind::kClassB;
  craft.mmsi = 258000000 + static_cast<uint32_t>(index) * 977;
  craft.name = std::string(Pick(random, kCraftNames)) + " " + std::to_string(index % 100);
  craft.callSign = CallSign(random);
  craft.shipType = 37;  // pleasure craft
  craft.toBow = std::uniform_int_distribution<int>(5, 12)(random);
  craft.toStern = std::uniform_int_distribution<int>(2, 4)(random);
  craft.toPort = 2;
  craft.toStarboard = 2;
  craft.speedKnots = Uniform(random, 2, 12);
  return craft;
}

}  // namespace

Fleet::Fleet(size_t size, uint32_t seed) : m_random(seed) {
  for (size_t index = 0; index < std::max<size_t>(size, 1); ++index) {
    if (index == 0) {
      m_vessels.push_back(BaseStation());
      continue;
    }
    Vessel vessel = index % 3 == 0 ? ClassB(m_random, index) : ClassA(m_random, index);
    vessel.latitude = Uniform(m_random, kSouth, kNorth);
    vessel.longitude = Uniform(m_random, kWest, kEast);
    vessel.courseDegrees = Uniform(m_random, 0, 360);
    vessel.headingDegrees = static_cast<int>(vessel.courseDegrees) % 360;
    m_vessels.push_back(vessel);
  }
}

void Fleet::Advance(double seconds) {
  for (Vessel& vessel : m_vessels) {
    if (vessel.kind == StationKind::kBaseStation || vessel.speedKnots == 0.0) continue;
    // A helmsman's drift: a few degrees per minute either way.
    vessel.courseDegrees += Uniform(m_random, -0.05, 0.05) * seconds;
    const double nauticalMiles = vessel.speedKnots * seconds / 3600.0;
    const double course = vessel.courseDegrees * kPi / 180.0;
    vessel.latitude += nauticalMiles * std::cos(course) / 60.0;
    vessel.longitude += nauticalMiles * std::sin(course) / (60.0 * std::cos(vessel.latitude * kPi / 180.0));
    if (vessel.latitude < kSouth || vessel.latitude > kNorth) vessel.courseDegrees = 180.0 - vessel.courseDegrees;
    if (vessel.longitude < kWest || vessel.longitude > kEast) vessel.courseDegrees = -vessel.courseDegrees;
    vessel.latitude = std::clamp(vessel.latitude, kSouth, kNorth);
    vessel.longitude = std::clamp(vessel.longitude, kWest, kEast);
    vessel.courseDegrees = std::fmod(vessel.courseDegrees + 360.0, 360.0);
    vessel.headingDegrees = static_cast<int>(vessel.courseDegrees) % 360;
  }
}

}  // namespace vf::sim
