#include "fake_sg_system.h"

#include <fcntl.h>
#include <stdlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace fs = std::filesystem;

FakeSysfs::FakeSysfs() {
  char tmpl[] = "/tmp/tidemark-sysfs-XXXXXX";
  root_ = mkdtemp(tmpl);
  fs::create_directories(root_ / "sys/class/block");
  fs::create_directories(root_ / "sys/devices");
  fs::create_directories(root_ / "dev");
  setenv("TIDEMARK_SYSFS_ROOT", sys_root().c_str(), 1);
  setenv("TIDEMARK_DEV_ROOT", dev_root().c_str(), 1);
}

FakeSysfs::~FakeSysfs() {
  unsetenv("TIDEMARK_SYSFS_ROOT");
  unsetenv("TIDEMARK_DEV_ROOT");
  std::error_code ec;
  fs::remove_all(root_, ec);
}

void FakeSysfs::AddBlock(const std::string& name, int type, const std::string& address) {
  fs::path entry = root_ / "sys/class/block" / name;
  fs::create_directories(entry);
  fs::path device_dir;
  if (address.empty()) {
    device_dir = entry / "device";
    fs::create_directories(device_dir);
  } else {
    device_dir = root_ / "sys/devices" / address;
    fs::create_directories(device_dir);
    fs::create_symlink("../../../devices/" + address, entry / "device");
  }
  std::ofstream(device_dir / "type") << type << "\n";
}

FakeSgSystem::FakeSgSystem() {
  device::SetSgSystem(this);
}
FakeSgSystem::~FakeSgSystem() {
  device::SetSgSystem(nullptr);
}

int FakeSgSystem::Open(const std::string& path, int flags) {
  opens.push_back({path, flags});
  auto it = nodes_.find(path);
  if (it == nodes_.end()) {
    errno = ENOENT;
    return -1;
  }
  const Node& n = it->second;
  int err = (flags & O_EXCL)                ? n.open_excl_errno
            : (flags & O_ACCMODE) == O_RDWR ? n.open_rdwr_errno
                                            : n.open_rdonly_errno;
  if (err != 0) {
    errno = err;
    return -1;
  }
  int fd = next_fd_++;
  fds_[fd] = path;
  return fd;
}

void FakeSgSystem::Close(int fd) {
  closes.push_back(fd);
  fds_.erase(fd);
}

int FakeSgSystem::SgIo(int fd, sg_io_hdr_t& hdr) {
  auto it = fds_.find(fd);
  if (it == fds_.end()) {
    errno = EBADF;
    return -1;
  }
  const auto* cdb = static_cast<const uint8_t*>(hdr.cmdp);
  sg_calls.push_back({it->second, hdr, std::vector<uint8_t>(cdb, cdb + hdr.cmd_len)});
  Node& n = nodes_[it->second];
  hdr.status = 0;
  hdr.host_status = 0;
  hdr.driver_status = 0;
  hdr.resid = 0;
  hdr.sb_len_wr = 0;
  if (cdb[0] == 0x12) {
    if (n.inquiry_fails) {
      hdr.status = 2;
      return 0;
    }
    std::vector<uint8_t> reply = InquiryReply("FAKE " + it->second.substr(it->second.size() - 3));
    size_t len = std::min<size_t>(reply.size(), hdr.dxfer_len);
    std::memcpy(hdr.dxferp, reply.data(), len);
    hdr.resid = static_cast<int>(hdr.dxfer_len - len);
    return 0;
  }
  if (n.on_sgio) return n.on_sgio(hdr);
  return 0;
}

int FakeSgSystem::GetIdLun(int fd, int& dev_id) {
  auto it = fds_.find(fd);
  if (it == fds_.end() || nodes_[it->second].idlun < 0) {
    errno = EINVAL;
    return -1;
  }
  dev_id = nodes_[it->second].idlun;
  return 0;
}

std::vector<uint8_t> InquiryReply(const std::string& product) {
  std::vector<uint8_t> r(96, 0);
  r[0] = 0x05;
  r[1] = 0x80;
  r[3] = 0x32;
  r[4] = 91;
  std::string vendor = "TIDEMARK";
  std::copy(vendor.begin(), vendor.end(), r.begin() + 8);
  std::string p = product;
  p.resize(16, ' ');
  std::copy(p.begin(), p.end(), r.begin() + 16);
  std::string rev = "1.0 ";
  std::copy(rev.begin(), rev.end(), r.begin() + 32);
  r[36] = 0xAB;  // past the 36 bytes INQUIRY from the map delivers
  return r;
}
