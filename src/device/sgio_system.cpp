#include "device/sgio_system.h"

#include <fcntl.h>
#include <scsi/scsi.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace device {
namespace {

class RealSgSystem final : public SgSystem {
 public:
  int Open(const std::string& path, int flags) override {
    int fd;
    do {
      fd = open(path.c_str(), flags);
    } while (fd < 0 && errno == EINTR);
    return fd;
  }
  void Close(int fd) override { close(fd); }
  int SgIo(int fd, sg_io_hdr_t& hdr) override {
    int rc;
    do {
      rc = ioctl(fd, SG_IO, &hdr);
    } while (rc < 0 && errno == EINTR);
    return rc;
  }
  int GetIdLun(int fd, int& dev_id) override {
    int idlun[2] = {0, 0};
    if (ioctl(fd, SCSI_IOCTL_GET_IDLUN, idlun) != 0) return -1;
    dev_id = idlun[0];
    return 0;
  }
};

RealSgSystem g_real;
SgSystem* g_current = &g_real;

}  // namespace

SgSystem& CurrentSgSystem() {
  return *g_current;
}
void SetSgSystem(SgSystem* system) {
  g_current = system != nullptr ? system : &g_real;
}

}  // namespace device
