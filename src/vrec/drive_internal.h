#pragma once
// Shared by the command handlers: the context of one command, the command
// table's entry, and the helpers for replies, time and events.

#include <cstdint>
#include <vector>

#include "vrec/drive.h"

namespace vrec::detail {

struct Ctx {
  DriveState& s;
  SectorStore& store;
  Initiator& initiator;
  std::int64_t now;
  DriveOptions options;
  const Request& req;
  Response& resp;

  ConstBytes cdb() const { return req.cdb; }
  Disc& disc() { return s.disc; }
  bool failed() const { return resp.status != kStatusGood; }

  void Fail(Sense sense) { FailWith(sense, false, 0); }
  void FailAt(Sense sense, std::uint32_t info) { FailWith(sense, true, info); }
  void FailWith(Sense sense, bool info_valid, std::uint32_t info, int progress = -1) {
    resp.status = kStatusCheckCondition;
    resp.sense = BuildSense(sense, info_valid, info, progress);
    resp.transferred = 0;
  }
  // Hands the host at most `alloc` bytes of `reply` (and never more than its
  // buffer holds); length fields inside the reply keep their full values.
  void Reply(const std::vector<std::uint8_t>& reply, std::size_t alloc);
  // The parameter list the host sent, or empty with 05/1A/00 raised when it
  // is shorter than `needed`.
  ConstBytes Params(std::size_t needed);
  void Take(std::int64_t us) {
    if (us > 0) resp.duration_us += us;
  }
};

using Handler = void (*)(Ctx&);

enum CommandFlags : std::uint16_t {
  kNeedsMedium = 1 << 0,          // 02/3A/xx without a disc, 02/04/01 while it spins up
  kRunsDuringAttention = 1 << 1,  // not failed by a pending unit attention
  kRunsWhileBusy = 1 << 2,        // answered during a long operation
};

struct CommandSpec {
  std::uint8_t op;
  std::uint8_t cdb_length;
  std::uint16_t flags;
  Handler handler;
};

const CommandSpec* FindCommand(std::uint8_t op);

// Time. The recording rate is the host's selected speed, capped by the
// emulated speed; with speed emulation off everything takes no time.
double RecordingBytesPerSecond(const Ctx& c);
std::int64_t TimeForBlocks(const Ctx& c, double blocks);
inline constexpr std::int64_t kSpinUpUs = 1'500'000;
std::int64_t Scaled(const Ctx& c, std::int64_t us);  // 0 without speed emulation
void DrainBuffer(Ctx& c);
// Starts a long operation; with `immediate` the command returns at once and
// the drive reports not ready until the operation ends, otherwise the
// command itself takes the time.
void StartOperation(Ctx& c, BusyKind kind, std::int64_t duration, bool immediate);
// Progress of the running operation, 0..65535.
int BusyProgress(const DriveState& s, std::int64_t now);
Sense BusySense(const DriveState& s);

// Events seen once by every initiator.
void RaiseAttention(DriveState& s, Sense sense);
void RaiseMediaEvent(DriveState& s, std::uint8_t event);
inline constexpr std::uint8_t kMediaEventEjectRequest = 1;
inline constexpr std::uint8_t kMediaEventNewMedia = 2;
inline constexpr std::uint8_t kMediaEventRemoval = 3;
inline constexpr std::uint8_t kMediaEventBgFormatDone = 5;

// Speeds in kilobytes per second for the loaded medium.
std::vector<std::uint32_t> WriteSpeedsKbps(const DriveState& s);
std::uint32_t MaxReadKbps(const DriveState& s);
std::uint32_t CurrentWriteKbps(const DriveState& s);
std::uint32_t CurrentReadKbps(const DriveState& s);

// Write parameters page fields.
inline std::uint8_t WriteType(const DriveState& s) {
  return s.page05[2] & 0x0F;
}
inline bool TestWriteBit(const DriveState& s) {
  return (s.page05[2] & 0x10) != 0;
}
inline bool Bufe(const DriveState& s) {
  return (s.page05[2] & 0x40) != 0;
}
inline std::uint8_t MultiSession(const DriveState& s) {
  return s.page05[3] >> 6;
}
inline std::uint8_t DataBlockType(const DriveState& s) {
  return s.page05[4] & 0x0F;
}
// The medium honours page 05h (CD, DVD-R/-RW sequential).
bool UsesWriteParameters(const Disc& d);

// Handlers, one per command, grouped by family.
void TestUnitReady(Ctx& c);
void RequestSense(Ctx& c);
void Inquiry(Ctx& c);
void StartStopUnit(Ctx& c);
void PreventAllow(Ctx& c);
void GetEventStatus(Ctx& c);
void MechanismStatus(Ctx& c);
void NoOperation(Ctx& c);  // REZERO UNIT, SEEK, VERIFY
void ReadSubchannel(Ctx& c);

void ModeSense(Ctx& c);
void ModeSelect(Ctx& c);

void GetConfiguration(Ctx& c);
void GetPerformance(Ctx& c);
void SetCdSpeed(Ctx& c);
void SetStreaming(Ctx& c);

void ReadDiscInformation(Ctx& c);
void ReadTrackInformation(Ctx& c);
void ReadToc(Ctx& c);
void ReadCapacity(Ctx& c);
void ReadCapacity16(Ctx& c);
void ReadFormatCapacities(Ctx& c);
void ReadDvdStructure(Ctx& c);
void ReadBufferCapacity(Ctx& c);

void Read(Ctx& c);
void ReadCd(Ctx& c);
void Write(Ctx& c);

void SynchronizeCache(Ctx& c);
void CloseTrackSession(Ctx& c);
void ReserveTrack(Ctx& c);
void SendOpcInformation(Ctx& c);
void SendCueSheet(Ctx& c);
void SendDvdStructure(Ctx& c);

void Blank(Ctx& c);
void FormatUnit(Ctx& c);

// Shared by the recording commands: finishes what a sync or close leaves.
void FinishTestTracks(Ctx& c);

}  // namespace vrec::detail
