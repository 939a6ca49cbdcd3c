// Every VDM line of real-world recordings through the plug-in's sentence
// path, each record put in ais-host's "--json gpsd" form, compared with gpsd's
// independent decoder (gpsdecode -j).
//
// Each record must print exactly the keys of the comparable fields that
// gpsdecode prints for its message, with the same values. The differences
// that follow from the plug-in's own rules are settled in that form: texts
// trimmed of "@" and spaces, positions to six decimals, speed codes 1023 and
// 1022 as "nan" and "fast", type 27's position to a tenth of a degree. Beyond
// it:
//  - gpsd merges type 24 parts A and B; each plug-in record carries the
//    fields of its own part only, and only those are compared;
//  - gpsd drops a message shorter than its type's standard length; the
//    plug-in decodes one that holds every field its record reads (a type 1
//    of 128 bits, a type 5 whose destination is cut short), and drops the
//    rest: a record that only one of the two made has no partner and is not
//    compared, for every record alike;
//  - the plug-in runs with its defaults (tag blocks taken, sentences joined
//    only in order on one channel, records only of bits that arrived) and
//    "OWNSHIP=1;TYPES=ALL", so that it takes what gpsd takes: own-ship
//    sentences and messages 9, 19, 21 and 27; gpsd prints the status of 27
//    as text, which the plug-in's record does not carry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "payload_encoder.h"
#include "record_format.h"
#include "support/sentence_rig.h"
#include "support/record_sink.h"

namespace {

struct Decoded {
  int type = 0;  // 1 for 1/2/3
  uint32_t mmsi = 0;
  std::string json;  // ours: ais-host's gpsd form; theirs: gpsdecode's line
};

// The keys of the fields that a record carries.
const char* const kComparedKeys[] = {"mmsi",   "status", "speed",    "lon",          "lat",        "course",
                                     "shiptype", "aid_type", "to_bow", "to_stern", "to_port", "to_starboard",
                                     "callsign", "shipname", "name",   "destination"};

// A key's value as it stands in the line, quotes dropped; nothing without it.
std::optional<std::string> Value(const std::string& json, const std::string& key) {
  const std::string tag = "\"" + key + "\":";
  const size_t at = json.find(tag);
  if (at == std::string::npos) return std::nullopt;
  const size_t begin = at + tag.size();
  if (json[begin] == '"') return json.substr(begin + 1, json.find('"', begin + 1) - begin - 1);
  return json.substr(begin, json.find_first_of(",}", begin) - begin);
}

std::vector<Decoded> RunGpsdecode(const std::string& file) {
  std::vector<Decoded> out;
  FILE* pipe = popen(("gpsdecode -j < '" + file + "' 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    const std::string json = buffer;
    const int type = std::atoi(Value(json, "type").value_or("0").c_str());
    if (type < 1 || type > 27 || ((1u << type) & 0x92C023Eu) == 0) continue;  // 1-5, 9, 18, 19, 21, 24, 27
    out.push_back({type <= 3 ? 1 : type, static_cast<uint32_t>(std::atoll(Value(json, "mmsi")->c_str())), json});
  }
  pclose(pipe);
  return out;
}

std::vector<Decoded> RunPlugin(const std::string& file) {
  static const std::map<uint16_t, int> kTypeOf = {
      {kContentsPosition, 1},        {kContentsBaseStation, 4},     {kContentsStaticVoyage, 5},
      {kContentsClassBPosition, 18}, {kContentsStaticPartA, 24},    {kContentsStaticPartB, 24},
      {kContentsSarAircraft, 9},     {kContentsExtendedClassB, 19}, {kContentsAidToNavigation, 21},
      {kContentsLongRange, 27}};
  vf::test::RecordSink sink;
  vf::test::SentenceRig rig(sink.Window());
  rig.SetOptions(u"OWNSHIP=1;TYPES=ALL");  // what gpsd takes beyond the defaults
  std::ifstream in(file, std::ios::binary);
  std::vector<Decoded> out;
  for (std::string line; std::getline(in, line);) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n' || line.back() == ' ')) line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    rig.Feed(line);
    for (const auto& r : sink.TakeAll()) {
      Decoded d{kTypeOf.at(r->m_nContents & ~kContentsOwnShip), r->m_nMMSI, {}};
      vf::host::AppendRecordGpsdJson(*r, d.json);
      out.push_back(d);
    }
  }
  return out;
}

// The compared keys that only one of the two prints, or that they print with
// different values.
std::vector<std::string> Differences(const Decoded& ours, const Decoded& theirs) {
  std::vector<std::string> out;
  for (const char* key : kComparedKeys) {
    if (ours.type == 27 && std::string(key) == "status") continue;
    if (ours.type == 24 && !Value(ours.json, key)) continue;  // the other part's, merged in by gpsd
    if (Value(ours.json, key) != Value(theirs.json, key)) out.push_back(key);
  }
  return out;
}

struct Tally {
  size_t compared = 0, ours = 0, theirs = 0, mismatches = 0;
};

// Both decode in input order; each of our records is paired with a
// reference record of the same kind and station near the same place: one
// that agrees, if there is one, else the first (a mismatch). A record that
// only one decoder made (gpsd drops some) may shift the other's by a few.
void CompareFile(const std::filesystem::path& file, Tally& tally) {
  constexpr size_t kReach = 8;
  const std::vector<Decoded> mine = RunPlugin(file.string());
  const std::vector<Decoded> reference = RunGpsdecode(file.string());
  tally.ours += mine.size();
  tally.theirs += reference.size();
  std::vector<bool> paired(reference.size(), false);
  size_t cursor = 0;  // past the last paired reference record
  for (const Decoded& d : mine) {
    std::optional<size_t> first, agreeing;
    for (size_t at = cursor > kReach ? cursor - kReach : 0; at < reference.size() && at < cursor + kReach; ++at) {
      if (paired[at] || reference[at].mmsi != d.mmsi || reference[at].type != d.type) continue;
      if (!first) first = at;
      if (Differences(d, reference[at]).empty()) {
        agreeing = at;
        break;
      }
    }
    if (!first) continue;
    const size_t at = agreeing.value_or(*first);
    paired[at] = true;
    cursor = std::max(cursor, at + 1);
    ++tally.compared;
    if (!agreeing) {
      ++tally.mismatches;
      ADD_FAILURE() << file.filename() << ": MMSI " << d.mmsi << " type " << d.type << " differs in "
                    << Differences(d, reference[at]).front() << "\n ours:   " << d.json
                    << "\n theirs: " << reference[at].json;
    }
  }
}

bool HaveGpsdecode() { return std::system("command -v gpsdecode >/dev/null 2>&1") == 0; }

TEST(GpsdecodeConformance, EveryCommonMessageOfTheRecordingsAgrees) {
  if (!HaveGpsdecode()) GTEST_SKIP() << "gpsdecode (gpsd-clients) missing";
  if (!std::filesystem::is_directory(AIS_CORPUS_DIR)) GTEST_SKIP() << "no recordings at " AIS_CORPUS_DIR;
  Tally tally;
  for (const auto& entry : std::filesystem::directory_iterator(AIS_CORPUS_DIR)) {
    if (entry.path().extension() == ".log" || entry.path().extension() == ".aivdm") CompareFile(entry.path(), tally);
  }
  std::printf("compared %zu of %zu plug-in records with gpsdecode's %zu, %zu mismatches\n", tally.compared,
              tally.ours, tally.theirs, tally.mismatches);
  EXPECT_GT(tally.compared, 100u);
  EXPECT_GE(tally.compared * 10, tally.ours * 9) << "nearly every record has a partner";
  EXPECT_GE(tally.ours, tally.theirs) << "gpsdecode found more messages of these types";
}

// Messages 9, 19, 21 and 27 with fields drawn at random over their ranges,
// the not-available codes among them (the recordings hold no type 27).
TEST(GpsdecodeConformance, GeneratedMessagesOfTheOptionalTypesAgree) {
  if (!HaveGpsdecode()) GTEST_SKIP() << "gpsdecode (gpsd-clients) missing";
  uint32_t seed = 2718;
  const auto draw = [&seed](uint32_t bits) {
    seed = seed * 1664525u + 1013904223u;
    return bits >= 32 ? seed : (seed >> 3) % (1u << bits);
  };
  const auto mmsi = [&draw] { return 200000000 + draw(26); };
  const auto text = [&draw](vf::sim::PayloadWriter& w, unsigned characters) {
    std::string name;
    for (unsigned i = 0; i < characters; ++i) name += "ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789"[draw(32) % 37];
    w.PutText(name, characters);
  };
  const auto position = [&draw](vf::sim::PayloadWriter& w, unsigned lonBits, unsigned latBits, int32_t scale) {
    w.PutSigned(static_cast<int32_t>(draw(24) % (360 * scale)) - 180 * scale, lonBits);
    w.PutSigned(static_cast<int32_t>(draw(24) % (180 * scale)) - 90 * scale, latBits);
  };
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "ais-optional-types.nmea";
  {
    std::ofstream out(file, std::ios::binary);
    for (int i = 0; i < 200; ++i) {
      vf::sim::PayloadWriter w;
      switch (i % 4) {
        case 0:
          w.Put(9, 6).Put(0, 2).Put(111000000 + draw(20), 30).Put(draw(12), 12).Put(draw(10), 10).Put(0, 1);
          position(w, 28, 27, 600000);
          w.Put(draw(12) % 3601, 12).Put(0, 40);
          break;
        case 1:
          w.Put(19, 6).Put(0, 2).Put(mmsi(), 30).Put(0, 8).Put(draw(10) % 1023, 10).Put(0, 1);
          position(w, 28, 27, 600000);
          w.Put(draw(12) % 3600, 12).Put(511, 9).Put(60, 6).Put(0, 4);
          text(w, 20);
          w.Put(draw(8), 8).Put(draw(9), 9).Put(draw(9), 9).Put(draw(6), 6).Put(draw(6), 6).Put(0, 11);
          break;
        case 2:
          w.Put(21, 6).Put(0, 2).Put(990000000 + draw(20), 30).Put(draw(5), 5);
          text(w, 20);
          w.Put(0, 1);
          position(w, 28, 27, 600000);
          w.Put(draw(9), 9).Put(draw(9), 9).Put(draw(6), 6).Put(draw(6), 6).Put(0, 23);
          if (i % 8 == 2) text(w, 1 + draw(4) % 14);  // the name's extension
          break;
        default:
          w.Put(27, 6).Put(0, 2).Put(mmsi(), 30).Put(0, 2).Put(draw(4), 4);
          position(w, 18, 17, 600);
          w.Put(draw(6), 6).Put(draw(9), 9).Put(0, 2);
          break;
      }
      for (const std::string& sentence : vf::sim::VdmSentences(w.Armoured(), 0, -1, 'A')) out << sentence << "\r\n";
    }
  }
  Tally tally;
  CompareFile(file, tally);
  std::filesystem::remove(file);
  EXPECT_EQ(tally.compared, 200u) << "every generated message has its partner";
  EXPECT_EQ(tally.mismatches, 0u);
}

}  // namespace
