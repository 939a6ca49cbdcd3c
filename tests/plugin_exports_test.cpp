// The built plug-in library, loaded as a host loads it: its identity, and a
// run over TCP fed every real-world recording at once.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "plugin_library.h"
#include "support/loopback.h"
#include "support/record_sink.h"
#include "support/sentence_rig.h"
#include "support/trace_folder.h"

namespace {

class PluginExports : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(m_plugin.Load(AIS_PLUGIN_PATH, error)) << error;
  }
  const vf::host::PluginExports& Api() const { return m_plugin.Exports(); }
  uint32_t Status() const {
    uint32_t status = 99;
    Api().get_Status(&status);
    return status;
  }

  vf::test::TraceFolder m_folder;
  vf::host::PluginLibrary m_plugin;
};

std::u16string Read(void (*getter)(CWideString*)) {
  CWideString text(u"previous text is replaced");
  getter(&text);
  return std::u16string(text.View());
}

TEST_F(PluginExports, IdentityTypeAndStatus) {
  EXPECT_EQ(Read(Api().get_Version), u"9.1.64.0511");
  EXPECT_EQ(Read(Api().get_Name), u"Vestrafold AIS plugin");
  EXPECT_EQ(Read(Api().get_Desc), u"Plugin for generic AIS receivers");
  uint32_t type = 0;
  Api().get_Type(&type);
  EXPECT_EQ(type, 512u);
  EXPECT_EQ(Status(), kStatusStopped);
  EXPECT_EQ(Api().StopPlugin(), -1) << "nothing to stop";
}

// Every line of every recording, as a receiver sends them.
std::vector<std::string> CorpusLines() {
  std::vector<std::string> lines;
  for (const auto& entry : std::filesystem::directory_iterator(AIS_CORPUS_DIR)) {
    const std::string extension = entry.path().extension().string();
    if (extension != ".log" && extension != ".aivdm") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    for (std::string line; std::getline(in, line);) {
      while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
      lines.push_back(line);
    }
  }
  return lines;
}

using Summary = std::tuple<uint32_t, int32_t, double, double, std::u16string>;

Summary Summarise(const CRawDataAis& record) {
  return {record.m_nMMSI, record.m_nContents, record.m_dLatitude, record.m_dLongitude,
          std::u16string(record.m_strName.View())};
}

// What the sentence path makes of the lines, one at a time.
std::vector<Summary> Expected(const std::vector<std::string>& lines) {
  vf::test::RecordSink sink;
  vf::test::SentenceRig rig(sink.Window());
  std::vector<Summary> expected;
  for (const std::string& line : lines) {
    rig.Feed(line);
    for (const auto& record : sink.TakeAll()) expected.push_back(Summarise(*record));
  }
  return expected;
}

double UnixNow() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// The library delivers exactly the records that the sentence path gives line
// by line, in order, each stamped with the time it arrived.
TEST_F(PluginExports, EveryRecordingArrivesInOrderOverTcp) {
  const std::vector<std::string> lines = CorpusLines();
  ASSERT_GT(lines.size(), 3000u);
  const std::vector<Summary> expected = Expected(lines);
  ASSERT_GT(expected.size(), 1000u);

  vf::test::RecordSink sink;
  vf::test::TcpServer receiver;
  CCfgDevice config = vf::test::TcpClientConfig(receiver.Port());
  Api().put_Config(&config);
  Api().put_Parent(sink.Window());
  ASSERT_EQ(Api().StartPlugin(), 0);
  EXPECT_EQ(Api().StartPlugin(), -1) << "a second start is refused";
  ASSERT_TRUE(receiver.Accept());
  EXPECT_EQ(Status(), kStatusRunning);

  const double sentAt = UnixNow();
  std::string feed;
  for (const std::string& line : lines) feed += line + "\r\n";
  ASSERT_TRUE(receiver.Send(feed));
  const auto records = sink.Take(expected.size(), std::chrono::milliseconds(30000));
  const double receivedBy = UnixNow();
  EXPECT_EQ(Api().StopPlugin(), 0);
  EXPECT_EQ(Status(), kStatusStopped);
  Api().put_Parent(nullptr);

  ASSERT_EQ(records.size(), expected.size());
  double previous = 0;
  for (size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(Summarise(*records[i]), expected[i]) << "record " << i;
    // The plug-in's clock is anchored to the calendar once, so allow it a
    // second either way against this process's wall clock.
    EXPECT_GE(records[i]->m_dTime, sentAt - 1) << "record " << i;
    EXPECT_LE(records[i]->m_dTime, receivedBy + 1) << "record " << i;
    EXPECT_GE(records[i]->m_dTime, previous) << "record " << i;
    previous = records[i]->m_dTime;
  }
  EXPECT_TRUE(sink.TakeAll().empty());
}

}  // namespace
