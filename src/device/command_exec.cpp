// ExecSCSICommand: the one routine every command goes through.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>

#include "device/aspi_loader.h"
#include "device/completion_event.h"
#include "device/device_texts.h"
#include "device/failure_line.h"
#include "device/outstanding_requests.h"
#include "device/scsi_device.h"
#include "device/sense_texts.h"
#include "device/transport_report.h"

namespace {

// When true every command is logged with the time of day. Off in the
// product; nothing switches it on.
constexpr bool TraceAllCommands = false;

constexpr uint8_t kNoOperation = 0xFF;  // CDB byte 0 of a command that is not sent
constexpr uint8_t kAscNotReady = 0x04;
constexpr uint8_t kAscqLongWrite = 0x08;

uint8_t LoadStatus(const SRB_ExecSCSICmd& srb) {
  const auto* p = reinterpret_cast<const uint8_t*>(&srb) + offsetof(SRB_ExecSCSICmd, SRB_Status);
  return __atomic_load_n(p, __ATOMIC_ACQUIRE);
}

// A pending request sent without an event: its status is watched until it
// becomes final or the time-out passes.
bool PollStatus(const SRB_ExecSCSICmd& srb, int32_t timeout_ms) {
  using clock = std::chrono::steady_clock;
  const auto deadline = clock::now() + std::chrono::milliseconds(timeout_ms);
  while (LoadStatus(srb) == SS_PENDING) {
    if (clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// The completion event of the calling thread's requests. A thread has at
// most one request out at a time, so one eventfd serves all of them; it is
// made at the first request and after one was given up with a timed-out
// request (see outstanding_requests.h).
device::CompletionEvent& ThreadEvent() {
  thread_local device::CompletionEvent event;
  return event;
}

// Waits for a pending request sent with the event. A library may signal a
// request that completed before SendASPI32Command returned; such a signal
// is still counted when the next request waits, so a wake-up counts only
// once the block's status is final.
bool WaitEvent(device::CompletionEvent& event, const SRB_ExecSCSICmd& srb, int32_t timeout_ms) {
  using clock = std::chrono::steady_clock;
  const auto deadline = clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count();
    if (!event.Wait(static_cast<int32_t>(std::max<int64_t>(left, 0)))) return false;
    if (LoadStatus(srb) != SS_PENDING) return true;
  }
}

[[maybe_unused]] std::string TimeOfDay() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t t = system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  char b[16];
  std::snprintf(b, sizeof b, "%02d:%02d:%03d ", tm.tm_min, tm.tm_sec, static_cast<int>(ms));
  return b;
}

}  // namespace

bool TSCSIDevice::ASPIInitialized() const {
  return ASPILoaded;
}

uint8_t TSCSIDevice::ExecSCSICommand(SRB_ExecSCSICmd& srb, int32_t TimeoutMs) {
  LastError.clear();
  TargetBusy = false;
  TransportError = false;
  LastResidual = 0;
  LastSense.fill(0);
  if (!ASPIInitialized() || HostAdapter == kNoDevice) {
    TransportError = true;
    return kExecRefused;
  }

  srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
  srb.SRB_HaId = HostAdapter;
  srb.SRB_Target = TargetId;
  srb.SRB_Lun = Lun;
  srb.SRB_SenseLen = kSenseLen;
  if (TimeoutMs < kMinCommandTimeoutMs) TimeoutMs = kMinCommandTimeoutMs;
  LastTimeoutMs = TimeoutMs;
  srb.CDBByte[1] = static_cast<uint8_t>((Lun << 5) | (srb.CDBByte[1] & 0x1F));

  device::TransportReport& report = device::LastTransportReport();
  report.Clear();
  bool answered = true;
  if (srb.CDBByte[0] == kNoOperation) {
    srb.SRB_PostProc = nullptr;
    srb.SRB_Status = SS_COMP;
  } else {
    answered = Send(srb, TimeoutMs);
  }
  if (report.has_residual) LastResidual = report.residual;

  if (!answered || srb.SRB_Status == SS_PENDING) {
    // The wait ran out: the request is reported as a time-out.
    srb.SRB_Status = SS_ERR;
    srb.SRB_HaStat = HASTAT_TIMEOUT;
  }
  if (srb.SRB_Status != SS_COMP) DecodeFailure(srb);
  LogCommand(srb);
  return kExecIssued;
}

// Hands the block to the transport through the in-flight copy and waits for
// it. False when the request was still pending at the end of the wait; the
// copy then stays with the library (see outstanding_requests.h).
bool TSCSIDevice::Send(SRB_ExecSCSICmd& srb, int32_t timeout_ms) {
  device::ReapOutstanding();
  device::CompletionEvent& event = ThreadEvent();
  const bool notify = (srb.SRB_Flags & SRB_EVENT_NOTIFY) != 0;
  if (notify) {
    if (event.fd() < 0 && !event.Create()) {
      srb.SRB_Status = SS_ERR;
      srb.SRB_HaStat = HASTAT_BUS_FREE;
      device::LastTransportReport().detail = std::string(texts::kCompletionEventFailed);
      return true;
    }
    srb.SRB_PostProc = event.AsPostProc();
  } else {
    srb.SRB_PostProc = nullptr;
  }

  if (!in_flight_) in_flight_ = std::make_unique<SRB_ExecSCSICmd>();
  SRB_ExecSCSICmd& block = *in_flight_;
  std::memcpy(&block, &srb, sizeof block);

  const uint32_t returned = SendASPI32Command(&block);
  if ((returned & 0xFF) == SS_PENDING) {
    // Once a library has said "pending" it owns the block (and, with an
    // event, will signal it) until it completes; only then may either be
    // given up.
    const bool done = notify ? WaitEvent(event, block, timeout_ms) : PollStatus(block, timeout_ms);
    if (!done) {
      device::KeepOutstanding(std::move(in_flight_), notify ? event.Release() : -1);
      return false;
    }
    std::atomic_thread_fence(std::memory_order_acquire);
  }
  std::memcpy(&srb, &block, sizeof srb);
  return true;
}

void TSCSIDevice::DecodeFailure(SRB_ExecSCSICmd& srb) {
  const uint8_t status = srb.SRB_Status;
  TransportError = !(status == SS_ERR && srb.SRB_HaStat == HASTAT_OK);
  LastError = DecodeStatus(srb);
  if (LastError == texts::kCheckCondition) LastError = DecodeSense(srb);
  const std::string additional = DecodeAdditionalSense(srb);
  std::memcpy(LastSense.data(), srb.SenseArea, LastSense.size());
  std::memcpy(LastFailedCdb.data(), srb.CDBByte, LastFailedCdb.size());
  if (srb.SenseArea[7] != 0) LastError += " (" + additional + ")";
  const std::string& detail = device::LastTransportReport().detail;
  if (!detail.empty()) LastError += " (" + detail + ")";
}

std::string TSCSIDevice::DecodeStatus(const SRB_ExecSCSICmd& srb) {
  std::string_view text = device::StatusText(srb.SRB_Status, srb.SRB_HaStat, srb.SRB_TargStat);
  if (text == texts::kTargetBusy) TargetBusy = true;
  return std::string(text);
}

std::string TSCSIDevice::DecodeSense(const SRB_ExecSCSICmd& srb) {
  return std::string(device::SenseKeyText(srb.SenseArea[0], srb.SenseArea[2]));
}

std::string TSCSIDevice::DecodeAdditionalSense(const SRB_ExecSCSICmd& srb) {
  return device::AdditionalSenseText(srb.SenseArea[12], srb.SenseArea[13]);
}

void TSCSIDevice::LogCommand(const SRB_ExecSCSICmd& srb) {
  if constexpr (TraceAllCommands) {
    DebugMsg(device::FailureLine(srb, LastError, TimeOfDay()), 0);
    return;
  }
  if (srb.SRB_Status == SS_COMP || srb.SRB_Status == SS_PENDING) return;
  if (device::FailureNotLogged(srb.CDBByte[0])) return;
  if (srb.SenseArea[12] == kAscNotReady && srb.SenseArea[13] == kAscqLongWrite) return;
  DebugMsg(device::FailureLine(srb, LastError), 0);
}
