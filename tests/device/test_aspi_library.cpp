// A small ASPI library for the library-transport tests. Built in three
// variants: the ASPI entry-point names, the ASAPI names, and one that lacks
// its send entry point. Its behaviour is switched by TestAspiMode().

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <thread>

#include "device/aspi_blocks.h"

namespace {

enum Mode : int {
  kSync = 0,        // status final on return, no event
  kPending = 1,     // SS_PENDING; a thread completes after the delay and signals
  kHold = 2,        // SS_PENDING; completes only when the test says so
  kCheck = 3,       // CHECK CONDITION with ILLEGAL REQUEST / INVALID FIELD IN CDB
  kSyncSignal = 4,  // status final on return, and the event signalled before it
};

std::atomic<int> g_mode{kSync};
std::atomic<int> g_delay_ms{0};
std::atomic<int> g_calls{0};
std::atomic<int> g_support_calls{0};
std::mutex g_held_lock;
SRB_ExecSCSICmd* g_held = nullptr;

#ifdef TEST_ASPI_ASAPI_NAMES
constexpr uint8_t kAdapters = 2;
#else
constexpr uint8_t kAdapters = 1;
#endif

void Signal(const SRB_ExecSCSICmd* srb) {
  if (!(srb->SRB_Flags & SRB_EVENT_NOTIFY)) return;
  int fd = static_cast<int>(reinterpret_cast<intptr_t>(srb->SRB_PostProc));
  uint64_t one = 1;
  (void)!write(fd, &one, sizeof one);
}

void Complete(SRB_ExecSCSICmd* srb) {
  if ((srb->SRB_Flags & SRB_DIR_IN) && srb->SRB_BufPointer != nullptr) {
    std::memset(srb->SRB_BufPointer, 0x5A, srb->SRB_BufLen);
  }
  __atomic_store_n(&srb->SRB_Status, SS_COMP, __ATOMIC_RELEASE);
}

uint32_t Support() {
  ++g_support_calls;
  return (uint32_t{SS_COMP} << 8) | kAdapters;
}

[[maybe_unused]] uint32_t Send(void* p) {
  auto* srb = static_cast<SRB_ExecSCSICmd*>(p);
  ++g_calls;
  if (srb->SRB_Cmd != SC_EXEC_SCSI_CMD) {
    srb->SRB_Status = SS_INVALID_CMD;
    return srb->SRB_Status;
  }
  switch (g_mode.load()) {
    case kPending: {
      srb->SRB_Status = SS_PENDING;
      int delay = g_delay_ms.load();
      std::thread([srb, delay] {
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        Complete(srb);
        Signal(srb);
      }).detach();
      return SS_PENDING;
    }
    case kHold: {
      srb->SRB_Status = SS_PENDING;
      std::lock_guard lock(g_held_lock);
      g_held = srb;
      return SS_PENDING;
    }
    case kCheck:
      srb->SRB_Status = SS_ERR;
      srb->SRB_TargStat = STATUS_CHKCOND;
      srb->SenseArea[0] = 0x70;
      srb->SenseArea[2] = 0x05;
      srb->SenseArea[7] = 10;
      srb->SenseArea[12] = 0x24;
      return srb->SRB_Status;
    case kSyncSignal:
      Complete(srb);
      Signal(srb);
      return srb->SRB_Status;
    default:
      Complete(srb);
      return srb->SRB_Status;
  }
}

}  // namespace

extern "C" {

#ifdef TEST_ASPI_ASAPI_NAMES
__attribute__((visibility("default"))) uint32_t GetASAPI32SupportInfo() {
  return Support();
}
__attribute__((visibility("default"))) uint32_t SendASAPI32Command(void* srb) {
  return Send(srb);
}
#else
__attribute__((visibility("default"))) uint32_t GetASPI32SupportInfo() {
  return Support();
}
#ifndef TEST_ASPI_MISSING_SEND
__attribute__((visibility("default"))) uint32_t SendASPI32Command(void* srb) {
  return Send(srb);
}
#endif
#endif

// Test controls.
__attribute__((visibility("default"))) void TestAspiMode(int mode, int delay_ms) {
  g_mode = mode;
  g_delay_ms = delay_ms;
}
__attribute__((visibility("default"))) int TestAspiCalls() {
  return g_calls.load();
}
__attribute__((visibility("default"))) int TestAspiSupportCalls() {
  return g_support_calls.load();
}
// Completes the request held in kHold mode: writes its status and data and
// signals its event, as a late library thread would. Returns its flags.
__attribute__((visibility("default"))) int TestAspiCompleteHeld() {
  std::lock_guard lock(g_held_lock);
  if (g_held == nullptr) return -1;
  SRB_ExecSCSICmd* srb = g_held;
  g_held = nullptr;
  Complete(srb);
  Signal(srb);
  return srb->SRB_Flags;
}

}  // extern "C"
