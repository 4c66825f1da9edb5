#pragma once
// The system calls the built-in transport makes on device nodes, behind one
// seam so that tests can present drives that answer SG_IO without hardware.
// The sysfs tree is always read from the real file system (under a root
// that tests may move; see sgio_drive_map.h).

#include <scsi/sg.h>

#include <string>

namespace device {

class SgSystem {
 public:
  virtual ~SgSystem() = default;
  // open(2): a descriptor, or -1 with errno set.
  virtual int Open(const std::string& path, int flags) = 0;
  virtual void Close(int fd) = 0;
  // ioctl(fd, SG_IO, &hdr): 0, or -1 with errno set.
  virtual int SgIo(int fd, sg_io_hdr_t& hdr) = 0;
  // ioctl(fd, SCSI_IOCTL_GET_IDLUN): 0 and id | lun << 8 | channel << 16 |
  // host << 24 in dev_id, or -1 with errno set.
  virtual int GetIdLun(int fd, int& dev_id) = 0;
};

// The installed seam (the real system calls unless a test replaced them).
SgSystem& CurrentSgSystem();
// Replaces the seam; nullptr restores the real system calls.
void SetSgSystem(SgSystem* system);

}  // namespace device
