#include "device/sgio_drive_map.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include "device/sgio_system.h"

TSPTIDriveMap SPTIDriveMap;

namespace {

// At exit the built-in transport closes its device nodes. Defined after
// the map in the same file, so that it runs while the map still exists
// (objects of different files are destroyed in no set order).
struct Finaliser {
  ~Finaliser() {
    if (SPTIDriveMap.Initialised) SPTIDone();
  }
} g_finaliser;

}  // namespace

namespace device {
namespace {

constexpr uint8_t kNoAddressLun = 0xFA;  // marks a drive that has no SCSI address
constexpr uint8_t kTypeCdDvd = 5;        // sysfs device/type of a CD/DVD drive
constexpr uint8_t kInquiryLength = 96;   // what the probe asks for
constexpr unsigned kProbeTimeoutMs = 120000;
constexpr size_t kMaxDrives = 255;     // the drive count is a byte
constexpr unsigned kMaxAdapter = 253;  // leaves room for the virtual adapter

std::string EnvOr(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0' ? std::string(v) : std::string(fallback);
}

// "sr12" -> 12; nullopt for anything else.
std::optional<unsigned> SrNumber(const char* name) {
  if (std::strncmp(name, "sr", 2) != 0 || name[2] == '\0') return std::nullopt;
  unsigned n = 0;
  const char* end = name + std::strlen(name);
  auto [p, ec] = std::from_chars(name + 2, end, n);
  if (ec != std::errc() || p != end) return std::nullopt;
  return n;
}

// The sr* entries of the sysfs block class, in node-number order.
std::vector<std::pair<unsigned, std::string>> SrNames() {
  std::vector<std::pair<unsigned, std::string>> names;
  if (DIR* dir = opendir((SysfsRoot() + "/class/block").c_str())) {
    while (dirent* e = readdir(dir)) {
      if (auto n = SrNumber(e->d_name)) names.emplace_back(*n, e->d_name);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::optional<int> ReadSmallInt(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  char buf[32];
  ssize_t n = read(fd, buf, sizeof buf - 1);
  close(fd);
  if (n <= 0) return std::nullopt;
  const char* end = buf + n;
  const char* p = buf;
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  int v = 0;
  auto [q, ec] = std::from_chars(p, end, v);
  if (ec != std::errc()) return std::nullopt;
  while (q < end && (*q == '\n' || *q == ' ' || *q == '\r')) ++q;
  if (q != end) return std::nullopt;
  return v;
}

std::optional<ScsiAddress> AddressFromLink(const std::string& link) {
  char target[4096];
  ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
  if (n <= 0) return std::nullopt;
  return ParseScsiAddress(std::string(target, static_cast<size_t>(n)));
}

std::optional<ScsiAddress> AddressFromIdLun(int fd) {
  int dev_id = 0;
  if (CurrentSgSystem().GetIdLun(fd, dev_id) != 0) return std::nullopt;
  unsigned host = (static_cast<unsigned>(dev_id) >> 24) & 0xFF;
  if (host > kMaxAdapter) return std::nullopt;
  return ScsiAddress{static_cast<uint8_t>(host), static_cast<uint8_t>(dev_id & 0xFF),
                     static_cast<uint8_t>((dev_id >> 8) & 0xFF)};
}

bool ProbeInquiry(int fd, std::array<uint8_t, 40>& keep) {
  uint8_t cdb[6] = {0x12, 0, 0, 0, kInquiryLength, 0};
  uint8_t data[kInquiryLength] = {};
  uint8_t sense[32] = {};
  sg_io_hdr_t hdr{};
  hdr.interface_id = 'S';
  hdr.dxfer_direction = SG_DXFER_FROM_DEV;
  hdr.cmd_len = sizeof cdb;
  hdr.mx_sb_len = sizeof sense;
  hdr.dxfer_len = sizeof data;
  hdr.dxferp = data;
  hdr.cmdp = cdb;
  hdr.sbp = sense;
  hdr.timeout = kProbeTimeoutMs;
  if (CurrentSgSystem().SgIo(fd, hdr) != 0) return false;
  if (hdr.status != 0 || hdr.host_status != 0 || (hdr.driver_status & 0x07) != 0) return false;
  std::copy_n(data, keep.size(), keep.begin());
  return true;
}

// Probes one sysfs entry into `drive`; false when the drive is left out.
bool ProbeDrive(const std::string& sys_entry, const std::string& name, TSPTIDrive& drive) {
  drive.Name = name;
  drive.Node = DevRoot() + "/" + name;
  bool writable = false;
  int fd = OpenDriveNode(drive.Node, false, writable);
  if (fd < 0) return false;
  if (!ProbeInquiry(fd, drive.Inquiry)) {
    CurrentSgSystem().Close(fd);
    return false;
  }
  auto addr = AddressFromLink(sys_entry + "/device");
  if (!addr || addr->host > kMaxAdapter) addr = AddressFromIdLun(fd);
  if (addr) {
    drive.Adapter = addr->host;
    drive.Target = addr->target;
    drive.Lun = addr->lun;
  } else {
    drive.Adapter = 0;
    drive.Target = SPTIDriveMap.NoAddressCount++;
    drive.Lun = kNoAddressLun;
  }
  drive.Present = true;
  drive.Handle = -1;
  CurrentSgSystem().Close(fd);
  return true;
}

uint8_t CountAdapters() {
  unsigned highest = 0;
  for (const auto& d : SPTIDriveMap.Drives) highest = std::max<unsigned>(highest, d.Adapter);
  return static_cast<uint8_t>(highest + 1);
}

}  // namespace

std::string SysfsRoot() {
  return EnvOr("TIDEMARK_SYSFS_ROOT", "/sys");
}
std::string DevRoot() {
  return EnvOr("TIDEMARK_DEV_ROOT", "/dev");
}

std::optional<ScsiAddress> ParseScsiAddress(const std::string& link_target) {
  std::string last = link_target;
  while (!last.empty() && last.back() == '/') last.pop_back();
  auto slash = last.rfind('/');
  if (slash != std::string::npos) last = last.substr(slash + 1);
  unsigned v[4] = {};
  const char* p = last.data();
  const char* end = last.data() + last.size();
  for (int i = 0; i < 4; ++i) {
    auto [q, ec] = std::from_chars(p, end, v[i]);
    if (ec != std::errc() || q == p) return std::nullopt;
    p = q;
    if (i < 3) {
      if (p == end || *p != ':') return std::nullopt;
      ++p;
    }
  }
  if (p != end || v[0] > 0xFF || v[2] > 0xFF || v[3] > 0xFF) return std::nullopt;
  return ScsiAddress{static_cast<uint8_t>(v[0]), static_cast<uint8_t>(v[2]),
                     static_cast<uint8_t>(v[3])};
}

int OpenDriveNode(const std::string& node, bool exclusive, bool& writable) {
  SgSystem& sys = CurrentSgSystem();
  writable = true;
  if (exclusive) return sys.Open(node, O_RDWR | O_NONBLOCK | O_EXCL | O_CLOEXEC);
  int fd = sys.Open(node, O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) return fd;
  writable = false;
  return sys.Open(node, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

std::vector<std::string> ListedDriveNodes() {
  std::vector<std::string> nodes;
  for (const auto& [number, name] : SrNames()) {
    if (ReadSmallInt(SysfsRoot() + "/class/block/" + name + "/device/type") == kTypeCdDvd)
      nodes.push_back(DevRoot() + "/" + name);
  }
  return nodes;
}

}  // namespace device

uint8_t SPTIInit() {
  using namespace device;
  if (SPTIDriveMap.Initialised) return 0;
  SPTIDriveMap = TSPTIDriveMap{};

  const std::string block = SysfsRoot() + "/class/block";
  for (const auto& [number, name] : SrNames()) {
    if (SPTIDriveMap.Drives.size() >= kMaxDrives) break;
    const std::string entry = block + "/" + name;
    if (ReadSmallInt(entry + "/device/type") != kTypeCdDvd) continue;
    TSPTIDrive drive;
    drive.DriveIndex = static_cast<uint8_t>(SPTIDriveMap.Drives.size());
    if (ProbeDrive(entry, name, drive)) SPTIDriveMap.Drives.push_back(std::move(drive));
  }

  SPTIDriveMap.AdapterCount = CountAdapters();
  if (SPTIDriveMap.NoAddressCount > 0) {
    // Drives without an address share one virtual adapter after the real ones.
    for (auto& d : SPTIDriveMap.Drives) {
      if (d.Lun == kNoAddressLun) {
        d.Lun = 0;
        d.Adapter = SPTIDriveMap.AdapterCount;
      }
    }
    SPTIDriveMap.AdapterCount = CountAdapters();
  }
  SPTIDriveMap.Initialised = true;
  return static_cast<uint8_t>(SPTIDriveMap.Drives.size());
}

void SPTIDone() {
  for (auto& d : SPTIDriveMap.Drives) {
    if (d.Handle >= 0) device::CurrentSgSystem().Close(d.Handle);
    d.Handle = -1;
  }
  SPTIDriveMap = TSPTIDriveMap{};
}

TSPTIDrive* SPTIFindDrive(uint8_t adapter, uint8_t target, uint8_t lun) {
  for (auto& d : SPTIDriveMap.Drives) {
    if (d.Present && d.Adapter == adapter && d.Target == target && d.Lun == lun) return &d;
  }
  return nullptr;
}
