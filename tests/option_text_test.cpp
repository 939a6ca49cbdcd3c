// The option text of a device configuration and the configuration copy.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <tuple>

#include "ais_plugin.h"
#include "config/decimal_text.h"
#include "config/feed_options.h"
#include "config/option_text.h"

namespace {

struct CrcReadCase {
  std::u16string text;
  int32_t check;
  std::u16string option;
};

// Case names in the test listing: the option text, printable characters only.
std::string Shown(const std::u16string& text) {
  std::string shown = "\"";
  for (const char16_t c : text) shown += (c >= u' ' && c < 0x7F) ? static_cast<char>(c) : '.';
  return shown + "\"";
}
void PrintTo(const CrcReadCase& c, std::ostream* out) { *out << Shown(c.text); }

class CrcRead : public testing::TestWithParam<CrcReadCase> {};

TEST_P(CrcRead, ReadsTheFirstCrcEntry) {
  EXPECT_EQ(vf::GetCrcCheck(GetParam().text), GetParam().check);
  EXPECT_EQ(vf::GetCrcOption(GetParam().text), GetParam().option);
}

INSTANTIATE_TEST_SUITE_P(OptionText, CrcRead,
                         testing::Values(CrcReadCase{u"", 1, u""},                //
                                         CrcReadCase{u"CRC=0;", 0, u"0"},         //
                                         CrcReadCase{u"CRC= 0 ;", 0, u"0"},       // trimmed
                                         CrcReadCase{u"CRC=;", 1, u""},           // empty value
                                         CrcReadCase{u";;CRC=0;;", 0, u"0"},      // empty entries skipped
                                         CrcReadCase{u"CRC=1", 1, u"1"},          // no final separator
                                         CrcReadCase{u"CRC=2;", 2, u"2"},         //
                                         CrcReadCase{u"CRC=abc;", 0, u"abc"},     // not a number
                                         CrcReadCase{u"CRCX=0", 0, u"0"},         // only the key's start counts
                                         CrcReadCase{u"crc=0", 1, u""},           // case matters
                                         CrcReadCase{u"CRC=0;CRC=1;", 0, u"0"},   // the first wins
                                         CrcReadCase{u"A=1;CRC=x=0;", 0, u"0"},   // after the last "="
                                         CrcReadCase{u"CRC", 0, u"CRC"},          // no "=": the whole entry
                                         CrcReadCase{u"CRC=\t-7x;", -7, u"-7x"},  // read like wcstol
                                         CrcReadCase{u"B=2;;", 1, u""}));

struct CrcWriteCase {
  std::u16string before;
  std::u16string value;
  std::u16string after;
};

void PrintTo(const CrcWriteCase& c, std::ostream* out) { *out << Shown(c.before) << " <- " << Shown(c.value); }

class CrcWrite : public testing::TestWithParam<CrcWriteCase> {};

TEST_P(CrcWrite, RewritesTheCrcEntryInPlace) {
  std::u16string text = GetParam().before;
  vf::SetCrcOption(text, GetParam().value);
  EXPECT_EQ(text, GetParam().after);
  EXPECT_EQ(vf::GetCrcOption(text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(OptionText, CrcWrite,
                         testing::Values(CrcWriteCase{u"", u"1", u"CRC=1;"},                      //
                                         CrcWriteCase{u"CRC=1;", u"0", u"CRC=0;"},                //
                                         CrcWriteCase{u"A=1;CRC=1;B=2;", u"0", u"A=1;CRC=0;B=2;"},  // others stay
                                         CrcWriteCase{u"  A=1; ", u"1", u"A=1;CRC=1;"},           // text trimmed
                                         CrcWriteCase{u"A=1", u"0", u"A=1;CRC=0;"},               // kept apart
                                         CrcWriteCase{u"CRC=1;X;CRC=1;", u"0", u"CRC=0;X;CRC=0;"},  // every copy
                                         CrcWriteCase{u"CRC;", u"1", u"CRC=1;"}));                // gains a value

TEST(OptionText, EntriesAreCutAtAnySeparatorAndEmptyOnesSkipped) {
  EXPECT_EQ(vf::GetOptionEntry(u";a;;b,c;", 0, u";,"), u"a");
  EXPECT_EQ(vf::GetOptionEntry(u";a;;b,c;", 1, u";,"), u"b");
  EXPECT_EQ(vf::GetOptionEntry(u";a;;b,c;", 2, u";,"), u"c");
  EXPECT_EQ(vf::GetOptionEntry(u";a;;b,c;", 3, u";,"), u"");
  EXPECT_EQ(vf::GetOptionEntry(u";;;", 0, u";"), u"");
}

// The numbers in sentences (checksum, fragment fields), option entries and
// the trace counter are read as the Windows C run-time reads them, where
// long is 32 bits. The oracle is this machine's C library on 64 bits with
// that one rule applied to every case: a magnitude beyond 32 bits saturates
// (strtoul to 2^32-1, then a minus negates it modulo 2^32; wcstol to the
// 32-bit ends).
uint32_t StrtoulOf32Bits(const std::string& text, int base) {
  errno = 0;
  const unsigned long long read = std::strtoull(text.c_str(), nullptr, base);
  if (errno == ERANGE) return UINT32_MAX;
  const size_t first = text.find_first_not_of(" \t\n\v\f\r");
  const bool negative = first != std::string::npos && text[first] == '-';
  const unsigned long long magnitude = negative ? 0ull - read : read;
  if (magnitude > UINT32_MAX) return UINT32_MAX;
  return negative ? 0u - static_cast<uint32_t>(magnitude) : static_cast<uint32_t>(magnitude);
}

int32_t WcstolOf32Bits(const std::string& text) {
  const std::wstring wide(text.begin(), text.end());
  const long long read = std::wcstoll(wide.c_str(), nullptr, 10);
  return static_cast<int32_t>(read < INT32_MIN ? INT32_MIN : read > INT32_MAX ? INT32_MAX : read);
}

TEST(NumberText, ReadAsTheWindowsRunTimeReadsThem) {
  const char* const texts[] = {"",           " ",          "7",          "1a",          "1A*",        "ff",
                               "0x1F",       "0X1f",       "0x",         "0xg",         "0x0x1",      "  +7",
                               "-1",         "-0x10",      "z",          "12 3",        "00017",      "+",
                               "-",          "\t\n\v\f\r5", "4294967295", "4294967296",  "-4294967295", "2147483647",
                               "2147483648", "-2147483648", "-2147483649", "99999999999999999999", "1e3", "9,"};
  for (const char* text : texts) {
    SCOPED_TRACE(std::string("\"") + text + "\"");
    EXPECT_EQ(vf::ParseUnsigned(text, 16), StrtoulOf32Bits(text, 16));
    EXPECT_EQ(vf::ParseUnsigned(text, 10), StrtoulOf32Bits(text, 10));
    const std::string narrow(text);
    EXPECT_EQ(vf::ParseSignedDecimal(std::u16string(narrow.begin(), narrow.end())), WcstolOf32Bits(text));
  }
}

TEST(DeviceConfiguration, CopyTakesIntegersAndStringsButNotTheGlobalData) {
  const auto fields = [](CCfgDevice& c) {
    return std::tie(c.m_nDeviceId, c.m_nConnectionType, c.m_nSerialPort, c.m_nSerialSpeed, c.m_nSerialFormat,
                    c.m_nSocketType, c.m_nIpPort, c.m_nRemoteIpPort, c.m_nSpare, c.m_nTimeOffset, c.m_nSerialTimeout);
  };
  CCfgDevice source;
  fields(source) = std::tuple(100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110);
  source.m_strHostAddress = u"ais.example.net";
  source.m_strOptions = u"CRC=0;";
  source.m_strSpare = u"spare";
  source.m_pGlobalData->m_nIndex = 7;

  CCfgDevice target;
  CGlobalData* ownData = target.m_pGlobalData;
  target = source;
  EXPECT_EQ(target.m_pGlobalData, ownData);
  EXPECT_EQ(target.m_pGlobalData->m_nIndex, 0);
  EXPECT_EQ(fields(target), fields(source));
  EXPECT_EQ(std::tuple(target.m_strHostAddress.View(), target.m_strOptions.View(), target.m_strSpare.View()),
            std::tuple(u"ais.example.net", u"CRC=0;", u"spare"));
  target.m_strOptions = u"CRC=1;";  // copy on write: the records share text until one writes
  EXPECT_EQ(source.m_strOptions.View(), u"CRC=0;");
}

// Each behaviour that is on by default: off with its own "=0", off with
// LITERAL=1, and on again with its own entry beside LITERAL=1.
TEST(FeedOptions, EachDefaultSwitchesOffAloneOrWithLiteral) {
  const struct {
    const char16_t* key;
    bool vf::FeedOptions::*field;
  } switches[] = {
      {u"TAGBLOCK", &vf::FeedOptions::tagBlocks},           {u"UDPLINES", &vf::FeedOptions::datagramLines},
      {u"RECONNECT", &vf::FeedOptions::reconnect},          {u"WHOLEBITS", &vf::FeedOptions::wholeBits},
      {u"WAITFORHOST", &vf::FeedOptions::waitForHost},      {u"REFUSED", &vf::FeedOptions::refusalEndsConnectWait},
      {u"WALLCLOCK", &vf::FeedOptions::followWallClock},    {u"UDPEXCLUSIVE", &vf::FeedOptions::udpExclusivePort},
      {u"TRACEREPLACE", &vf::FeedOptions::replaceTrace},    {u"COUNTS", &vf::FeedOptions::dropCounts},
  };
  for (const auto& s : switches) {
    const std::u16string key(s.key);
    SCOPED_TRACE(std::string(key.begin(), key.end()));
    EXPECT_TRUE(vf::FeedOptions::Of(u"CRC=1;").*s.field);
    EXPECT_FALSE(vf::FeedOptions::Of(key + u"=0;").*s.field);
    EXPECT_FALSE(vf::FeedOptions::Of(u"LITERAL=1;").*s.field);
    EXPECT_TRUE(vf::FeedOptions::Of(u"LITERAL=1;" + key + u"=1;").*s.field);
  }
}

TEST(FeedOptions, UdpBufferSizes) {
  const struct {
    const char16_t* text;
    uint32_t kib;
  } cases[] = {{u"", 1024},          {u"UDPBUFFER=0;", 0},     {u"UDPBUFFER=64;", 64},    {u"UDPBUFFER=65536;", 65536},
               {u"UDPBUFFER=65537;", 1024}, {u"UDPBUFFER=x;", 1024}, {u"LITERAL=1;", 0}, {u"LITERAL=1;UDPBUFFER=8;", 8}};
  for (const auto& c : cases) {
    const std::u16string text(c.text);
    SCOPED_TRACE(std::string(text.begin(), text.end()));
    EXPECT_EQ(vf::FeedOptions::Of(text).udpReceiveBufferKiB, c.kib);
  }
}

}  // namespace
