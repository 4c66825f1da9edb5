// libwnaspi32.so: the virtual recorders behind the two entry points of an
// ASPI library, so that the library transport finds them on a machine
// without a real recorder. One host adapter (0); recorders are its targets
// 0, 1, ... with LUN 0. The request blocks are read and written byte by byte
// at the offsets the device layer and the recorder agreed on.
//
// A command that takes no emulated time completes before SendASPI32Command
// returns. One that takes time (the drive filling its buffer, spinning up)
// returns SS_PENDING; a completion thread writes the final status when the
// time has passed and then signals the event descriptor in SRB_PostProc. A
// command hit by a "timeout" fault rule stays pending for ever, as a hung
// drive would.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "vrec/mmc.h"
#include "vrec/recorder.h"

namespace {

using vrec::get_be16;

// Request block fields shared by every block kind.
constexpr std::size_t kCmd = 0, kStatus = 1, kHaId = 2, kFlags = 3;
// SRB_ExecSCSICmd (105 bytes on 64-bit Linux).
constexpr std::size_t kTarget = 8, kLun = 9, kBufLen = 12, kBufPointer = 16, kSenseLen = 24,
                      kCdbLen = 25, kHaStat = 26, kTargStat = 27, kPostProc = 28, kCdb = 56,
                      kSenseArea = 72, kSenseAreaSize = 33;
// SRB_HAInquiry (60 bytes).
constexpr std::size_t kHaCount = 8, kHaScsiId = 9, kHaManagerId = 10, kHaIdentifier = 26,
                      kHaUnique = 42;
// SRB_GDEVBlock (12 bytes).
constexpr std::size_t kDeviceType = 10;

constexpr std::uint8_t kScHaInquiry = 0, kScGetDevType = 1, kScExecScsiCmd = 2, kScAbortSrb = 3,
                       kScResetDev = 4, kScGetDiskInfo = 6;
constexpr std::uint8_t kSsPending = 0x00, kSsComp = 0x01, kSsErr = 0x04, kSsInvalidCmd = 0x80,
                       kSsInvalidHa = 0x81, kSsNoDevice = 0x82, kSsInvalidSrb = 0xE0;
constexpr std::uint8_t kSrbDirIn = 0x08, kSrbDirOut = 0x10, kSrbEventNotify = 0x40;
constexpr std::uint8_t kSupportOk = 0x01, kSupportNoAdapters = 0xE8;
constexpr int kMaxTargets = 8;

std::uint32_t GetLe32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}
std::uint64_t GetLe64(const std::uint8_t* p) {
  return std::uint64_t{GetLe32(p)} | (std::uint64_t{GetLe32(p + 4)} << 32);
}
void PutLe16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void PutLe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void PutText(std::uint8_t* p, std::size_t width, const char* text) {
  std::size_t n = std::min(width, std::strlen(text));
  std::memset(p, 0, width);
  std::memcpy(p, text, n);
}

void FinalStatus(std::uint8_t* srb, std::uint8_t status) {
  __atomic_store_n(srb + kStatus, status, __ATOMIC_RELEASE);
}

// Data direction from the flags, or from the command when the flags leave it
// to the command (SRB_DIR_SCSI).
vrec::DataDirection Direction(std::uint8_t flags, std::uint8_t op, std::uint32_t length) {
  bool in = (flags & kSrbDirIn) != 0, out = (flags & kSrbDirOut) != 0;
  if (in && !out) return vrec::DataDirection::kIn;
  if (out && !in) return vrec::DataDirection::kOut;
  if (length == 0) return vrec::DataDirection::kNone;
  switch (op) {
    case vrec::mmc::kWrite10:
    case vrec::mmc::kWrite12:
    case vrec::mmc::kWriteVerify10:
    case vrec::mmc::kModeSelect10:
    case vrec::mmc::kModeSelect6:
    case vrec::mmc::kSendCueSheet:
    case vrec::mmc::kSendDvdStructure:
    case vrec::mmc::kSetStreaming:
    case vrec::mmc::kFormatUnit:
      return vrec::DataDirection::kOut;
    default:
      return vrec::DataDirection::kIn;
  }
}

struct Completion {
  std::chrono::steady_clock::time_point due;
  std::uint8_t* srb;
  std::uint8_t status;
  std::uint8_t targ_stat;
  std::vector<std::uint8_t> sense;
  int event_fd;
};

class Library {
 public:
  static Library& Get() {
    static Library library;
    return library;
  }

  ~Library() {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      stopping_ = true;
    }
    cv_.notify_all();
    if (worker_.joinable()) worker_.join();
  }

  std::uint32_t SupportInfo() {
    std::lock_guard<std::mutex> hold(mutex_);
    if (!FolderReady()) return kSupportNoAdapters << 8;
    return (kSupportOk << 8) | 1;  // one host adapter
  }

  std::uint32_t Send(std::uint8_t* srb) {
    switch (srb[kCmd]) {
      case kScHaInquiry:
        return HaInquiry(srb);
      case kScGetDevType:
        return GetDevType(srb);
      case kScExecScsiCmd:
        return ExecScsiCmd(srb);
      case kScAbortSrb:
      case kScResetDev:
        FinalStatus(srb, kSsComp);
        return kSsComp;
      case kScGetDiskInfo:  // Linux has no drive letters to report
        FinalStatus(srb, kSsErr);
        return kSsErr;
      default:
        FinalStatus(srb, kSsInvalidCmd);
        return kSsInvalidCmd;
    }
  }

 private:
  Library() = default;

  bool FolderReady() {
    if (folder_.empty()) folder_ = vrec::DefaultStateFolder();
    std::string error;
    if (vrec::PrepareStateFolder(folder_, true, &error)) return true;
    Complain(error);
    return false;
  }

  void Complain(const std::string& error) {
    if (error == complained_) return;
    complained_ = error;
    std::fprintf(stderr, "tidemark virtual recorder: %s\n", error.c_str());
  }

  vrec::Recorder* RecorderFor(int target) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (target < 0 || target >= kMaxTargets) return nullptr;
    // A recorder once open finds its own state again at every command
    // (RecorderStore::Lock), even when the folder was reset or removed in
    // between: the folder is looked at only to open one.
    auto it = recorders_.find(target);
    if (it != recorders_.end()) return it->second.get();
    if (!FolderReady()) return nullptr;
    std::vector<int> present = vrec::RecordersInFolder(folder_);
    if (std::find(present.begin(), present.end(), target) == present.end()) return nullptr;
    std::string error;
    vrec::RecorderOptions options;
    options.folder = folder_;
    options.target = target;
    options.create = false;
    std::unique_ptr<vrec::Recorder> r = vrec::Recorder::Open(options, &error);
    if (!r) {
      Complain(error);
      return nullptr;
    }
    return (recorders_[target] = std::move(r)).get();
  }

  std::uint32_t HaInquiry(std::uint8_t* srb) {
    srb[kHaCount] = 1;
    if (srb[kHaId] != 0) {
      FinalStatus(srb, kSsInvalidHa);
      return kSsInvalidHa;
    }
    srb[kHaScsiId] = 7;
    PutText(srb + kHaManagerId, 16, "TIDEMARK VREC");
    PutText(srb + kHaIdentifier, 16, "VIRTUAL");
    std::memset(srb + kHaUnique, 0, 16);
    PutLe16(srb + kHaUnique, 0);               // buffer alignment: any
    srb[kHaUnique + 3] = kMaxTargets;          // targets per adapter
    PutLe32(srb + kHaUnique + 4, 0x00FF0000);  // largest transfer
    FinalStatus(srb, kSsComp);
    return kSsComp;
  }

  std::uint32_t GetDevType(std::uint8_t* srb) {
    if (srb[kHaId] != 0) {
      FinalStatus(srb, kSsInvalidHa);
      return kSsInvalidHa;
    }
    bool present = srb[kLun] == 0 && RecorderFor(srb[kTarget]) != nullptr;
    srb[kDeviceType] = present ? 0x05 : 0x1F;
    std::uint8_t status = present ? kSsComp : kSsNoDevice;
    FinalStatus(srb, status);
    return status;
  }

  std::uint32_t ExecScsiCmd(std::uint8_t* srb) {
    srb[kHaStat] = 0;
    srb[kTargStat] = 0;
    if (srb[kHaId] != 0) {
      FinalStatus(srb, kSsInvalidHa);
      return kSsInvalidHa;
    }
    vrec::Recorder* recorder = srb[kLun] == 0 ? RecorderFor(srb[kTarget]) : nullptr;
    if (recorder == nullptr) {
      FinalStatus(srb, kSsNoDevice);
      return kSsNoDevice;
    }
    std::uint8_t cdb_length = srb[kCdbLen];
    std::uint32_t length = GetLe32(srb + kBufLen);
    auto* buffer =
        reinterpret_cast<std::uint8_t*>(static_cast<std::uintptr_t>(GetLe64(srb + kBufPointer)));
    if (cdb_length < 6 || cdb_length > 16 || (length > 0 && buffer == nullptr)) {
      FinalStatus(srb, kSsInvalidSrb);
      return kSsInvalidSrb;
    }
    std::uint8_t flags = srb[kFlags];
    vrec::DataDirection dir = Direction(flags, srb[kCdb], length);
    vrec::Request request{vrec::ConstBytes(srb + kCdb, cdb_length), dir,
                          vrec::Bytes(buffer, dir == vrec::DataDirection::kNone ? 0 : length)};
    vrec::Response r = recorder->Execute(request);
    bool notify = (flags & kSrbEventNotify) != 0;
    int event_fd = static_cast<int>(static_cast<std::intptr_t>(GetLe64(srb + kPostProc)));
    if (r.timed_out) {
      srb[kStatus] = kSsPending;  // and so it stays
      return kSsPending;
    }
    std::uint8_t status = r.status == vrec::kStatusGood ? kSsComp : kSsErr;
    std::vector<std::uint8_t> sense;
    if (r.status == vrec::kStatusCheckCondition) {
      std::size_t n = std::min<std::size_t>({srb[kSenseLen], kSenseAreaSize, r.sense.size()});
      sense.assign(r.sense.begin(), r.sense.begin() + static_cast<std::ptrdiff_t>(n));
    }
    if (r.duration_us <= 0) {
      Finish(srb, status, r.status, sense);
      return status;
    }
    srb[kStatus] = kSsPending;
    Completion c{std::chrono::steady_clock::now() + std::chrono::microseconds(r.duration_us),
                 srb,
                 status,
                 r.status,
                 std::move(sense),
                 notify ? event_fd : -1};
    Schedule(std::move(c));
    return kSsPending;
  }

  static void Finish(std::uint8_t* srb, std::uint8_t status, std::uint8_t targ_stat,
                     const std::vector<std::uint8_t>& sense) {
    srb[kTargStat] = targ_stat;
    srb[kHaStat] = 0;
    if (!sense.empty()) std::memcpy(srb + kSenseArea, sense.data(), sense.size());
    FinalStatus(srb, status);
  }

  void Schedule(Completion c) {
    std::lock_guard<std::mutex> hold(mutex_);
    pending_.push_back(std::move(c));
    if (!worker_.joinable()) worker_ = std::thread([this] { Run(); });
    cv_.notify_all();
  }

  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
      if (pending_.empty()) {
        cv_.wait(lock);
        continue;
      }
      auto next =
          std::min_element(pending_.begin(), pending_.end(),
                           [](const Completion& a, const Completion& b) { return a.due < b.due; });
      if (std::chrono::steady_clock::now() < next->due) {
        cv_.wait_until(lock, next->due);
        continue;
      }
      Completion c = std::move(*next);
      pending_.erase(next);
      Finish(c.srb, c.status, c.targ_stat, c.sense);
      if (c.event_fd >= 0) {
        std::uint64_t one = 1;
        ssize_t ignored = write(c.event_fd, &one, sizeof one);
        (void)ignored;
      }
    }
  }

  std::mutex mutex_;
  std::condition_variable cv_;
  std::thread worker_;
  std::vector<Completion> pending_;
  bool stopping_ = false;
  std::string folder_;
  std::string complained_;
  std::map<int, std::unique_ptr<vrec::Recorder>> recorders_;
};

}  // namespace

#define TIDEMARK_EXPORT extern "C" __attribute__((visibility("default")))

TIDEMARK_EXPORT std::uint32_t GetASPI32SupportInfo(void) {
  return Library::Get().SupportInfo();
}

TIDEMARK_EXPORT std::uint32_t SendASPI32Command(void* srb) {
  if (srb == nullptr) return kSsInvalidSrb;
  return Library::Get().Send(static_cast<std::uint8_t*>(srb));
}

TIDEMARK_EXPORT std::uint32_t GetASAPI32SupportInfo(void) {
  return GetASPI32SupportInfo();
}

TIDEMARK_EXPORT std::uint32_t SendASAPI32Command(void* srb) {
  return SendASPI32Command(srb);
}
