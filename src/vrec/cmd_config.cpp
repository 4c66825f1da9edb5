// GET CONFIGURATION (profiles and features), GET PERFORMANCE, SET CD SPEED
// and SET STREAMING.

#include <algorithm>

#include "vrec/drive_internal.h"
#include "vrec/mmc.h"

namespace vrec::detail {
namespace {

using namespace mmc;

struct Feature {
  std::uint16_t code;
  std::uint8_t version;
  bool persistent;
  bool current;
  std::vector<std::uint8_t> data;
};

constexpr std::uint16_t kProfilesOffered[] = {
    kProfileDvdPlusR, kProfileDvdPlusRw, kProfileDvdRwSequential, kProfileDvdRwRestricted,
    kProfileDvdRam,   kProfileDvdR,      kProfileDvdRom,          kProfileCdRw,
    kProfileCdR,      kProfileCdRom};

// Data block types 8 (mode 1) and 10 (mode 2 form 1), as a bit mask.
constexpr std::uint16_t kDataBlockTypes = (1u << 8) | (1u << 10);

std::vector<Feature> Features(const DriveState& s) {
  const Disc& d = s.disc;
  bool loaded = d.present() && !s.tray_open;
  std::uint16_t profile = loaded ? d.Profile() : kProfileNone;
  bool cd = loaded && d.cd();
  bool dvd = loaded && !d.cd();
  bool cd_writable = profile == kProfileCdR || profile == kProfileCdRw;
  bool dvd_minus_seq = profile == kProfileDvdR || profile == kProfileDvdRwSequential;
  bool restricted = profile == kProfileDvdRwRestricted;
  bool incremental = cd_writable || (dvd_minus_seq && !d.dao_only);
  std::uint8_t link_size = cd ? 7 : 16;

  std::vector<Feature> f;
  {
    Feature p{kFeatureProfileList, 0, true, true, {}};
    for (std::uint16_t code : kProfilesOffered) {
      p.data.push_back(static_cast<std::uint8_t>(code >> 8));
      p.data.push_back(static_cast<std::uint8_t>(code));
      p.data.push_back(code == profile ? 0x01 : 0x00);  // current
      p.data.push_back(0);
    }
    f.push_back(std::move(p));
  }
  f.push_back({kFeatureCore, 2, true, true, {0, 0, 0, 2, 0x01, 0, 0, 0}});  // ATAPI, DBE
  f.push_back({kFeatureMorphing, 1, true, true, {0x02, 0, 0, 0}});          // OCEvent
  f.push_back({kFeatureRemovableMedium, 2, true, true, {0x29, 0, 0, 0}});   // tray, eject, lock
  f.push_back({kFeatureRandomReadable,
               0,
               false,
               loaded,
               {0, 0, 0x08, 0, 0, static_cast<std::uint8_t>(cd ? 1 : 16), 0, 0}});
  f.push_back({kFeatureMultiRead, 0, false, cd, {}});
  f.push_back({kFeatureCdRead, 2, false, cd, {0, 0, 0, 0}});
  f.push_back({kFeatureDvdRead, 1, false, dvd, {0, 0, 0, 0}});
  {
    std::vector<std::uint8_t> data(12, 0);
    std::uint32_t last = d.formatted_blocks ? d.formatted_blocks - 1 : 0;
    put_be32(data, 0, last);
    put_be32(data, 4, 2048);
    put_be16(data, 8, 16);
    f.push_back({kFeatureRandomWritable, 1, false, profile == kProfileDvdRam, data});
  }
  f.push_back({kFeatureIncrementalStreaming,
               1,
               false,
               incremental,
               {static_cast<std::uint8_t>(kDataBlockTypes >> 8),
                static_cast<std::uint8_t>(kDataBlockTypes), 0x01, 1, link_size, 0, 0, 0}});
  f.push_back({kFeatureFormattable,
               0,
               false,
               profile == kProfileDvdPlusRw || profile == kProfileDvdRam ||
                   profile == kProfileDvdRwSequential || restricted,
               {0, 0, 0, 0}});
  f.push_back({kFeatureDefectManagement, 0, false, profile == kProfileDvdRam, {0, 0, 0, 0}});
  f.push_back({kFeatureRestrictedOverwrite, 0, false, restricted, {}});
  f.push_back({kFeatureDvdPlusRw, 1, false, profile == kProfileDvdPlusRw, {0x01, 0, 0, 0}});
  f.push_back({kFeatureDvdPlusR, 0, false, profile == kProfileDvdPlusR, {0x01, 0, 0, 0}});
  f.push_back({kFeatureRigidOverwrite, 1, false, restricted, {0x03, 0, 0, 0}});
  f.push_back({kFeatureCdTrackAtOnce,
               2,
               false,
               cd_writable,
               {0x46, 0, static_cast<std::uint8_t>(kDataBlockTypes >> 8),
                static_cast<std::uint8_t>(kDataBlockTypes)}});  // BUF, test write, CD-RW
  f.push_back({kFeatureCdMastering, 1, false, cd_writable, {0x66, 0x00, 0x0F, 0xFF}});
  f.push_back({kFeatureDvdMinusRWrite, 1, false, dvd_minus_seq, {0x46, 0, 0, 0}});
  f.push_back({kFeaturePowerManagement, 0, true, true, {}});
  f.push_back({kFeatureTimeout, 1, true, true, {0, 0, 0, 0}});
  f.push_back({kFeatureRealTimeStreaming, 3, false, true, {0x1F, 0, 0, 0}});
  return f;
}

void AppendFeature(const Feature& feature, std::vector<std::uint8_t>& out) {
  out.push_back(static_cast<std::uint8_t>(feature.code >> 8));
  out.push_back(static_cast<std::uint8_t>(feature.code));
  out.push_back(static_cast<std::uint8_t>((feature.version << 2) | (feature.persistent ? 0x02 : 0) |
                                          (feature.current ? 0x01 : 0)));
  out.push_back(static_cast<std::uint8_t>(feature.data.size()));
  out.insert(out.end(), feature.data.begin(), feature.data.end());
}

// Picks the listed speed nearest below the request (the slowest when the
// request is below them all); 0 stands for the maximum.
std::uint32_t ClampSpeed(const std::vector<std::uint32_t>& speeds, std::uint32_t kbps) {
  if (kbps == 0 || speeds.empty()) return 0;
  for (std::uint32_t v : speeds) {
    if (v <= kbps) return v;
  }
  return speeds.back();
}

}  // namespace

void GetConfiguration(Ctx& c) {
  constexpr std::size_t kRequestType = 1, kStartFeature = 2, kAllocation = 7;
  std::uint8_t rt = c.cdb()[kRequestType] & 0x03;
  std::uint16_t start = static_cast<std::uint16_t>(get_be16(c.cdb(), kStartFeature));
  if (rt == 3) {
    c.Fail(sense::kInvalidFieldInCdb);
    return;
  }
  std::vector<std::uint8_t> r(8, 0);
  bool loaded = c.s.disc.present() && !c.s.tray_open;
  put_be16(r, 6, loaded ? c.s.disc.Profile() : kProfileNone);
  for (const Feature& feature : Features(c.s)) {
    bool wanted =
        rt == 2 ? feature.code == start : feature.code >= start && (rt == 0 || feature.current);
    if (wanted) AppendFeature(feature, r);
  }
  put_be32(r, 0, static_cast<std::uint32_t>(r.size() - 4));
  c.Reply(r, get_be16(c.cdb(), kAllocation));
}

void GetPerformance(Ctx& c) {
  constexpr std::size_t kFlags = 1, kMaxDescriptors = 8, kType = 10, kDescriptor = 16;
  constexpr std::uint8_t kTypePerformance = 0x00, kTypeWriteSpeed = 0x03;
  std::uint8_t flags = c.cdb()[kFlags];
  std::size_t max = get_be16(c.cdb(), kMaxDescriptors);
  std::uint8_t type = c.cdb()[kType];
  std::uint32_t end = c.s.disc.capacity ? c.s.disc.capacity - 1 : 0;
  std::vector<std::vector<std::uint8_t>> descriptors;
  bool write = (flags & 0x04) != 0;
  if (type == kTypePerformance) {
    if (((flags >> 3) & 0x03) != 0x02) {  // tolerance must be 10b (nominal)
      c.Fail(sense::kInvalidFieldInCdb);
      return;
    }
    std::uint32_t kbps = write ? CurrentWriteKbps(c.s) : CurrentReadKbps(c.s);
    std::vector<std::uint8_t> d(kDescriptor, 0);
    put_be32(d, 4, kbps);
    put_be32(d, 8, end);
    put_be32(d, 12, kbps);
    descriptors.push_back(d);
  } else if (type == kTypeWriteSpeed) {
    for (std::uint32_t kbps : WriteSpeedsKbps(c.s)) {
      std::vector<std::uint8_t> d(kDescriptor, 0);
      put_be32(d, 4, end);
      put_be32(d, 8, MaxReadKbps(c.s));
      put_be32(d, 12, kbps);
      descriptors.push_back(d);
    }
  } else {
    c.Fail(sense::kInvalidFieldInCdb);
    return;
  }
  // The length field counts every descriptor, even those not sent.
  std::vector<std::uint8_t> r(8, 0);
  put_be32(r, 0, static_cast<std::uint32_t>(4 + kDescriptor * descriptors.size()));
  if (type == kTypePerformance && write) r[4] = 0x02;
  for (std::size_t i = 0; i < descriptors.size() && i < max; ++i) {
    r.insert(r.end(), descriptors[i].begin(), descriptors[i].end());
  }
  c.Reply(r, r.size());
}

void SetCdSpeed(Ctx& c) {
  constexpr std::size_t kReadSpeed = 2, kWriteSpeed = 4;
  constexpr std::uint32_t kMaximum = 0xFFFF;
  std::uint32_t read = get_be16(c.cdb(), kReadSpeed);
  std::uint32_t write = get_be16(c.cdb(), kWriteSpeed);
  c.s.read_kbps = read == kMaximum ? 0 : std::min(read, MaxReadKbps(c.s));
  c.s.write_kbps = write == kMaximum ? 0 : ClampSpeed(WriteSpeedsKbps(c.s), write);
}

void SetStreaming(Ctx& c) {
  constexpr std::size_t kType = 8, kLength = 9, kDescriptorLength = 28;
  constexpr std::size_t kReadSize = 12, kReadTime = 16, kWriteSize = 20, kWriteTime = 24;
  if (c.cdb()[kType] != 0) {
    c.Fail(sense::kInvalidFieldInCdb);
    return;
  }
  std::size_t length = get_be16(c.cdb(), kLength);
  if (length == 0) return;
  if (length < kDescriptorLength) {
    c.Fail(sense::kParameterListLengthError);
    return;
  }
  ConstBytes d = c.Params(kDescriptorLength);
  if (c.failed()) return;
  std::uint32_t read_time = get_be32(d, kReadTime), write_time = get_be32(d, kWriteTime);
  if (read_time == 0 || write_time == 0) {
    c.Fail(sense::kInvalidFieldInParameterList);
    return;
  }
  auto rate = [](std::uint32_t size_kb, std::uint32_t ms) {
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(std::uint64_t{size_kb} * 1000 / ms, 0xFFFFFFFFu));
  };
  c.s.read_kbps = std::min(rate(get_be32(d, kReadSize), read_time), MaxReadKbps(c.s));
  c.s.write_kbps = ClampSpeed(WriteSpeedsKbps(c.s), rate(get_be32(d, kWriteSize), write_time));
  if (c.s.write_kbps == 0) c.s.write_kbps = 1;  // a tiny request still means the slowest
}

}  // namespace vrec::detail
