// The sense tables: additional-sense pairs and command names.

#include <gtest/gtest.h>

#include <set>

#include "device/command_names.h"
#include "device/sense_texts.h"

namespace {

TEST(AdditionalSense, TableShape) {
  auto table = device::AdditionalSenseTable();
  EXPECT_EQ(table.size(), 255u);
  std::set<uint8_t> ascs;
  for (const auto& e : table) {
    ascs.insert(e.asc);
    EXPECT_FALSE(e.text.empty());
    for (char c : e.text) EXPECT_FALSE(c >= 'a' && c <= 'z') << e.text;
    EXPECT_EQ(device::AdditionalSenseText(e.asc, e.ascq), e.text);
  }
  EXPECT_EQ(ascs.size(), 69u);
  EXPECT_EQ(*ascs.begin(), 0x00);
  EXPECT_EQ(*ascs.rbegin(), 0x73);
}

TEST(AdditionalSense, TextsAndTheDecimalFallback) {
  struct {
    uint8_t asc, ascq;
    const char* text;
  } cases[] = {
      {0x00, 0x00, "NO ADDITIONAL SENSE INFORMATION"},
      {0x04, 0x08, "LOGICAL UNIT NOT READY, LONG WRITE IN PROGRESS"},
      {0x08, 0x03, "LOGICAL UNIT COMMUNICATION CRC ERROR (ULTRA-DMA/32)"},
      {0x0C, 0x09, "WRITE ERROR - LOSS OF STREAMING"},
      {0x18, 0x01, "RECOVERED DATA WITH ERROR CORR. & RETRIES APPLIED"},
      {0x30, 0x10, "MEDIUM NOT FORMATTED"},
      {0x5D, 0xFF, "FAILURE PREDICTION THRESHOLD EXCEEDED (FALSE)"},
      {0x6F, 0x05, "DRIVE REGION MUST BE PERMANENT/REGION RESET COUNT ERROR"},
      {0x73, 0x06, "RMA/PMA IS ALMOST FULL"},
      {0x58, 0x00, "88,0"},
      {0x3B, 0x00, "59,0"},
      {0x74, 0x00, "116,0"},
      {0xFF, 0xFF, "255,255"},
  };
  for (const auto& c : cases) EXPECT_EQ(device::AdditionalSenseText(c.asc, c.ascq), c.text);
}

TEST(SenseKey, EveryKey) {
  const char* by_key[16] = {"NO ADDITIONAL SENSE INFORMATION",
                            "RECOVERED ERROR",
                            "NOT READY",
                            "MEDIUM ERROR",
                            "HARDWARE ERROR",
                            "ILLEGAL REQUEST",
                            "UNIT ATTENTION",
                            "DATA PROTECT",
                            "ERASE CHECK",
                            "CHECK CONDITION",
                            "COPYABORTED",
                            "ABORTED COMMAND",
                            "CHECK CONDITION",
                            "VOLUME OVERFLOW",
                            "MISCOMPARE",
                            "RESERVED"};
  for (uint8_t key = 0; key < 16; ++key) {
    EXPECT_EQ(device::SenseKeyText(0x70, key), by_key[key]);
    EXPECT_EQ(device::SenseKeyText(0xF1, key), by_key[key]) << "valid bit and deferred errors";
  }
  EXPECT_EQ(device::SenseKeyText(0, 5), "");
  EXPECT_EQ(device::SenseKeyText(0x72, 5), "UNKNOWN") << "descriptor format";
  EXPECT_EQ(device::SenseKeyText(0x70, 0xE0), "FILEMARK");
  EXPECT_EQ(device::SenseKeyText(0x70, 0x60), "END OF MEDIA");
  EXPECT_EQ(device::SenseKeyText(0x70, 0x20), "ILLEGAL LENGTH");
}

TEST(CommandNames, NamedCodesArePaddedOthersAreHex) {
  const auto& names = CommandNames();
  int named = 0;
  for (int op = 0; op < 256; ++op) {
    if (names[op].size() == 22) {
      ++named;
    } else {
      char hex[3];
      std::snprintf(hex, sizeof hex, "%02X", op);
      EXPECT_EQ(names[op], hex);
    }
  }
  EXPECT_EQ(named, 51);
  EXPECT_EQ(names[0x00], "TEST UNIT READY       ");
  EXPECT_EQ(names[0x4A], "GET EVENT/STATUS NOTIF");
  EXPECT_EQ(names[0xBF], "SEND DVD STRUCTURE    ");
  EXPECT_EQ(names[0x02], "02");
  EXPECT_EQ(names[0xFF], "FF");
}

}  // namespace
