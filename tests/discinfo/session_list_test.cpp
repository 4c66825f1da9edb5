// The session dialog's lines: one per session, then " Free", and the three
// figures above them.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/session_list.h"
#include "drive_fixture.h"

namespace {

// A closed-session CD-R as a drive reports it: sessions whose first track
// starts at the given MSF and holds `blocks`, with a volume descriptor at
// sector 16 of each session unless `readable` is false.
struct SessionDisc {
  struct Session {
    uint8_t m, s, f;
    uint32_t blocks;
    bool readable = true;
  };
  std::vector<Session> sessions;
  bool lead_out = true;
  uint8_t lead_m = 10, lead_s = 20, lead_f = 30;

  void Install(DriveFixture& d) {
    d.Reply(0x46, {0, 0, 0, 4, 0, 0, 0x00, 0x09});  // CD-R
    d.on[0x43] = [this](SRB_ExecSCSICmd& srb) {
      const uint8_t format = srb.CDBByte[2] & 0x0F;
      const uint8_t track = srb.CDBByte[6];
      const auto n = static_cast<uint8_t>(sessions.size());
      if (format == 1) return ScriptedDrive::Reply(srb, {0, 10, 1, n});
      if (format == 0) {
        std::vector<uint8_t> r(12, 0);
        r[2] = 1;
        r[3] = n;
        if (track == 0xAA) {
          if (!lead_out) return ScriptedDrive::CheckCondition(srb, 5, 0x24, 0);
          r[6] = 0xAA;
          r[9] = lead_m, r[10] = lead_s, r[11] = lead_f;
        } else {
          const Session& s = sessions.at(track == 0 ? 0 : track - 1);
          r[6] = track;
          r[9] = s.m, r[10] = s.s, r[11] = s.f;
        }
        return ScriptedDrive::Reply(srb, r);
      }
      ScriptedDrive::CheckCondition(srb, 5, 0x24, 0);  // no ATIP here
    };
    d.on[0x52] = [this](SRB_ExecSCSICmd& srb) {
      const uint8_t t = srb.CDBByte[5];
      std::vector<uint8_t> r(36, 0);
      if (t >= 1 && t <= sessions.size()) PutBe32(r, 24, sessions[t - 1].blocks);
      if (t == 0xFF) PutBe32(r, 16, 1024);  // 2 MB free
      ScriptedDrive::Reply(srb, r);
    };
    d.on[0x28] = [this](SRB_ExecSCSICmd& srb) {
      const uint32_t lba = static_cast<uint32_t>(srb.CDBByte[2]) << 24 | srb.CDBByte[3] << 16 |
                           srb.CDBByte[4] << 8 | srb.CDBByte[5];
      for (const Session& s : sessions) {
        const uint32_t start = static_cast<uint32_t>(MSFToLBA(0, s.m, s.s, s.f) - 150);
        if (lba != start + 16) continue;
        if (!s.readable) return ScriptedDrive::CheckCondition(srb, 3, 0x11, 0);
        std::vector<uint8_t> pvd(2048, 0);
        pvd[0] = 1;
        pvd[80] = static_cast<uint8_t>(s.blocks), pvd[81] = static_cast<uint8_t>(s.blocks >> 8);
        pvd[82] = static_cast<uint8_t>(s.blocks >> 16);
        return ScriptedDrive::Reply(srb, pvd);
      }
      ScriptedDrive::CheckCondition(srb, 5, 0x21, 0);
    };
    d.Reply(0x51, {0, 32, 0x0E});  // complete disc
  }
};

TEST(SessionList, OneLinePerSessionThenTheFreeLine) {
  DriveFixture d;
  SessionDisc disc;
  disc.sessions = {{0, 2, 0, 300}, {2, 40, 0, 6000}, {5, 0, 0, 700, false}};
  disc.Install(d);
  const device::SessionList list = device::ReadSessionList(d.dev);
  ASSERT_TRUE(list.Ready);
  EXPECT_EQ(list.Lines, (std::vector<std::string>{
                            "  001      000:02:00     1 MB",  // 300 blocks: 0.59 rounds to 1
                            "  002      002:40:00    12 MB",
                            "  003      005:00:00  ???? MB",  // its descriptor cannot be read
                            " Free      010:20:30     2 MB",
                        }));
  EXPECT_EQ(list.FirstSession, 1);
  EXPECT_EQ(list.LastSession, 3);
  EXPECT_EQ(list.Medium, "CD-R");
  EXPECT_EQ(list.FreeBlocks, 1024u);
  EXPECT_EQ(std::string(device::kSessionListHeader), "Session    Duration     Size");
}

TEST(SessionList, SizesAndAddresses) {
  DriveFixture d;
  SessionDisc disc;
  // A track of size 0 takes the volume's size; 768 blocks is 1.5 MB, which
  // rounds to 2 (halves to even).
  disc.sessions = {{0, 2, 0, 0}, {0, 0, 0, 5000}};
  disc.lead_out = false;
  disc.Install(d);
  // The first session's descriptor says 0 blocks: no size to show.
  d.on[0x28] = [](SRB_ExecSCSICmd& srb) {
    ScriptedDrive::Reply(srb, std::vector<uint8_t>(2048, 0));
  };
  device::SessionList list = device::ReadSessionList(d.dev);
  EXPECT_EQ(list.Lines, (std::vector<std::string>{"  001      000:02:00  ???? MB",
                                                  " Free      00:00:00     2 MB"}))
      << "a session starting at 0 has no line; a failed lead-out reads 00:00:00";

  DriveFixture e;
  SessionDisc half;
  half.sessions = {{0, 2, 0, 768}, {1, 0, 0, 1280}};
  half.Install(e);
  list = device::ReadSessionList(e.dev);
  ASSERT_GE(list.Lines.size(), 2u);
  EXPECT_EQ(list.Lines[0], "  001      000:02:00     2 MB");
  EXPECT_EQ(list.Lines[1], "  002      001:00:00     2 MB") << "2.5 MB rounds to 2";
}

TEST(SessionList, NoDisc) {
  DriveFixture d;
  d.on[0x00] = [](SRB_ExecSCSICmd& srb) { ScriptedDrive::CheckCondition(srb, 2, 0x3A, 0x02); };
  d.on[0x51] = d.on[0x00];
  const device::SessionList list = device::ReadSessionList(d.dev);
  EXPECT_FALSE(list.Ready);
  EXPECT_EQ(list.Lines, (std::vector<std::string>{"     -------"}));
  EXPECT_EQ(list.Medium, "");
  EXPECT_EQ(list.DiscSize, "");
}

TEST(SessionList, Megabytes) {
  EXPECT_EQ(device::MegabytesText(0), "0.00 MB");
  EXPECT_EQ(device::MegabytesText(359999), "703.12 MB");
  EXPECT_EQ(device::MegabytesText(2295104), "4482.62 MB");
  EXPECT_EQ(device::MegabytesText(512), "1.00 MB");
}

}  // namespace
