// What medium is loaded and how much of it is used: media type, erasable,
// sessions, used, free and total space, the summary record, MSF arithmetic.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/disc_types.h"
#include "device/media_types.h"
#include "drive_fixture.h"

namespace {

std::vector<uint8_t> Configuration(uint16_t profile) {
  std::vector<uint8_t> r(8, 0);
  PutBe32(r, 0, 4);
  PutBe16(r, 6, profile);
  return r;
}

std::vector<uint8_t> Atip(uint8_t type_byte, uint8_t m, uint8_t s, uint8_t f) {
  std::vector<uint8_t> r(26, 0);
  PutBe16(r, 0, 24);
  r[6] = type_byte;
  r[12] = m;
  r[13] = s;
  r[14] = f;
  return r;
}

std::vector<uint8_t> DiscInformation(uint8_t status) {
  std::vector<uint8_t> r(34, 0);
  PutBe16(r, 0, 32);
  r[2] = status;
  return r;
}

std::vector<uint8_t> TrackInformation(uint32_t start, uint32_t nwa, uint32_t free, uint32_t size) {
  std::vector<uint8_t> r(36, 0);
  PutBe16(r, 0, 34);
  PutBe32(r, 8, start);
  PutBe32(r, 12, nwa);
  PutBe32(r, 16, free);
  PutBe32(r, 24, size);
  return r;
}

std::vector<uint8_t> Sessions(uint8_t first, uint8_t last) {
  return {0x00, 0x0A, first, last};
}

std::vector<uint8_t> Capacity(uint32_t last_lba) {
  std::vector<uint8_t> r(8, 0);
  PutBe32(r, 0, last_lba);
  PutBe32(r, 4, 2048);
  return r;
}

std::vector<uint8_t> FormatCapacities(uint32_t blocks) {
  std::vector<uint8_t> r(12, 0);
  r[3] = 8;
  PutBe32(r, 4, blocks);
  r[8] = 0x02;
  r[10] = 0x08;  // 2048
  return r;
}

// Answers READ TOC by format: 1 sessions, 4 ATIP; others fail.
void Toc(DriveFixture& f, std::vector<uint8_t> sessions, std::vector<uint8_t> atip) {
  f.on[0x43] = [sessions, atip](SRB_ExecSCSICmd& srb) {
    const uint8_t format = srb.CDBByte[2] & 0x0F;
    if (format == 1 && !sessions.empty()) return ScriptedDrive::Reply(srb, sessions);
    if (format == 4 && !atip.empty()) return ScriptedDrive::Reply(srb, atip);
    ScriptedDrive::CheckCondition(srb, 0x05, 0x24, 0x00);
  };
}

// The track numbers READ TRACK INFORMATION was asked for.
std::vector<uint8_t> TracksAsked(const DriveFixture& f) {
  std::vector<uint8_t> out;
  for (const auto& cdb : f.Cdbs(0x52)) out.push_back(cdb[5]);
  return out;
}

TEST(MediaType, FromTheProfile) {
  struct Case {
    uint16_t profile;
    uint16_t index;
    const char* name;
    bool erasable;
  };
  const Case cases[] = {
      {0x0008, mtCDROM, "CD-ROM", false},
      {0x0009, mtCDR, "CD-R", false},
      {0x000A, mtCDRW, "CD-RW", true},
      {0x0010, mtDVDROM, "DVD-ROM", false},
      {0x0011, mtDVDR, "DVD-R", false},
      {0x0012, mtDVDRAM, "DVD-RAM", false},
      {0x0013, mtDVDRW, "DVD-RW Restricted Overwrite", true},
      {0x0014, mtDVDRW, "DVD-RW Sequential Recording", true},
      {0x001A, mtDVDPRW, "DVD+RW", true},
      {0x001B, mtDVDPR, "DVD+R", false},
      {0x0020, mtDDCDROM, "DDCD-ROM", false},
      {0x0021, mtDDCDR, "DDCD-R", false},
      {0x0022, mtDDCDRW, "DDCD-RW", true},
      {0x0003, mtUnknown, "MO Eraseable", true},
      {0x0002, mtUnknown, "Removable disk", false},
      {0x0040, mtUnknown, "???????", false},  // BD-ROM: not known here
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.profile);
    EXPECT_EQ(device::MediaTypeOfProfile(c.profile), c.index);
    EXPECT_EQ(device::ProfileName(c.profile), c.name);
    EXPECT_EQ(device::ProfileErasable(c.profile), c.erasable);
    if (c.index == mtUnknown) continue;
    DriveFixture f;
    f.Reply(0x46, Configuration(c.profile));
    EXPECT_EQ(f.dev.GetMediaType(), c.index);
    EXPECT_EQ(f.Opcodes(), (std::vector<uint8_t>{0x46})) << "a known profile is enough";
  }
  EXPECT_EQ(MediaNames[mtDVDRW], "DVD-RW");
}

TEST(MediaType, WithoutAProfile) {
  struct Case {
    bool config;                // GET CONFIGURATION answers (profile 0)
    std::vector<uint8_t> atip;  // empty: fails
    int disc_status;            // -1: READ DISC INFORMATION fails
    bool ready;
    uint16_t want;
  };
  const Case cases[] = {
      {false, Atip(0xC0, 79, 59, 74), -1, true, mtCDRW},  // a CD-RW in an old drive
      {true, Atip(0x80, 79, 59, 74), -1, true, mtCDR},
      {true, Atip(0x00, 74, 0, 0), -1, true, mtCDROM},
      {false, {}, 0x10, true, mtCDRW},
      {false, {}, 0x0E, true, mtCDR},
      {false, {}, -1, true, mtCDROM},
      {false, {}, -1, false, mtUnknown},
  };
  for (const Case& c : cases) {
    DriveFixture f;
    if (c.config) {
      f.Reply(0x46, Configuration(0));
    } else {
      f.Fail(0x46);
    }
    Toc(f, {}, c.atip);
    if (c.disc_status < 0) {
      f.Fail(0x51);
    } else {
      f.Reply(0x51, DiscInformation(static_cast<uint8_t>(c.disc_status)));
    }
    if (!c.ready)
      f.on[0x00] = [](SRB_ExecSCSICmd& s) { ScriptedDrive::CheckCondition(s, 2, 0x3A, 0); };
    EXPECT_EQ(f.dev.GetMediaType(), c.want) << c.disc_status;
    // Disc information is asked whatever the ATIP said.
    EXPECT_EQ(f.Count(0x51), 1u);
  }
}

TEST(MediaType, ErasableAndTheLastSession) {
  DriveFixture f;
  f.Reply(0x51, DiscInformation(0x10));
  EXPECT_TRUE(f.dev.IsErasable());
  f.Reply(0x51, DiscInformation(0x0E));
  EXPECT_FALSE(f.dev.IsErasable());
  // Without disc information the media type decides, and is kept.
  f.Fail(0x51);
  for (auto [profile, erasable] :
       {std::pair{0x0012, true}, std::pair{0x0014, true}, std::pair{0x001A, true},
        std::pair{0x000A, false}, std::pair{0x001B, false}}) {
    f.Reply(0x46, Configuration(static_cast<uint16_t>(profile)));
    EXPECT_EQ(f.dev.IsErasable(), erasable) << profile;
    EXPECT_EQ(f.dev.CurrentMediaType, device::MediaTypeOfProfile(static_cast<uint16_t>(profile)));
  }

  Toc(f, Sessions(1, 3), {});
  EXPECT_EQ(f.dev.GetLastSession(), 3);
  const auto cdb = f.Cdbs(0x43).back();
  EXPECT_EQ(cdb[2], 1);
  EXPECT_EQ(cdb[8], 4);
  Toc(f, {}, {});
  EXPECT_EQ(f.dev.GetLastSession(), 0);
}

TEST(Msf, Arithmetic) {
  EXPECT_EQ(MSFToLBA(0, 79, 59, 74), 359999);
  EXPECT_EQ(MSFToLBA(0, 0, 2, 0), 150);
  EXPECT_EQ(MSFToLBA(1, 0, 0, 0), 270000);
  EXPECT_EQ(MSFToLBA(255, 255, 255, 255), 255 * 270000 + 255 * 4500 + 255 * 75 + 255);
  uint8_t m = 0, s = 0, fr = 0;
  LBAToMSF(359999, m, s, fr);
  EXPECT_EQ((std::vector<int>{m, s, fr}), (std::vector<int>{79, 59, 74}));
  LBAToMSF(150, m, s, fr);
  EXPECT_EQ((std::vector<int>{m, s, fr}), (std::vector<int>{0, 2, 0}));
  for (int32_t n : {0, 1, 74, 75, 4499, 4500, 123456, 359999}) {
    LBAToMSF(n, m, s, fr);
    EXPECT_EQ(MSFToLBA(0, m, s, fr), n);
  }
}

TEST(DiscCapacity, FromEachSource) {
  {  // The ATIP lead-out, not below 20,000: no READ CAPACITY.
    DriveFixture f;
    Toc(f, {}, Atip(0x80, 79, 59, 74));
    EXPECT_EQ(f.dev.GetDiscCapacity(), 359999u);
    EXPECT_EQ(f.Count(0x25), 0u);
    EXPECT_EQ(f.Cdbs(0x43)[0][1] & 0x02, 0x02) << "the ATIP is read with MSF addresses";
  }
  {  // A small lead-out gives way to a larger READ CAPACITY.
    DriveFixture f;
    Toc(f, {}, Atip(0x80, 0, 10, 0));
    f.Reply(0x25, Capacity(5000));
    EXPECT_EQ(f.dev.GetDiscCapacity(), 5000u);
  }
  {  // No ATIP: the next session's track.
    DriveFixture f;
    Toc(f, Sessions(1, 1), {});
    f.Reply(0x52, TrackInformation(11700, 11700, 2286000, 0));
    EXPECT_EQ(f.dev.GetDiscCapacity(), 2297700u);
    EXPECT_EQ(TracksAsked(f), (std::vector<uint8_t>{2}));
  }
  {  // Nor that: the format capacities.
    DriveFixture f;
    Toc(f, {}, {});
    f.Fail(0x52);
    f.Reply(0x23, FormatCapacities(2236704));
    EXPECT_EQ(f.dev.GetDiscCapacity(), 2236704u);
  }
  {  // Every source fails: 0 with a log line, never all ones.
    DriveFixture f;
    std::vector<std::string> log;
    f.dev.OnDebugMessage = [&](TSCSIDevice*, const std::string& m, uint8_t) { log.push_back(m); };
    for (uint8_t op : {0x43, 0x52, 0x23, 0x25}) f.Fail(op);
    EXPECT_EQ(f.dev.GetDiscCapacity(), 0u);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), ">>> CANNOT READ THE DISC CAPACITY");
  }
  {  // Format capacities of all ones are no size either.
    DriveFixture f;
    std::vector<std::string> log;
    f.dev.OnDebugMessage = [&](TSCSIDevice*, const std::string& m, uint8_t) { log.push_back(m); };
    for (uint8_t op : {0x43, 0x52}) f.Fail(op);
    f.Reply(0x23, FormatCapacities(0xFFFFFFFF));
    f.Reply(0x25, Capacity(0xFFFFFFFF));
    EXPECT_EQ(f.dev.GetDiscCapacity(), 0u);
    EXPECT_EQ(log, (std::vector<std::string>{">>> CANNOT READ THE DISC CAPACITY"}));
  }
  {  // A closed disc without ATIP or format capacities: its used space.
    DriveFixture f;
    for (uint8_t op : {0x43, 0x52, 0x23}) f.Fail(op);
    f.Reply(0x25, Capacity(250000));
    EXPECT_EQ(f.dev.GetDiscCapacity(), 250000u);
  }
}

TEST(UsedSpace, FromTheNextTrackOrTheCapacity) {
  {  // A blank disc: track 1's next writable address, even when 0.
    DriveFixture f;
    Toc(f, {}, {});
    f.Reply(0x52, TrackInformation(0, 0, 359849, 359849));
    EXPECT_EQ(f.dev.GetUsedSpace(), 0u);
    EXPECT_EQ(f.Count(0x25), 0u);
  }
  {  // An appendable disc: the track after the last session.
    DriveFixture f;
    Toc(f, Sessions(1, 2), {});
    f.Reply(0x52, TrackInformation(24000, 24000, 300000, 300000));
    EXPECT_EQ(f.dev.GetUsedSpace(), 24000u);
    EXPECT_EQ(TracksAsked(f), (std::vector<uint8_t>{3}));
  }
  {  // A closed disc: READ CAPACITY's last address.
    DriveFixture f;
    Toc(f, Sessions(1, 1), {});
    f.Fail(0x52);
    f.Reply(0x25, Capacity(12345));
    EXPECT_EQ(f.dev.GetUsedSpace(), 12345u);
  }
  {  // A placeholder address: the format capacities instead, or 0.
    DriveFixture f;
    Toc(f, Sessions(1, 1), {});
    f.Fail(0x52);
    f.Reply(0x25, Capacity(0xFFFFFFFE));
    f.Reply(0x23, FormatCapacities(2295104));
    EXPECT_EQ(f.dev.GetUsedSpace(), 2295104u);
    f.Fail(0x23);
    EXPECT_EQ(f.dev.GetUsedSpace(), 0u);
  }
  {  // Nothing answers: 0.
    DriveFixture f;
    for (uint8_t op : {0x43, 0x52, 0x25}) f.Fail(op);
    EXPECT_EQ(f.dev.GetUsedSpace(), 0u);
  }
}

TEST(FreeSpace, TheInvisibleTrackOnCdsAndTrackOneOnDvds) {
  {
    DriveFixture f;
    f.Reply(0x46, Configuration(0x0009));
    f.Reply(0x52, TrackInformation(0, 0, 359849, 359000));
    f.dev.FinalizeDisc = false;
    EXPECT_EQ(f.dev.GetFreeSpace(), 359849u);
    EXPECT_EQ(TracksAsked(f), (std::vector<uint8_t>{0xFF}));
    EXPECT_FALSE(f.dev.FinalizeDisc) << "restored after the write parameters were set";
    ASSERT_EQ(f.drive.sent.back().opcode(), 0x52);
    // The page was sent for a closed disc.
    bool selected = false;
    for (const SentCommand& c : f.drive.sent) {
      if (c.opcode() != 0x55) continue;
      selected = true;
      EXPECT_EQ(c.data_out[8 + 3] & 0xC0, 0x00);
    }
    EXPECT_TRUE(selected);
  }
  {  // DVD media: track 1; a track size larger than the free blocks wins.
    DriveFixture f;
    f.Reply(0x46, Configuration(0x0011));
    f.Reply(0x52, TrackInformation(0, 0, 1000, 2298496));
    EXPECT_EQ(f.dev.GetFreeSpace(), 2298496u);
    EXPECT_EQ(TracksAsked(f), (std::vector<uint8_t>{1}));
  }
  {  // A DVD left open: track 1 is finished, the invisible track holds the rest.
    DriveFixture f;
    f.Reply(0x46, Configuration(0x001B));
    f.on[0x52] = [](SRB_ExecSCSICmd& srb) {
      if (srb.CDBByte[5] == 0xFF) {
        ScriptedDrive::Reply(srb, TrackInformation(3664, 3664, 2291440, 2291440));
      } else {
        ScriptedDrive::Reply(srb, TrackInformation(0, 0, 0, 1616));
      }
    };
    EXPECT_EQ(f.dev.GetFreeSpace(), 2291440u);
    EXPECT_EQ(TracksAsked(f), (std::vector<uint8_t>{1, 0xFF}));
    // A closed one has no invisible track: track 1's size, as before.
    f.on[0x52] = [](SRB_ExecSCSICmd& srb) {
      if (srb.CDBByte[5] == 0xFF) return ScriptedDrive::CheckCondition(srb, 5, 0x24, 0);
      ScriptedDrive::Reply(srb, TrackInformation(0, 0, 0, 1616));
    };
    EXPECT_EQ(f.dev.GetFreeSpace(), 1616u);
    EXPECT_EQ(f.dev.TrackInfo.TrackSize, 1616u) << "track 1's answer stays";
  }
  {  // The first ask fails: the track after the last session, else 0.
    DriveFixture f;
    f.Reply(0x46, Configuration(0x0009));
    Toc(f, Sessions(1, 1), {});
    f.on[0x52] = [](SRB_ExecSCSICmd& srb) {
      if (srb.CDBByte[5] == 0xFF) return ScriptedDrive::CheckCondition(srb, 5, 0x24, 0);
      ScriptedDrive::Reply(srb, TrackInformation(11700, 11700, 348000, 0));
    };
    EXPECT_EQ(f.dev.GetFreeSpace(), 348000u);
    EXPECT_EQ(TracksAsked(f), (std::vector<uint8_t>{0xFF, 2}));
    f.Fail(0x52);
    EXPECT_EQ(f.dev.GetFreeSpace(), 0u);
  }
}

TEST(DiscInfo, ABlankDvdPlusR) {
  DriveFixture f;
  f.Reply(0x46, Configuration(0x001B));
  Toc(f, {}, {});
  f.Reply(0x52, TrackInformation(0, 0, 2295104, 2295104));
  f.Reply(0x51, DiscInformation(0x00));
  TDisc d;
  f.dev.GetDiscInfo(d);
  EXPECT_TRUE(d.Ready);
  EXPECT_EQ(d.MediaName, "DVD+R");
  EXPECT_FALSE(d.Erasable);
  EXPECT_EQ(d.Profile, 0x001B);
  EXPECT_EQ(d.Capacity, 2295104u) << "next writable address + free blocks of track 1";
  EXPECT_EQ(d.NextWritable, 0u);
  EXPECT_EQ(d.BlockSize, 2048u);
  EXPECT_EQ(d.DiscStatus, 0);
  EXPECT_EQ(d.FirstSession, 0);
  EXPECT_EQ(TracksAsked(f), (std::vector<uint8_t>{1}));
  EXPECT_EQ(f.dev.DiscSummary, d);
}

TEST(DiscInfo, AnAppendableCdAndAPressedOne) {
  {
    DriveFixture f;
    f.Reply(0x46, Configuration(0x000A));
    f.on[0x43] = [](SRB_ExecSCSICmd& srb) {
      const uint8_t format = srb.CDBByte[2] & 0x0F;
      if (format == 0) return ScriptedDrive::Reply(srb, {0x00, 0x12, 1, 2});
      if (format == 1) return ScriptedDrive::Reply(srb, Sessions(1, 2));
      ScriptedDrive::Reply(srb, Atip(0xC0, 79, 59, 74));
    };
    f.Reply(0x52, TrackInformation(24000, 24000, 335849, 335849));
    f.Reply(0x51, DiscInformation(0x1D));  // erasable, last session complete, appendable
    TDisc d;
    f.dev.GetDiscInfo(d);
    EXPECT_EQ(d.MediaName, "CD-RW");
    EXPECT_TRUE(d.Erasable);
    EXPECT_EQ(d.FirstSession, 1);
    EXPECT_EQ(d.LastSession, 2);
    EXPECT_EQ(d.LastSessionState, 3);
    EXPECT_EQ(d.DiscStatus, 1);
    EXPECT_EQ(d.NextWritable, 24000u);
    EXPECT_EQ(d.Capacity, 359849u);
    // The second table of contents asks from the last track on.
    const auto tocs = f.Cdbs(0x43);
    ASSERT_GE(tocs.size(), 2u);
    EXPECT_EQ(tocs[1][6], 2);
  }
  {  // A drive that knows only the table of contents and READ CAPACITY.
    DriveFixture f;
    f.Fail(0x46);
    f.Fail(0x51);
    f.on[0x43] = [](SRB_ExecSCSICmd& srb) {
      const uint8_t format = srb.CDBByte[2] & 0x0F;
      if (format == 0) return ScriptedDrive::Reply(srb, {0x00, 0x12, 1, 1});
      if (format == 1) return ScriptedDrive::Reply(srb, Sessions(1, 1));
      ScriptedDrive::CheckCondition(srb, 5, 0x24, 0);
    };
    f.Reply(0x25, Capacity(250000));
    f.Fail(0x52);
    TDisc d;
    f.dev.GetDiscInfo(d);
    EXPECT_TRUE(d.Ready);
    EXPECT_EQ(d.MediaName, "CD-ROM");
    EXPECT_EQ(d.Profile, 0);
    EXPECT_EQ(d.NextWritable, 250000u);
    EXPECT_EQ(d.Capacity, 250000u) << "raised to the next writable address";
  }
}

TEST(DiscInfo, NoMediumLeavesTheRecordAfterOneWait) {
  DriveFixture f;
  f.on[0x00] = [](SRB_ExecSCSICmd& srb) { ScriptedDrive::CheckCondition(srb, 2, 0x3A, 0); };
  f.on[0x51] = f.on[0x00];
  TDisc d;
  d.MediaName = "untouched";
  f.dev.GetDiscInfo(d);
  EXPECT_FALSE(d.Ready);
  EXPECT_EQ(d.MediaName, "untouched");
  EXPECT_EQ(f.dev.slept, 5000) << "one interval of the readiness wait";
  EXPECT_EQ(f.Count(0x00), 2u);

  // A drive that becomes ready during the wait is read.
  DriveFixture g;
  int polls = 0;
  g.on[0x00] = [&polls](SRB_ExecSCSICmd& srb) {
    if (polls++ == 0) ScriptedDrive::CheckCondition(srb, 2, 0x04, 0x01);
  };
  g.Reply(0x46, Configuration(0x0009));
  TDisc e;
  g.dev.GetDiscInfo(e);
  EXPECT_TRUE(e.Ready);
  EXPECT_EQ(e.MediaName, "CD-R");
}

}  // namespace

namespace {

TEST(SessionStart, FromTheInvisibleTrackOnMediaWrittenOnceAndZeroOnOverwritableMedia) {
  {
    DriveFixture f;
    f.Reply(0x46, Configuration(0x0009));
    f.Reply(0x52, TrackInformation(11702, 11702, 300000, 0));
    f.dev.FinalizeDisc = false;
    f.dev.TestWrite = true;
    f.dev.Capabilities.Add(TCapability::WriteTest);
    EXPECT_EQ(f.dev.NextSessionStart(), 11702);
    EXPECT_EQ(f.dev.CurrentMediaType, mtCDR);
    EXPECT_FALSE(f.dev.FinalizeDisc);
    EXPECT_EQ(TracksAsked(f), (std::vector<uint8_t>{0xFF}));
    // The write parameters of this write (a test write here) come first.
    const std::vector<uint8_t> ops = f.Opcodes();
    const auto select = std::find(ops.begin(), ops.end(), 0x55);
    ASSERT_NE(select, ops.end());
    EXPECT_LT(select - ops.begin(), std::find(ops.begin(), ops.end(), 0x52) - ops.begin());
    for (const SentCommand& c : f.drive.sent) {
      if (c.opcode() == 0x55) {
        EXPECT_EQ(c.data_out[8 + 2] & 0x10, 0x10) << "test write";
      }
    }
  }
  // DVD-RAM, DVD-RW in restricted overwrite and DVD+RW are overwritten from
  // sector 0; DVD-R, DVD-RW in sequential recording and DVD+R continue.
  for (uint16_t profile : {0x0012, 0x0013, 0x001A}) {
    DriveFixture f;
    f.Reply(0x46, Configuration(profile));
    f.Reply(0x52, TrackInformation(0, 500, 300000, 0));
    EXPECT_EQ(f.dev.NextSessionStart(), 0) << profile;
    EXPECT_EQ(f.Count(0x52), 0u);
  }
  for (uint16_t profile : {0x0011, 0x0014, 0x001B}) {
    DriveFixture f;
    f.Reply(0x46, Configuration(profile));
    f.Reply(0x52, TrackInformation(500, 500, 300000, 0));
    EXPECT_EQ(f.dev.NextSessionStart(), 500) << profile;
    EXPECT_EQ(TracksAsked(f), (std::vector<uint8_t>{0xFF}));
  }
  {  // No address: 0 and the log line, and the layout goes on from sector 0.
    DriveFixture f;
    std::vector<std::pair<std::string, uint8_t>> log;
    f.dev.OnDebugMessage = [&](TSCSIDevice*, const std::string& m, uint8_t t) {
      log.emplace_back(m, t);
    };
    f.Reply(0x46, Configuration(0x0009));
    f.Fail(0x52);
    EXPECT_EQ(f.dev.NextSessionStart(), 0);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(),
              (std::pair<std::string, uint8_t>{">>> ERROR GETTING NEXT WRITABLE ADDRESS", 0}));
    EXPECT_TRUE(f.dev.Prepare(false));
    EXPECT_EQ(f.dev.SessionStart, 0);
  }
  for (uint32_t absurd : {0x7F000001u, 0x7FFFFFF0u, 0x80000000u, 0xFF000000u}) {
    // An address beyond any disc: none, as if it could not be read.
    DriveFixture f;
    std::vector<std::string> log;
    f.dev.OnDebugMessage = [&](TSCSIDevice*, const std::string& m, uint8_t) { log.push_back(m); };
    f.Reply(0x46, Configuration(0x0009));
    f.Reply(0x52, TrackInformation(absurd, absurd, 300000, 0));
    ASSERT_TRUE(f.dev.Prepare(false)) << absurd;
    EXPECT_EQ(f.dev.SessionStart, 0);
    EXPECT_EQ(f.dev.HeaderStream.Size(), 150 * 2048);
    EXPECT_EQ(log, (std::vector<std::string>{">>> ERROR GETTING NEXT WRITABLE ADDRESS"}));
  }
  {  // A blank disc's negative address (its pregap) counts as 0.
    DriveFixture f;
    f.Reply(0x46, Configuration(0x0009));
    f.Reply(0x52, TrackInformation(0xFFFFFF6A, 0xFFFFFF6A, 300000, 0));
    ASSERT_TRUE(f.dev.Prepare(false));
    EXPECT_EQ(f.dev.SessionStart, 0);
    EXPECT_EQ(f.dev.PvdSector, 16);
  }
}

}  // namespace
