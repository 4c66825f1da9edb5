// Fault rules: what they say, and what they do to commands.

#include <gtest/gtest.h>

#include "vrec_fixture.h"

namespace vrec::test {
namespace {

TEST(VrecFaults, RulesParseAndPrintBack) {
  struct Case {
    const char* text;
    const char* printed;  // null: the rule is refused
  };
  const Case cases[] = {
      {"2A@300=03/0C/00", "2A@300=03/0C/00"},
      {"2a#4*2=02/04/08", "2A#4*2=02/04/08"},
      {"28@100-199=03/11/00", "28@100-199=03/11/00"},
      {"00*3=02/04/01", "00*3=02/04/01"},
      {"2A@5#2=busy", "2A@5#2=busy"},
      {"35=TIMEOUT", "35=timeout"},
      {"2A@1000*1=eject", "2A@1000*1=eject"},
      {"2A", nullptr},
      {"2A=", nullptr},
      {"2=03/0C/00", nullptr},
      {"ZZ=03/0C/00", nullptr},
      {"2A@=03/0C/00", nullptr},
      {"2A@9-3=03/0C/00", nullptr},
      {"2A#0=busy", nullptr},
      {"2A*0=busy", nullptr},
      {"2A*2#3=busy", nullptr},  // the parts come in their order only
      {"2A=3/0C/00", nullptr},
      {"2A=00/0C/00", nullptr},  // a check condition needs a sense key
      {"2A=03/0C/00/", nullptr},
      {"2A@99999999999=busy", nullptr},
  };
  for (const Case& c : cases) {
    std::string error;
    auto rule = ParseFaultRule(c.text, &error);
    if (c.printed == nullptr) {
      EXPECT_FALSE(rule) << c.text;
      EXPECT_NE(error.find(c.text), std::string::npos) << error;
      continue;
    }
    ASSERT_TRUE(rule) << c.text << ": " << error;
    EXPECT_EQ(FormatFaultRule(*rule), c.printed);
  }
}

TEST(VrecFaults, AWriteErrorAtABlockFailsTheWritesThatTouchIt) {
  Recorder r;
  r.AddFault("2A@300=03/0C/00");
  ASSERT_EQ(r.SetWriteParameters(mmc::kWriteTypeTao, true).status, kStatusGood);
  std::uint32_t lba = 0;
  Response failed;
  for (; lba < 620; lba += 31) {
    failed = r.Write(lba, 31, 1);
    if (failed.status != kStatusGood) break;
  }
  EXPECT_EQ(lba, 279u);  // the block 279..309 holds 300
  EXPECT_EQ(SenseOf(failed), sense::kWriteError);
  EXPECT_EQ(failed.sense[0] & 0x80, 0x80);
  EXPECT_EQ(get_be32(failed.sense, 3), 300u);  // the information field names the block
  auto t = r.TrackInfo(1);
  EXPECT_EQ(t[5] & 0x20, 0x20);  // the track is damaged
  EXPECT_EQ(r.State().faults[0].fired, 1u);
}

TEST(VrecFaults, NthOccurrenceCountAndNonSenseResults) {
  Recorder r;
  r.AddFault("2A#4*2=02/04/08");
  ASSERT_EQ(r.SetWriteParameters(mmc::kWriteTypeTao, true).status, kStatusGood);
  std::vector<std::uint8_t> outcome;
  std::uint32_t lba = 0;
  for (int i = 0; i < 8; ++i) {
    Response w = r.Write(lba, 1, 0);
    outcome.push_back(w.status == kStatusGood ? 0 : SenseOf(w).asc);
    if (w.status == kStatusGood) ++lba;  // a writer retries the same block
  }
  EXPECT_EQ(outcome, (std::vector<std::uint8_t>{0, 0, 0, 0x04, 0x04, 0, 0, 0}));
  EXPECT_EQ(lba, 6u);

  r.AddFault("00=busy");
  Response busy = r.Run(Cdb6(mmc::kTestUnitReady));
  EXPECT_EQ(busy.status, kStatusBusy);
  r.Change([](DriveState& s, SectorStore&) { s.faults.clear(); });
  r.AddFault("12*1=timeout");
  EXPECT_TRUE(r.Run(Cdb6(mmc::kInquiry, 36)).timed_out);
  EXPECT_FALSE(r.Run(Cdb6(mmc::kInquiry, 36)).timed_out);
}

TEST(VrecFaults, ATrayThatOpensMidBurn) {
  Recorder r;
  r.AddFault("2A@100*1=eject");
  ASSERT_EQ(r.SetWriteParameters(mmc::kWriteTypeTao, true).status, kStatusGood);
  ASSERT_EQ(r.Write(0, 62, 1).status, kStatusGood);
  EXPECT_EQ(r.Write(62, 31, 1).status, kStatusGood);
  Response w = r.Write(93, 31, 1);
  EXPECT_EQ(SenseOf(w), sense::kNoMediumTrayOpen);
  EXPECT_EQ(SenseOf(r.Run(Cdb6(mmc::kTestUnitReady))), sense::kNoMediumTrayOpen);
  auto event = r.InOk(Cdb{mmc::kGetEventStatus, 1, 0, 0, 0x10, 0, 0, 0, 8, 0}, 8);
  EXPECT_EQ(event[4] & 0x0F, 3);  // media removal
  EXPECT_EQ(event[5] & 0x01, 1);  // tray open
}

TEST(VrecFaults, ReadRulesAndRulesWithoutAddressesForAddressedCommands) {
  Recorder r;
  ASSERT_EQ(r.SetWriteParameters(mmc::kWriteTypeTao, true).status, kStatusGood);
  ASSERT_EQ(r.Write(0, 31, 1).status, kStatusGood);
  ASSERT_EQ(r.SyncCache().status, kStatusGood);
  r.AddFault("28@10-12=03/11/00");
  r.AddFault("25@0=03/11/00");  // READ CAPACITY addresses no blocks: never fires
  std::vector<std::uint8_t> data;
  EXPECT_EQ(r.Read(0, 10, &data).status, kStatusGood);
  EXPECT_EQ(SenseOf(r.Read(5, 6, &data)), sense::kUnrecoveredReadError);
  EXPECT_EQ(r.Read(13, 5, &data).status, kStatusGood);
  r.InOk(Cdb10(mmc::kReadCapacity), 8);
}

}  // namespace
}  // namespace vrec::test
