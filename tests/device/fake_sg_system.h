#pragma once
// Fakes for the built-in transport: a sysfs tree in a temporary folder and
// device nodes answered by a scripted SgSystem.

#include <scsi/sg.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "device/sgio_system.h"

class FakeSysfs {
 public:
  FakeSysfs();
  ~FakeSysfs();
  // /sys/class/block/NAME with device/type = type; `address` "H:C:T:L" makes
  // device a link to ../../../H:C:T:L, an empty address a plain folder.
  void AddBlock(const std::string& name, int type, const std::string& address);
  std::string sys_root() const { return (root_ / "sys").string(); }
  std::string dev_root() const { return (root_ / "dev").string(); }

 private:
  std::filesystem::path root_;
};

class FakeSgSystem : public device::SgSystem {
 public:
  struct Node {
    int open_rdwr_errno = 0;  // errno for O_RDWR opens, 0 = succeeds
    int open_rdonly_errno = 0;
    int open_excl_errno = 0;  // errno for O_EXCL opens
    bool inquiry_fails = false;
    int idlun = -1;  // dev_id, -1 = the ioctl fails
    // Answers SG_IO for everything but INQUIRY; return -1 and set
    // errno to fail the ioctl.
    std::function<int(sg_io_hdr_t&)> on_sgio;
  };
  struct OpenCall {
    std::string path;
    int flags;
  };
  struct SgCall {
    std::string path;
    sg_io_hdr_t hdr;
    std::vector<uint8_t> cdb;
  };

  FakeSgSystem();
  ~FakeSgSystem() override;

  Node& node(const std::string& path) { return nodes_[path]; }

  std::vector<OpenCall> opens;
  std::vector<int> closes;
  std::vector<SgCall> sg_calls;
  size_t open_fds() const { return fds_.size(); }

  int Open(const std::string& path, int flags) override;
  void Close(int fd) override;
  int SgIo(int fd, sg_io_hdr_t& hdr) override;
  int GetIdLun(int fd, int& dev_id) override;

 private:
  std::map<std::string, Node> nodes_;
  std::map<int, std::string> fds_;
  int next_fd_ = 100;
};

// A 36-byte INQUIRY reply for a CD/DVD drive with the given product.
std::vector<uint8_t> InquiryReply(const std::string& product);
