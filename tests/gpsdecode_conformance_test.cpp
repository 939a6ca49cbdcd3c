// Every VDM line of real-world recordings through the plug-in's sentence
// path, compared with gpsd's independent decoder (gpsdecode -j).
//
// Differences that follow from the plug-in's own rules, and how they are
// normalised here:
//  - texts: the plug-in keeps "@" as U+0000 and trailing spaces; gpsd trims
//    both, so the plug-in's text is cut at its first U+0000 and trimmed;
//  - gpsd prints positions with six decimals: compared to within 1e-6;
//  - gpsd prints speed code 1023 as "nan"; the plug-in delivers 102.3;
//  - gpsd merges type 24 parts A and B; each plug-in record is compared with
//    the fields of its own part only;
//  - gpsd drops messages whose length is wrong for their type, which the
//    plug-in decodes with the missing bits read as 0: such plug-in records
//    have no partner and are not compared.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/sentence_rig.h"
#include "support/record_sink.h"

namespace {

struct Decoded {
  int type = 0;  // 1 for 1/2/3, 4, 5, 18, 24
  uint32_t mmsi = 0;
  double lat = 0, lon = 0, speed = 0, course = 0;
  int status = 15, shipType = 0, toBow = 0, toStern = 0, toPort = 0, toStarboard = 0;
  std::string callSign, name, destination;
  int part = -1;
};

std::string Value(const std::string& json, const std::string& key) {
  const std::string tag = "\"" + key + "\":";
  const size_t at = json.find(tag);
  if (at == std::string::npos) return {};
  size_t begin = at + tag.size();
  if (json[begin] == '"') {
    const size_t end = json.find('"', begin + 1);
    return json.substr(begin + 1, end - begin - 1);
  }
  const size_t end = json.find_first_of(",}", begin);
  return json.substr(begin, end - begin);
}

double Number(const std::string& json, const std::string& key) {
  const std::string text = Value(json, key);
  return text.empty() ? 0.0 : std::stod(text);
}

std::vector<Decoded> RunGpsdecode(const std::string& file) {
  std::vector<Decoded> out;
  FILE* pipe = popen(("gpsdecode -j < '" + file + "' 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    const std::string json = buffer;
    const int type = static_cast<int>(Number(json, "type"));
    if (type != 1 && type != 2 && type != 3 && type != 4 && type != 5 && type != 18 && type != 24) continue;
    Decoded d;
    d.type = type <= 3 ? 1 : type;
    d.mmsi = static_cast<uint32_t>(Number(json, "mmsi"));
    d.lat = Number(json, "lat");
    d.lon = Number(json, "lon");
    // gpsd prints the not-available speed as "nan"; the plug-in delivers the
    // code scaled like any other value.
    d.speed = Value(json, "speed") == "nan" ? 102.3 : Number(json, "speed");
    d.course = Number(json, "course");
    d.status = static_cast<int>(Number(json, "status"));
    d.shipType = static_cast<int>(Number(json, "shiptype"));
    d.toBow = static_cast<int>(Number(json, "to_bow"));
    d.toStern = static_cast<int>(Number(json, "to_stern"));
    d.toPort = static_cast<int>(Number(json, "to_port"));
    d.toStarboard = static_cast<int>(Number(json, "to_starboard"));
    d.callSign = Value(json, "callsign");
    d.name = Value(json, "shipname");
    d.destination = Value(json, "destination");
    out.push_back(d);
  }
  pclose(pipe);
  return out;
}

std::string Normalised(const CWideString& text) {
  std::string out;
  for (const char16_t ch : text.View()) {
    if (ch == 0) break;
    out += static_cast<char>(ch);
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::vector<Decoded> RunPlugin(const std::string& file) {
  vf::test::RecordSink sink;
  vf::test::SentenceRig rig(sink.Window());
  std::ifstream in(file, std::ios::binary);
  std::vector<Decoded> out;
  for (std::string line; std::getline(in, line);) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n' || line.back() == ' ')) line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    rig.Feed(std::u16string(line.begin(), line.end()));
    for (const auto& r : sink.TakeAll()) {
      Decoded d;
      switch (r->m_nContents) {
        case kContentsPosition: d.type = 1; break;
        case kContentsBaseStation: d.type = 4; break;
        case kContentsStaticVoyage: d.type = 5; break;
        case kContentsClassBPosition: d.type = 18; break;
        default: d.type = 24; d.part = r->m_nContents == kContentsStaticPartA ? 0 : 1; break;
      }
      d.mmsi = r->m_nMMSI;
      d.lat = r->m_dLatitude;
      d.lon = r->m_dLongitude;
      d.speed = r->m_dSpeed;
      d.course = r->m_dCourse;
      d.status = r->m_nNavStatus;
      d.shipType = r->m_nShipType;
      d.toBow = static_cast<int>(r->m_dToBow);
      d.toStern = static_cast<int>(r->m_dToStern);
      d.toPort = static_cast<int>(r->m_dToPort);
      d.toStarboard = static_cast<int>(r->m_dToStarboard);
      d.callSign = Normalised(r->m_strCallSign);
      d.name = Normalised(r->m_strName);
      d.destination = Normalised(r->m_strDestination);
      out.push_back(d);
    }
  }
  return out;
}

bool Near(double a, double b) { return std::fabs(a - b) <= 1.01e-6; }

// The fields of each message kind that both decoders give.
std::vector<std::string> Differences(const Decoded& ours, const Decoded& theirs) {
  std::vector<std::string> out;
  auto check = [&](bool same, const char* field) {
    if (!same) out.push_back(field);
  };
  if (ours.type == 1 || ours.type == 4 || ours.type == 18) {
    check(Near(ours.lat, theirs.lat), "lat");
    check(Near(ours.lon, theirs.lon), "lon");
  }
  if (ours.type == 1 || ours.type == 18) {
    check(Near(ours.speed, theirs.speed), "speed");
    check(Near(ours.course, theirs.course), "course");
  }
  if (ours.type == 1) check(ours.status == theirs.status, "status");
  const bool staticFields = ours.type == 5 || (ours.type == 24 && ours.part == 1);
  if (staticFields) {
    check(ours.shipType == theirs.shipType, "shiptype");
    check(ours.callSign == theirs.callSign, "callsign");
    check(ours.toBow == theirs.toBow && ours.toStern == theirs.toStern && ours.toPort == theirs.toPort &&
              ours.toStarboard == theirs.toStarboard,
          "dimensions");
  }
  if (ours.type == 5 || (ours.type == 24 && ours.part == 0)) check(ours.name == theirs.name, "shipname");
  if (ours.type == 5) check(ours.destination == theirs.destination, "destination");
  return out;
}

TEST(GpsdecodeConformance, EveryCommonMessageAgrees) {
  if (std::system("command -v gpsdecode >/dev/null 2>&1") != 0) GTEST_SKIP() << "gpsdecode (gpsd-clients) missing";
  if (!std::filesystem::is_directory(AIS_CORPUS_DIR)) GTEST_SKIP() << "no recordings at " AIS_CORPUS_DIR;
  size_t compared = 0, ours = 0, mismatches = 0;
  for (const auto& entry : std::filesystem::directory_iterator(AIS_CORPUS_DIR)) {
    const std::string file = entry.path().string();
    if (entry.path().extension() != ".log" && entry.path().extension() != ".aivdm") continue;
    const std::vector<Decoded> mine = RunPlugin(file);
    const std::vector<Decoded> reference = RunGpsdecode(file);
    ours += mine.size();
    // Both decode in input order; pair each of our records with the next
    // reference record of the same kind and station.
    size_t next = 0;
    for (const Decoded& d : mine) {
      size_t at = next;
      while (at < reference.size() && at < next + 8 && !(reference[at].mmsi == d.mmsi && reference[at].type == d.type)) {
        ++at;
      }
      if (at >= reference.size() || at >= next + 8) continue;
      next = at + 1;
      ++compared;
      const std::vector<std::string> diff = Differences(d, reference[at]);
      if (!diff.empty()) {
        ++mismatches;
        ADD_FAILURE() << entry.path().filename() << ": MMSI " << d.mmsi << " type " << d.type << " differs in "
                      << diff.front();
      }
    }
  }
  std::printf("compared %zu of %zu plug-in records with gpsdecode, %zu mismatches\n", compared, ours, mismatches);
  EXPECT_GT(compared, 100u);
  EXPECT_GE(compared * 10, ours * 9) << "nearly every record has a partner";
}

}  // namespace
