// The C++ side of the SG_IO shim: where the recorder's paths lead, SG_IO and
// the other ioctls of a Linux CD/DVD drive, and reading the disc as a block
// device. Every command goes through one Recorder per process.

#include "vrec/shim/shim_core.h"

#include <fcntl.h>
#include <linux/cdrom.h>
#include <linux/fs.h>
#include <scsi/scsi.h>
#include <scsi/scsi_ioctl.h>
#include <scsi/sg.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "vrec/mmc.h"
#include "vrec/recorder.h"
#include "vrec/shim_root.h"

namespace {

using vrec::ShimLayout;

struct Config {
  ShimLayout layout;
  int address[4] = {0, 0, 0, 0};
  int target = 0;
};

// Built from the environment only: it is consulted from inside open() and
// stat(), so it must not itself open or stat anything.
const Config& GetConfig() {
  static const Config config = [] {
    Config c;
    if (const char* node = std::getenv("TIDEMARK_VREC_NODE"); node && node[0] == '/') {
      c.layout.node = node;
    }
    if (const char* a = std::getenv("TIDEMARK_VREC_ADDRESS");
        a && vrec::ParseScsiAddress(a, c.address)) {
      c.layout.address = a;
    }
    if (const char* t = std::getenv("TIDEMARK_VREC_TARGET"); t && *t) c.target = std::atoi(t) & 7;
    const char* root = std::getenv("TIDEMARK_VREC_SHIM_ROOT");
    c.layout.root = root && root[0] == '/' ? root : "";
    return c;
  }();
  return config;
}

void Complain(const std::string& text) {
  static std::once_flag once;
  std::call_once(once, [&] { std::fprintf(stderr, "tidemark vrec shim: %s\n", text.c_str()); });
}

std::mutex g_recorder_mutex;

vrec::Recorder* GetRecorder() {
  static std::unique_ptr<vrec::Recorder> recorder;
  static bool failed = false;
  std::lock_guard<std::mutex> hold(g_recorder_mutex);
  if (!recorder && !failed) {
    std::string error;
    vrec::RecorderOptions options;
    options.target = GetConfig().target;
    recorder = vrec::Recorder::Open(options, &error);
    if (!recorder) {
      failed = true;
      Complain(error);
    }
  }
  return recorder.get();
}

// `path` without repeated or trailing slashes.
std::string Normalized(const char* path) {
  std::string out;
  for (const char* p = path; *p; ++p) {
    if (*p == '/' && !out.empty() && out.back() == '/') continue;
    out += *p;
  }
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

// `path` is `prefix` or lies below it; `rest` gets what follows.
bool Under(const std::string& path, const std::string& prefix, std::string* rest) {
  if (path.compare(0, prefix.size(), prefix) != 0) return false;
  if (path.size() != prefix.size() && path[prefix.size()] != '/') return false;
  *rest = path.substr(prefix.size());
  return true;
}

bool Copy(const std::string& s, char* out, std::size_t size) {
  if (s.size() + 1 > size) return false;
  std::memcpy(out, s.c_str(), s.size() + 1);
  return true;
}

vrec::Response Run(std::vector<std::uint8_t> cdb, vrec::DataDirection dir, void* data,
                   std::size_t length, bool wait) {
  vrec::Recorder* r = GetRecorder();
  vrec::Response resp;
  if (r == nullptr) {
    resp.status = vrec::kStatusCheckCondition;
    resp.sense = vrec::BuildSense(vrec::sense::kInternalTargetFailure);
    return resp;
  }
  vrec::Request req{cdb, dir, vrec::Bytes(static_cast<std::uint8_t*>(data), length)};
  for (int attempt = 0; attempt < 2; ++attempt) {
    resp = wait ? r->ExecuteAndWait(req) : r->Execute(req);
    // The kernel absorbs unit attentions of its own block reads.
    if (resp.status != vrec::kStatusCheckCondition || (resp.sense[2] & 0x0F) != 6) break;
  }
  return resp;
}

long SgIo(sg_io_hdr_t* h) {
  if (h->interface_id != 'S') return -EINVAL;
  if (h->cmd_len < 6 || h->cmd_len > 16 || h->cmdp == nullptr)
    return h->cmd_len < 6 ? -EMSGSIZE : -EINVAL;
  if (h->iovec_count != 0) return -EINVAL;  // scatter-gather lists are not offered
  // As the kernel does, the direction only matters when data moves.
  vrec::DataDirection dir = vrec::DataDirection::kNone;
  if (h->dxfer_len != 0) {
    switch (h->dxfer_direction) {
      case SG_DXFER_NONE:
        break;
      case SG_DXFER_TO_DEV:
        dir = vrec::DataDirection::kOut;
        break;
      case SG_DXFER_FROM_DEV:
      case SG_DXFER_TO_FROM_DEV:
      case -5:  // SG_DXFER_UNKNOWN
        dir = vrec::DataDirection::kIn;
        break;
      default:
        return -EINVAL;
    }
  }
  std::size_t length = h->dxferp != nullptr ? h->dxfer_len : 0;
  if (dir == vrec::DataDirection::kNone) length = 0;
  std::vector<std::uint8_t> cdb(h->cmdp, h->cmdp + h->cmd_len);
  // Unit attentions reach the program as they are: it asked for them.
  vrec::Recorder* r = GetRecorder();
  vrec::Response resp;
  if (r == nullptr) {
    resp.status = vrec::kStatusCheckCondition;
    resp.sense = vrec::BuildSense(vrec::sense::kInternalTargetFailure);
  } else {
    vrec::Request req{cdb, dir, vrec::Bytes(static_cast<std::uint8_t*>(h->dxferp), length)};
    resp = r->ExecuteAndWait(req);
  }
  h->status = 0;
  h->masked_status = 0;
  h->msg_status = 0;
  h->host_status = 0;
  h->driver_status = 0;
  h->sb_len_wr = 0;
  h->resid = static_cast<int>(h->dxfer_len);
  h->duration = static_cast<unsigned>(std::min<std::int64_t>(resp.duration_us / 1000, 0x7FFFFFFF));
  h->info = SG_INFO_OK;
  if (resp.timed_out) {
    constexpr unsigned char kDidTimeOut = 0x03, kDriverTimeout = 0x06;
    h->host_status = kDidTimeOut;
    h->driver_status = kDriverTimeout;
    h->duration = h->timeout;
    h->info = SG_INFO_CHECK;
    return 0;
  }
  h->status = resp.status;
  h->masked_status = static_cast<unsigned char>(resp.status >> 1);
  h->resid = static_cast<int>(h->dxfer_len - std::min<unsigned>(h->dxfer_len, resp.transferred));
  if (resp.status != vrec::kStatusGood) h->info = SG_INFO_CHECK;
  if (resp.status == vrec::kStatusCheckCondition) {
    constexpr unsigned short kDriverSense = 0x08;
    h->driver_status = kDriverSense;
    std::size_t n = std::min<std::size_t>(h->mx_sb_len, resp.sense.size());
    if (h->sbp != nullptr && n > 0) std::memcpy(h->sbp, resp.sense.data(), n);
    h->sb_len_wr = static_cast<unsigned char>(h->sbp != nullptr ? n : 0);
  }
  return 0;
}

// Facts the cdrom ioctls report, read from the state without a command.
struct DiscFacts {
  bool ok = false;
  bool present = false;
  bool tray_open = false;
  bool blank = false;
  bool cd = true;
  std::int64_t last_block = -1;
  std::int32_t last_session_start = 0;
};

DiscFacts Facts() {
  DiscFacts f;
  vrec::Recorder* r = GetRecorder();
  if (r == nullptr) return f;
  std::string error;
  f.ok = r->Inspect(
      [&f](const vrec::DriveState& s) {
        f.present = s.disc.present() && !s.tray_open;
        f.tray_open = s.tray_open;
        f.blank = s.disc.Blank();
        f.cd = s.disc.cd();
        f.last_block = s.disc.LastRecordedBlock();
        // The first track of the last closed session.
        std::uint16_t last_closed = 0;
        for (std::size_t i = 0; i < s.disc.sessions.size(); ++i) {
          if (s.disc.sessions[i].closed) last_closed = static_cast<std::uint16_t>(i + 1);
        }
        if (last_closed != 0) f.last_session_start = s.disc.SessionStart(last_closed);
      },
      &error);
  return f;
}

long SimpleCommand(std::vector<std::uint8_t> cdb) {
  vrec::Response resp = Run(std::move(cdb), vrec::DataDirection::kNone, nullptr, 0, true);
  if (resp.status == vrec::kStatusGood) return 0;
  return (resp.sense[2] & 0x0F) == 2 ? -ENOMEDIUM : -EIO;
}

long CdromIoctl(unsigned long request, void* arg) {
  switch (request) {
    case CDROM_GET_CAPABILITY:
      return CDC_CLOSE_TRAY | CDC_OPEN_TRAY | CDC_LOCK | CDC_SELECT_SPEED | CDC_MULTI_SESSION |
             CDC_MCN | CDC_MEDIA_CHANGED | CDC_RESET | CDC_DRIVE_STATUS | CDC_GENERIC_PACKET |
             CDC_CD_R | CDC_CD_RW | CDC_DVD | CDC_DVD_R | CDC_DVD_RAM;
    case CDROM_DRIVE_STATUS: {
      DiscFacts f = Facts();
      if (f.tray_open) return CDS_TRAY_OPEN;
      return f.present ? CDS_DISC_OK : CDS_NO_DISC;
    }
    case CDROM_DISC_STATUS: {
      DiscFacts f = Facts();
      if (!f.present) return CDS_NO_DISC;
      return f.blank ? CDS_NO_INFO : CDS_DATA_1;
    }
    case CDROM_MEDIA_CHANGED:
    case CDROM_SET_OPTIONS:
    case CDROM_CLEAR_OPTIONS:
    case CDROMRESET:
      return 0;
    case CDROM_LOCKDOOR:
      return SimpleCommand(
          {vrec::mmc::kPreventAllow, 0, 0, 0,
           static_cast<std::uint8_t>(reinterpret_cast<std::uintptr_t>(arg) ? 1 : 0), 0});
    case CDROMEJECT:
      return SimpleCommand({vrec::mmc::kStartStopUnit, 0, 0, 0, 0x02, 0});
    case CDROMCLOSETRAY:
      return SimpleCommand({vrec::mmc::kStartStopUnit, 0, 0, 0, 0x03, 0});
    case CDROM_SELECT_SPEED: {
      auto x = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(arg));
      std::uint32_t kbps = x == 0 ? 0xFFFF : std::min<std::uint32_t>(x * 177, 0xFFFE);
      return SimpleCommand({vrec::mmc::kSetCdSpeed, 0, 0xFF, 0xFF,
                            static_cast<std::uint8_t>(kbps >> 8), static_cast<std::uint8_t>(kbps),
                            0, 0, 0, 0, 0, 0});
    }
    case CDROMMULTISESSION: {
      auto* ms = static_cast<cdrom_multisession*>(arg);
      DiscFacts f = Facts();
      if (!f.present) return -ENOMEDIUM;
      ms->xa_flag = f.last_session_start > 0 ? 1 : 0;
      if (ms->addr_format == CDROM_MSF) {
        vrec::mmc::Msf m = vrec::mmc::LbaToMsf(f.last_session_start);
        ms->addr.msf.minute = m.m;
        ms->addr.msf.second = m.s;
        ms->addr.msf.frame = m.f;
      } else {
        ms->addr_format = CDROM_LBA;
        ms->addr.lba = f.last_session_start;
      }
      return 0;
    }
    case CDROM_SEND_PACKET: {
      auto* cgc = static_cast<cdrom_generic_command*>(arg);
      vrec::DataDirection dir = cgc->data_direction == CGC_DATA_WRITE  ? vrec::DataDirection::kOut
                                : cgc->data_direction == CGC_DATA_READ ? vrec::DataDirection::kIn
                                                                       : vrec::DataDirection::kNone;
      std::vector<std::uint8_t> cdb(cgc->cmd, cgc->cmd + CDROM_PACKET_SIZE);
      vrec::Response resp = Run(cdb, dir, cgc->buffer, cgc->buffer ? cgc->buflen : 0, true);
      cgc->stat = resp.status;
      if (cgc->sense != nullptr)
        std::memcpy(cgc->sense, resp.sense.data(),
                    std::min(sizeof(*cgc->sense), resp.sense.size()));
      return resp.status == vrec::kStatusGood ? 0 : -EIO;
    }
    default:
      return -ENOTTY;
  }
}

}  // namespace

extern "C" {

int tmv_map_path(const char* path, char* out, size_t out_size) {
  if (path == nullptr || path[0] != '/') return 0;
  const Config& c = GetConfig();
  if (c.layout.root.empty()) return 0;
  std::string p = Normalized(path);
  const ShimLayout& l = c.layout;
  std::string name = l.name(), rest;
  if (p == l.node) return Copy(l.marker(), out, out_size) ? 2 : 0;
  std::string target;
  if (p == "/sys/class/block" || p == "/sys/block") {
    target = l.block_dir();
  } else if (Under(p, "/sys/class/block/" + name, &rest) || Under(p, "/sys/block/" + name, &rest) ||
             Under(p, "/sys/dev/block/11:" + std::to_string(l.minor_number()), &rest)) {
    target = l.block_dir() + "/" + name + rest;
  } else if (p == "/sys/bus/scsi/devices") {
    target = l.scsi_devices_dir();
  } else if (Under(p, "/sys/bus/scsi/devices/" + l.address, &rest)) {
    target = l.device_dir() + rest;
  } else if (p == "/proc/sys/dev/cdrom/info") {
    target = l.cdrom_info();
  } else {
    return 0;
  }
  return Copy(target, out, out_size) ? 1 : 0;
}

int tmv_open_allowed(int flags) {
  if (flags & O_NONBLOCK) return 0;
  // Opening a drive without O_NONBLOCK closes its tray and needs a disc.
  DiscFacts f = Facts();
  if (!f.ok) return -EIO;
  if (f.tray_open) SimpleCommand({vrec::mmc::kStartStopUnit, 0, 0, 0, 0x03, 0});
  f = Facts();
  return f.present ? 0 : -ENOMEDIUM;
}

void tmv_fake_stat(struct stat* st) {
  st->st_mode = S_IFBLK | 0660;
  st->st_rdev = makedev(11, static_cast<unsigned>(GetConfig().layout.minor_number()));
  st->st_size = 0;
  st->st_blocks = 0;
  st->st_blksize = 4096;
}

void tmv_fake_statx(struct statx* st) {
  st->stx_mode = S_IFBLK | 0660;
  st->stx_rdev_major = 11;
  st->stx_rdev_minor = static_cast<unsigned>(GetConfig().layout.minor_number());
  st->stx_size = 0;
  st->stx_blocks = 0;
  st->stx_blksize = 4096;
}

long long tmv_device_size(void) {
  DiscFacts f = Facts();
  if (!f.ok) return -EIO;
  if (!f.present) return -ENOMEDIUM;
  return (f.last_block + 1) * static_cast<long long>(vrec::kBlockSize);
}

long long tmv_read_at(void* buf, size_t n, long long offset) {
  if (offset < 0) return -EINVAL;
  long long size = tmv_device_size();
  if (size < 0) return size;
  if (offset >= size || n == 0) return 0;
  n = static_cast<size_t>(std::min<long long>(static_cast<long long>(n), size - offset));
  constexpr std::size_t kChunkBlocks = 32;
  std::vector<std::uint8_t> chunk(kChunkBlocks * vrec::kBlockSize);
  std::size_t done = 0;
  while (done < n) {
    long long at = offset + static_cast<long long>(done);
    auto lba = static_cast<std::uint32_t>(at / static_cast<long long>(vrec::kBlockSize));
    std::size_t skip = static_cast<std::size_t>(at % static_cast<long long>(vrec::kBlockSize));
    std::size_t want = std::min(n - done, chunk.size() - skip);
    auto blocks =
        static_cast<std::uint16_t>((skip + want + vrec::kBlockSize - 1) / vrec::kBlockSize);
    std::vector<std::uint8_t> cdb = {vrec::mmc::kRead10,
                                     0,
                                     static_cast<std::uint8_t>(lba >> 24),
                                     static_cast<std::uint8_t>(lba >> 16),
                                     static_cast<std::uint8_t>(lba >> 8),
                                     static_cast<std::uint8_t>(lba),
                                     0,
                                     static_cast<std::uint8_t>(blocks >> 8),
                                     static_cast<std::uint8_t>(blocks),
                                     0};
    vrec::Response resp =
        Run(cdb, vrec::DataDirection::kIn, chunk.data(), blocks * vrec::kBlockSize, false);
    std::size_t got =
        resp.transferred > skip ? std::min<std::size_t>(resp.transferred - skip, want) : 0;
    std::memcpy(static_cast<std::uint8_t*>(buf) + done, chunk.data() + skip, got);
    done += got;
    if (resp.status != vrec::kStatusGood || got < want)
      return done > 0 ? static_cast<long long>(done) : -EIO;
  }
  return static_cast<long long>(done);
}

int tmv_stream_path(char* out, size_t out_size) {
  vrec::Recorder* r = GetRecorder();
  if (r == nullptr) return -EIO;
  // The stream reads the file itself, so the blocks still staged go there first.
  std::string error;
  if (!r->Update(
          [](vrec::DriveState&, vrec::SectorStore& store, std::string*) { return store.Flush(); },
          &error)) {
    return -EIO;
  }
  return Copy(r->store().directory() + "/sectors", out, out_size) ? 0 : -ENAMETOOLONG;
}

long tmv_ioctl(unsigned long request, void* arg) {
  const Config& c = GetConfig();
  switch (request) {
    case SG_IO:
      return SgIo(static_cast<sg_io_hdr_t*>(arg));
    case SG_GET_VERSION_NUM:
      *static_cast<int*>(arg) = 30527;
      return 0;
    case SG_GET_RESERVED_SIZE:
      *static_cast<int*>(arg) = 32768;
      return 0;
    case SG_SET_RESERVED_SIZE:
    case SG_SET_TIMEOUT:
      return 0;
    case SG_GET_TIMEOUT:
      return 60 * 100;
    case SG_EMULATED_HOST:
      *static_cast<int*>(arg) = 0;
      return 0;
    case SCSI_IOCTL_GET_IDLUN: {
      int* idlun = static_cast<int*>(arg);
      idlun[0] = (c.address[2] & 0xFF) | ((c.address[3] & 0xFF) << 8) |
                 ((c.address[1] & 0xFF) << 16) | ((c.address[0] & 0xFF) << 24);
      idlun[1] = c.address[0];
      return 0;
    }
    case SCSI_IOCTL_GET_BUS_NUMBER:
      *static_cast<int*>(arg) = c.address[0];
      return 0;
    case SG_GET_SCSI_ID: {
      auto* id = static_cast<sg_scsi_id*>(arg);
      std::memset(id, 0, sizeof *id);
      id->host_no = c.address[0];
      id->channel = c.address[1];
      id->scsi_id = c.address[2];
      id->lun = c.address[3];
      id->scsi_type = TYPE_ROM;
      id->h_cmd_per_lun = 1;
      id->d_queue_depth = 1;
      return 0;
    }
    case BLKGETSIZE64: {
      long long size = tmv_device_size();
      if (size < 0) return size;
      *static_cast<std::uint64_t*>(arg) = static_cast<std::uint64_t>(size);
      return 0;
    }
    case BLKGETSIZE: {
      long long size = tmv_device_size();
      if (size < 0) return size;
      *static_cast<unsigned long*>(arg) = static_cast<unsigned long>(size / 512);
      return 0;
    }
    case BLKSSZGET:
    case BLKPBSZGET:
      *static_cast<int*>(arg) = 2048;
      return 0;
    case BLKBSZGET:
      *static_cast<int*>(arg) = 2048;
      return 0;
    case BLKROGET:
      *static_cast<int*>(arg) = 0;
      return 0;
    case BLKFLSBUF:
    case BLKRRPART:
      return 0;
    default:
      return CdromIoctl(request, arg);
  }
}

}  // extern "C"
