#include "vrec/shim_root.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ftw.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "vrec/drive.h"

namespace vrec {
namespace {

bool MakeDir(const std::string& path, std::string* error) {
  if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
    *error = "cannot create " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool WriteFile(const std::string& path, const std::string& text, std::string* error) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  bool ok = fd >= 0 && write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  if (fd >= 0) ok = close(fd) == 0 && ok;
  if (!ok) *error = "cannot write " + path + ": " + std::strerror(errno);
  return ok;
}

bool Link(const std::string& target, const std::string& path, std::string* error) {
  if (symlink(target.c_str(), path.c_str()) != 0 && errno != EEXIST) {
    *error = "cannot link " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

// Links every entry of a real folder into `mirror`, except `skip`, so that
// listing the mirror shows the machine's own devices as well as ours.
bool MirrorFolder(const std::string& real, const std::string& mirror, const std::string& skip,
                  std::string* error) {
  DIR* d = opendir(real.c_str());
  if (d == nullptr) return true;  // nothing to mirror on this machine
  bool ok = true;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == ".." || name == skip) continue;
    ok = Link(real + "/" + name, mirror + "/" + name, error) && ok;
  }
  closedir(d);
  return ok;
}

std::string Padded(const char* text, std::size_t width) {
  std::string s(text);
  s.resize(width, ' ');
  return s;
}

constexpr char kCdromInfo[] =
    "CD-ROM information, Id: cdrom.c 3.20 2003/12/17\n\n"
    "drive name:\t\t%s\n"
    "drive speed:\t\t48\n"
    "drive # of slots:\t1\n"
    "Can close tray:\t\t1\n"
    "Can open tray:\t\t1\n"
    "Can lock tray:\t\t1\n"
    "Can change speed:\t1\n"
    "Can select disk:\t0\n"
    "Can read multisession:\t1\n"
    "Can read MCN:\t\t1\n"
    "Reports media changed:\t1\n"
    "Can play audio:\t\t0\n"
    "Can write CD-R:\t\t1\n"
    "Can write CD-RW:\t1\n"
    "Can read DVD:\t\t1\n"
    "Can write DVD-R:\t1\n"
    "Can write DVD-RAM:\t1\n"
    "Can read MRW:\t\t0\n"
    "Can write MRW:\t\t0\n"
    "Can write RAM:\t\t1\n\n";

}  // namespace

std::string ShimLayout::name() const {
  std::size_t slash = node.rfind('/');
  return slash == std::string::npos ? node : node.substr(slash + 1);
}

int ShimLayout::minor_number() const {
  std::string n = name();
  std::size_t i = n.find_first_of("0123456789");
  return i == std::string::npos ? 0 : std::atoi(n.c_str() + i) & 0xFF;
}

bool ParseScsiAddress(const std::string& text, int out[4]) {
  int n = 0;
  unsigned v[4];
  char extra = 0;
  n = std::sscanf(text.c_str(), "%u:%u:%u:%u%c", &v[0], &v[1], &v[2], &v[3], &extra);
  if (n != 4) return false;
  for (int i = 0; i < 4; ++i) {
    if (v[i] > 255) return false;
    out[i] = static_cast<int>(v[i]);
  }
  return true;
}

bool BuildShimRoot(const ShimLayout& l, std::string* error) {
  std::string name = l.name();
  std::string block = l.block_dir();
  std::string entry = block + "/" + name;
  std::string device = l.device_dir();
  int fd = open(l.marker().c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0660);
  if (fd < 0) {
    *error = "cannot create " + l.marker() + ": " + std::strerror(errno);
    return false;
  }
  close(fd);
  std::string minor = std::to_string(l.minor_number());
  return MakeDir(l.root + "/sys", error) && MakeDir(l.root + "/sys/class", error) &&
         MakeDir(block, error) && MakeDir(entry, error) && MakeDir(device, error) &&
         MakeDir(l.root + "/sys/bus", error) && MakeDir(l.root + "/sys/bus/scsi", error) &&
         MakeDir(l.scsi_devices_dir(), error) && MakeDir(l.root + "/proc", error) &&
         // The device link is relative, as the kernel makes it: readlink
         // gives ../../../H:C:T:L and the address is its last part.
         Link("../../../" + l.address, entry + "/device", error) &&
         WriteFile(entry + "/dev", "11:" + minor + "\n", error) &&
         WriteFile(entry + "/uevent",
                   "MAJOR=11\nMINOR=" + minor + "\nDEVNAME=" + name + "\nDEVTYPE=disk\n", error) &&
         WriteFile(entry + "/removable", "1\n", error) && WriteFile(entry + "/ro", "0\n", error) &&
         WriteFile(entry + "/size", "0\n", error) && WriteFile(device + "/type", "5\n", error) &&
         WriteFile(device + "/vendor", Padded(kVendor, 8) + "\n", error) &&
         WriteFile(device + "/model", Padded(kProduct, 16) + "\n", error) &&
         WriteFile(device + "/rev", Padded(kRevision, 4) + "\n", error) &&
         MakeDir(device + "/block", error) &&
         Link("../../class/block/" + name, device + "/block/" + name, error) &&
         Link(device, l.scsi_devices_dir() + "/" + l.address, error) &&
         MirrorFolder("/sys/class/block", block, name, error) &&
         MirrorFolder("/sys/bus/scsi/devices", l.scsi_devices_dir(), l.address, error) && [&] {
           char text[sizeof kCdromInfo + 64];
           std::snprintf(text, sizeof text, kCdromInfo, name.c_str());
           return WriteFile(l.cdrom_info(), text, error);
         }();
}

void RemoveShimRoot(const std::string& root) {
  if (root.empty() || root == "/") return;
  nftw(
      root.c_str(),
      [](const char* path, const struct stat*, int type, FTW*) {
        if (type == FTW_DP) return rmdir(path);
        return unlink(path);
      },
      16, FTW_DEPTH | FTW_PHYS);
}

}  // namespace vrec
