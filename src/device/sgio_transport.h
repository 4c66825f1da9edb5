#pragma once
// The built-in transport: the two ASPI entry points implemented on SG_IO
// for the CD/DVD drives the kernel lists under /sys/class/block/sr*.
//
// Adapter = SCSI host, target = id, LUN = lun, taken from the sysfs name
// H:C:T:L of the drive's device link (or SCSI_IOCTL_GET_IDLUN on the node).
// $TIDEMARK_SYSFS_ROOT (default /sys) and $TIDEMARK_DEV_ROOT (default /dev)
// move the two trees, so that tests and the virtual recorder can present
// drives of their own.

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

struct TSPTIDrive {
  uint8_t Adapter = 0;
  uint8_t Target = 0;
  uint8_t Lun = 0;
  uint8_t DriveIndex = 0;  // position in the map, in node-number order
  bool Present = false;
  int Handle = -1;                    // open device node, -1 = not open
  bool HandleWritable = false;        // opened read-write
  bool HandleExclusive = false;       // opened read-write and O_EXCL (while writing)
  std::string Name;                   // "sr0": stands where a drive letter would
  std::string Node;                   // the device node's path
  std::array<uint8_t, 40> Inquiry{};  // first 40 bytes of the drive's INQUIRY data
};

struct TSPTIDriveMap {
  uint8_t AdapterCount = 0;
  std::vector<TSPTIDrive> Drives;  // present drives only
  uint8_t NoAddressCount = 0;      // numbers the drives without a SCSI address
  bool Initialised = false;
};

extern TSPTIDriveMap SPTIDriveMap;

// When true, the device node is closed after every command. The writing and
// erasing threads set it to false while they stream commands.
extern std::atomic<bool> SPTICloseHandles;

// Builds the drive map; the number of drives entered (0 when already built).
uint8_t SPTIInit();
// Closes every open node and clears the map.
void SPTIDone();

uint32_t SPTISupportInfo();
uint32_t SPTISendCommand(void* srb);

// The entry whose address this is, or nullptr.
TSPTIDrive* SPTIFindDrive(uint8_t adapter, uint8_t target, uint8_t lun);
