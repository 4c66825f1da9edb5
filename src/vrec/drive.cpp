// The command interpreter: the command table, the checks every command goes
// through, fault injection and the fixed-format sense data.

#include "vrec/drive.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "vrec/drive_internal.h"
#include "vrec/mmc.h"

namespace vrec {
namespace detail {
namespace {

using namespace mmc;

// Commands answered with or without a disc, during a unit attention or
// while the drive is busy. Everything not listed is 05/20/00.
constexpr std::uint16_t kMedium = kNeedsMedium;
constexpr std::uint16_t kAttn = kRunsDuringAttention;
constexpr std::uint16_t kBusyOk = kRunsWhileBusy;

constexpr CommandSpec kCommands[] = {
    {kTestUnitReady, 6, kMedium, TestUnitReady},
    {kRezeroUnit, 6, kMedium, NoOperation},
    {kRequestSense, 6, kAttn | kBusyOk, RequestSense},
    {kFormatUnit, 6, kMedium, FormatUnit},
    {kInquiry, 6, kAttn | kBusyOk, Inquiry},
    {kModeSelect6, 6, kBusyOk, ModeSelect},
    {kModeSense6, 6, kBusyOk, ModeSense},
    {kStartStopUnit, 6, 0, StartStopUnit},
    {kPreventAllow, 6, kBusyOk, PreventAllow},
    {kReadFormatCapacities, 10, kMedium, ReadFormatCapacities},
    {kReadCapacity, 10, kMedium, ReadCapacity},
    {kRead10, 10, kMedium, Read},
    {kWrite10, 10, kMedium, Write},
    {kSeek10, 10, kMedium, NoOperation},
    {kWriteVerify10, 10, kMedium, Write},
    {kVerify10, 10, kMedium, NoOperation},
    {kSynchronizeCache, 10, kMedium, SynchronizeCache},
    {kReadSubchannel, 10, kMedium, ReadSubchannel},
    {kReadToc, 10, kMedium, ReadToc},
    {kGetConfiguration, 10, kAttn | kBusyOk, GetConfiguration},
    {kGetEventStatus, 10, kAttn | kBusyOk, GetEventStatus},
    {kReadDiscInformation, 10, kMedium, ReadDiscInformation},
    {kReadTrackInformation, 10, kMedium, ReadTrackInformation},
    {kReserveTrack, 10, kMedium, ReserveTrack},
    {kSendOpcInformation, 10, kMedium, SendOpcInformation},
    {kModeSelect10, 10, kBusyOk, ModeSelect},
    {kModeSense10, 10, kBusyOk, ModeSense},
    {kCloseTrackSession, 10, kMedium, CloseTrackSession},
    {kReadBufferCapacity, 10, kBusyOk, ReadBufferCapacity},
    {kSendCueSheet, 10, kMedium, SendCueSheet},
    {kReadCapacity16, 16, kMedium, ReadCapacity16},
    {kBlank, 12, kMedium, Blank},
    {kRead12, 12, kMedium, Read},
    {kWrite12, 12, kMedium, Write},
    {kGetPerformance, 12, kBusyOk, GetPerformance},
    {kReadDvdStructure, 12, kMedium, ReadDvdStructure},
    {kSetStreaming, 12, kBusyOk, SetStreaming},
    {kSetCdSpeed, 12, kBusyOk, SetCdSpeed},
    {kMechanismStatus, 12, kAttn | kBusyOk, MechanismStatus},
    {kReadCd, 12, kMedium, ReadCd},
    {kSendDvdStructure, 12, kMedium, SendDvdStructure},
};

struct CommandTable {
  std::array<const CommandSpec*, 256> by_op{};
  CommandTable() {
    for (const CommandSpec& spec : kCommands) by_op[spec.op] = &spec;
  }
};

// The blocks a command addresses, for fault rules with a range.
BlockRange AddressedBlocks(ConstBytes cdb) {
  switch (cdb[0]) {
    case kRead10:
    case kWrite10:
    case kWriteVerify10:
    case kVerify10:
      return {true, static_cast<std::int32_t>(get_be32(cdb, 2)), get_be16(cdb, 7)};
    case kRead12:
    case kWrite12:
      return {true, static_cast<std::int32_t>(get_be32(cdb, 2)), get_be32(cdb, 6)};
    case kSeek10:
      return {true, static_cast<std::int32_t>(get_be32(cdb, 2)), 1};
    case kReadCd:
      return {true, static_cast<std::int32_t>(get_be32(cdb, 2)), get_be24(cdb, 6)};
    default:
      return {};
  }
}

bool IsWrite(std::uint8_t op) {
  return op == kWrite10 || op == kWrite12 || op == kWriteVerify10;
}

// Fires the first rule that matches; true when it decided the outcome.
bool ApplyFaults(Ctx& c) {
  BlockRange blocks = AddressedBlocks(c.cdb());
  for (FaultRule& rule : c.s.faults) {
    if (!FaultRuleFires(rule, c.cdb()[0], blocks)) continue;
    std::uint32_t info = 0;
    if (blocks.valid) {
      info = static_cast<std::uint32_t>(
          std::max<std::int64_t>(blocks.first, rule.has_range ? rule.first : blocks.first));
    }
    switch (rule.result) {
      case FaultResult::kSense:
        c.FailWith(rule.sense, blocks.valid, info);
        // A medium error while writing leaves the track damaged: its next
        // writable address is no longer valid.
        if (rule.sense.key == sense::kKeyMediumError && IsWrite(c.cdb()[0])) {
          int t = c.disc().TrackAcceptingWriteAt(static_cast<std::int32_t>(blocks.first));
          if (t >= 0) c.disc().tracks[static_cast<std::size_t>(t)].damaged = true;
        }
        break;
      case FaultResult::kBusy:
        c.resp.status = kStatusBusy;
        break;
      case FaultResult::kTimeout:
        c.resp.timed_out = true;
        break;
      case FaultResult::kEject:
        c.s.tray_open = true;
        c.s.prevent_removal = false;
        RaiseMediaEvent(c.s, kMediaEventRemoval);
        c.Fail(sense::kNoMediumTrayOpen);
        break;
    }
    return true;
  }
  return false;
}

// Lets the time that passed since the last command take effect.
void Settle(Ctx& c) {
  DriveState& s = c.s;
  if (s.busy != BusyKind::kNone && c.now >= s.busy_end) s.busy = BusyKind::kNone;
  if (s.disc.bg_format == 2 && c.now >= s.bg_format_end) {
    s.disc.bg_format = 3;
    RaiseMediaEvent(s, kMediaEventBgFormatDone);
  }
}

}  // namespace

const CommandSpec* FindCommand(std::uint8_t op) {
  static const CommandTable table;
  return table.by_op[op];
}

void Ctx::Reply(const std::vector<std::uint8_t>& reply, std::size_t alloc) {
  if (req.direction != DataDirection::kIn) return;
  std::size_t n = std::min({reply.size(), alloc, req.data.size()});
  if (n > 0) std::memcpy(req.data.data(), reply.data(), n);
  resp.transferred = static_cast<std::uint32_t>(n);
}

ConstBytes Ctx::Params(std::size_t needed) {
  if (req.direction != DataDirection::kOut || req.data.size() < needed) {
    Fail(sense::kParameterListLengthError);
    return {};
  }
  return ConstBytes(req.data.data(), needed);
}

void RaiseAttention(DriveState& s, Sense sense) {
  s.attention = sense;
  ++s.attention_gen;
}

void RaiseMediaEvent(DriveState& s, std::uint8_t event) {
  s.media_event = event;
  ++s.media_event_gen;
}

}  // namespace detail

std::array<std::uint8_t, kSenseLength> BuildSense(Sense s, bool info_valid, std::uint32_t info,
                                                  int progress) {
  constexpr std::size_t kResponseCode = 0, kKey = 2, kInfo = 3, kAdditionalLength = 7, kAsc = 12,
                        kAscq = 13, kSenseKeySpecific = 15;
  std::array<std::uint8_t, kSenseLength> b{};
  b[kResponseCode] = static_cast<std::uint8_t>(0x70 | (info_valid ? 0x80 : 0));  // current, fixed
  b[kKey] = s.key;
  if (info_valid) put_be32(b, kInfo, info);
  b[kAdditionalLength] = kSenseLength - 8;
  b[kAsc] = s.asc;
  b[kAscq] = s.ascq;
  if (progress >= 0) {
    b[kSenseKeySpecific] = 0x80;  // SKSV: the progress indication is valid
    put_be16(b, kSenseKeySpecific + 1, static_cast<std::uint32_t>(std::min(progress, 0xFFFF)));
  }
  return b;
}

Response Execute(DriveState& state, SectorStore& store, Initiator& initiator, std::int64_t now,
                 const DriveOptions& options, const Request& request) {
  using namespace detail;
  Response resp;
  Ctx c{state, store, initiator, now, options, request, resp};
  if (request.cdb.empty()) {
    c.Fail(sense::kInvalidOperationCode);
    return resp;
  }
  const CommandSpec* spec = FindCommand(request.cdb[0]);
  if (spec == nullptr) {
    c.Fail(sense::kInvalidOperationCode);
    return resp;
  }
  if (request.cdb.size() < spec->cdb_length) {
    c.Fail(sense::kInvalidFieldInCdb);
    return resp;
  }
  Settle(c);
  if (ApplyFaults(c)) return resp;
  if (state.attention_gen != initiator.seen_attention &&
      (spec->flags & kRunsDuringAttention) == 0) {
    initiator.seen_attention = state.attention_gen;
    if (state.attention.key != 0) {
      c.Fail(state.attention);
      return resp;
    }
  }
  if (spec->flags & kNeedsMedium) {
    if (state.tray_open) {
      c.Fail(sense::kNoMediumTrayOpen);
      return resp;
    }
    if (!state.disc.present()) {
      c.Fail(sense::kNoMediumTrayClosed);
      return resp;
    }
    if (now < state.ready_at) {
      c.Fail(sense::kBecomingReady);
      return resp;
    }
  }
  if (state.busy != BusyKind::kNone && (spec->flags & kRunsWhileBusy) == 0) {
    c.FailWith(BusySense(state), false, 0, BusyProgress(state, now));
    return resp;
  }
  spec->handler(c);
  return resp;
}

}  // namespace vrec
