// TEST UNIT READY, REQUEST SENSE, INQUIRY, START STOP UNIT, PREVENT/ALLOW,
// GET EVENT STATUS NOTIFICATION, MECHANISM STATUS and the commands that only
// need to succeed (REZERO UNIT, SEEK, VERIFY, READ SUB-CHANNEL).

#include <string>

#include "vrec/drive_internal.h"
#include "vrec/mmc.h"

namespace vrec::detail {

void TestUnitReady(Ctx&) {}  // the common checks said everything there is to say

void NoOperation(Ctx&) {}

void RequestSense(Ctx& c) {
  constexpr std::size_t kAllocation = 4;
  DriveState& s = c.s;
  Sense current = sense::kNoSense;
  int progress = -1;
  if (s.attention_gen != c.initiator.seen_attention && s.attention.key != 0) {
    c.initiator.seen_attention = s.attention_gen;
    current = s.attention;
  } else if (s.tray_open) {
    current = sense::kNoMediumTrayOpen;
  } else if (!s.disc.present()) {
    current = sense::kNoMediumTrayClosed;
  } else if (c.now < s.ready_at) {
    current = sense::kBecomingReady;
  } else if (s.busy != BusyKind::kNone) {
    current = BusySense(s);
    progress = BusyProgress(s, c.now);
  }
  auto bytes = BuildSense(current, false, 0, progress);
  c.Reply(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), c.cdb()[kAllocation]);
}

namespace {

constexpr std::size_t kInquiryLength = 96;

std::string SerialNumber() {
  return "TMVR0001";
}

void StandardInquiry(Ctx& c, std::size_t alloc) {
  constexpr std::size_t kDeviceType = 0, kRemovable = 1, kVersion = 2, kResponseFormat = 3,
                        kAdditionalLength = 4, kVendorAt = 8, kProductAt = 16, kRevisionAt = 32;
  std::vector<std::uint8_t> r(kInquiryLength, 0);
  r[kDeviceType] = 0x05;  // peripheral qualifier 0, CD/DVD device
  r[kRemovable] = 0x80;   // RMB
  r[kVersion] = 0x05;     // SPC-3
  r[kResponseFormat] = 0x02;
  r[kAdditionalLength] = kInquiryLength - 5;
  put_padded(r, kVendorAt, 8, kVendor);
  put_padded(r, kProductAt, 16, kProduct);
  put_padded(r, kRevisionAt, 4, kRevision);
  c.Reply(r, alloc);
}

void VitalProductData(Ctx& c, std::uint8_t page, std::size_t alloc) {
  constexpr std::size_t kPageCode = 1, kPageLength = 2;  // 16-bit length at 2-3
  std::vector<std::uint8_t> r(4, 0);
  r[0] = 0x05;
  r[kPageCode] = page;
  switch (page) {
    case 0x00:  // supported pages
      r.insert(r.end(), {0x00, 0x80, 0x83});
      break;
    case 0x80: {  // unit serial number
      std::string serial = SerialNumber();
      r.insert(r.end(), serial.begin(), serial.end());
      break;
    }
    case 0x83: {  // device identification: one T10 vendor identifier
      std::string id = std::string("TIDEMARK") + kProduct + SerialNumber();
      r.push_back(0x02);  // code set ASCII
      r.push_back(0x01);  // association: the logical unit; type: T10 vendor ID
      r.push_back(0x00);
      r.push_back(static_cast<std::uint8_t>(id.size()));
      r.insert(r.end(), id.begin(), id.end());
      break;
    }
    default:
      c.Fail(sense::kInvalidFieldInCdb);
      return;
  }
  put_be16(r, kPageLength, static_cast<std::uint32_t>(r.size() - 4));
  c.Reply(r, alloc);
}

}  // namespace

void Inquiry(Ctx& c) {
  constexpr std::size_t kFlags = 1, kPage = 2, kAllocation = 3;
  bool evpd = (c.cdb()[kFlags] & 0x01) != 0;
  std::uint8_t page = c.cdb()[kPage];
  std::size_t alloc = get_be16(c.cdb(), kAllocation);
  if (!evpd) {
    if (page != 0) {
      c.Fail(sense::kInvalidFieldInCdb);
      return;
    }
    StandardInquiry(c, alloc);
    return;
  }
  VitalProductData(c, page, alloc);
}

void StartStopUnit(Ctx& c) {
  constexpr std::size_t kFlags = 1, kControl = 4;
  constexpr std::uint8_t kImmed = 0x01, kStart = 0x01, kLoadEject = 0x02;
  DriveState& s = c.s;
  bool immediate = (c.cdb()[kFlags] & kImmed) != 0;
  std::uint8_t control = c.cdb()[kControl];
  if ((control & 0xF0) != 0 || (control & kLoadEject) == 0) return;  // power or spin only
  if ((control & kStart) == 0) {                                     // eject
    if (s.prevent_removal) {
      c.Fail(sense::kMediumRemovalPrevented);
      return;
    }
    if (!s.tray_open) {
      s.tray_open = true;
      if (s.disc.present()) RaiseMediaEvent(s, kMediaEventRemoval);
      if (!immediate) c.Take(Scaled(c, 1'000'000));
    }
    return;
  }
  if (!s.tray_open) return;  // already loaded
  s.tray_open = false;
  if (!s.disc.present()) return;
  // A disc coming in spins up, then tells every initiator it may have changed.
  s.ready_at = c.now + Scaled(c, kSpinUpUs);
  RaiseAttention(s, sense::kMediumMayHaveChanged);
  RaiseMediaEvent(s, kMediaEventNewMedia);
  if (!immediate) c.Take(Scaled(c, kSpinUpUs));
}

void PreventAllow(Ctx& c) {
  constexpr std::size_t kPrevent = 4;
  c.s.prevent_removal = (c.cdb()[kPrevent] & 0x01) != 0;
}

void GetEventStatus(Ctx& c) {
  constexpr std::size_t kPolled = 1, kClassRequest = 4, kAllocation = 7;
  constexpr std::uint8_t kMediaClassBit = 0x10, kMediaClass = 4, kNoEventAvailable = 0x80;
  if ((c.cdb()[kPolled] & 0x01) == 0) {  // asynchronous notification is not offered
    c.Fail(sense::kInvalidFieldInCdb);
    return;
  }
  std::size_t alloc = get_be16(c.cdb(), kAllocation);
  std::vector<std::uint8_t> r(4, 0);
  r[3] = kMediaClassBit;  // supported event classes
  if ((c.cdb()[kClassRequest] & kMediaClassBit) == 0) {
    r[2] = kNoEventAvailable;
    put_be16(r, 0, 2);
    c.Reply(r, alloc);
    return;
  }
  DriveState& s = c.s;
  r[2] = kMediaClass;
  std::uint8_t event = 0;
  if (c.initiator.seen_media_event != s.media_event_gen) {
    c.initiator.seen_media_event = s.media_event_gen;
    event = s.media_event;
  }
  std::uint8_t status = 0;
  if (s.disc.present() && !s.tray_open) status |= 0x02;  // media present
  if (s.tray_open) status |= 0x01;                       // door or tray open
  r.insert(r.end(), {event, status, 0, 0});
  put_be16(r, 0, static_cast<std::uint32_t>(r.size() - 2));
  c.Reply(r, alloc);
}

void MechanismStatus(Ctx& c) {
  constexpr std::size_t kAllocation = 8, kMechanismState = 1;
  std::vector<std::uint8_t> r(8, 0);
  if (c.s.tray_open) r[kMechanismState] = 0x10;  // door open
  c.Reply(r, get_be16(c.cdb(), kAllocation));
}

void ReadSubchannel(Ctx& c) {
  constexpr std::size_t kSubQ = 2, kFormat = 3, kAllocation = 7;
  constexpr std::uint8_t kNoAudioStatus = 0x15;
  std::vector<std::uint8_t> r(4, 0);
  r[1] = kNoAudioStatus;
  if (c.cdb()[kSubQ] & 0x40) {
    std::size_t data = 0;
    switch (c.cdb()[kFormat]) {
      case 1:
        data = 12;
        break;  // current position
      case 2:
        data = 20;
        break;  // media catalogue number: none
      case 3:
        data = 20;
        break;  // track ISRC: none
      default:
        c.Fail(sense::kInvalidFieldInCdb);
        return;
    }
    r.resize(4 + data, 0);
    r[4] = c.cdb()[kFormat];
    if (c.cdb()[kFormat] == 1) r[5] = 0x14;  // ADR 1, data track
    put_be16(r, 2, static_cast<std::uint32_t>(data));
  }
  c.Reply(r, get_be16(c.cdb(), kAllocation));
}

}  // namespace vrec::detail
