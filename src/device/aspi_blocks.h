#pragma once
// The ASPI request blocks every command is built in, and their codes.
//
// These blocks are the binary interface to run-time ASPI libraries, so they
// are laid out exactly, byte-packed. On 64-bit Linux the two pointer fields
// (SRB_BufPointer, SRB_PostProc) are native 8-byte pointers; every other
// field keeps the order and width of the classic 32-bit layout. Drive bytes
// are never overlaid on these structures: CDBs are filled and replies parsed
// with the helpers of byte_order.h and reply_reader.h.

#include <cstddef>
#include <cstdint>

// ASPI command codes (SRB_Cmd).
inline constexpr uint8_t SC_HA_INQUIRY = 0x00;
inline constexpr uint8_t SC_GET_DEV_TYPE = 0x01;
inline constexpr uint8_t SC_EXEC_SCSI_CMD = 0x02;
inline constexpr uint8_t SC_ABORT_SRB = 0x03;
inline constexpr uint8_t SC_GET_DISK_INFO = 0x06;

// ASPI status codes (SRB_Status and the support-info status byte).
inline constexpr uint8_t SS_PENDING = 0x00;
inline constexpr uint8_t SS_COMP = 0x01;
inline constexpr uint8_t SS_ABORTED = 0x02;
inline constexpr uint8_t SS_ABORT_FAIL = 0x03;
inline constexpr uint8_t SS_ERR = 0x04;
inline constexpr uint8_t SS_INVALID_CMD = 0x80;
inline constexpr uint8_t SS_INVALID_HA = 0x81;
inline constexpr uint8_t SS_NO_DEVICE = 0x82;
inline constexpr uint8_t SS_INVALID_SRB = 0xE0;
inline constexpr uint8_t SS_BUFFER_ALIGN = 0xE1;
inline constexpr uint8_t SS_ILLEGAL_MODE = 0xE2;  // also the "refused" result of ExecSCSICommand
inline constexpr uint8_t SS_ASPI_IS_BUSY = 0xE5;
inline constexpr uint8_t SS_BUFFER_TOO_BIG = 0xE6;
inline constexpr uint8_t SS_NO_ADAPTERS = 0xE8;

// SRB_Flags bits.
inline constexpr uint8_t SRB_DIR_IN = 0x08;
inline constexpr uint8_t SRB_DIR_OUT = 0x10;
inline constexpr uint8_t SRB_EVENT_NOTIFY = 0x40;

// Host adapter status (SRB_HaStat).
inline constexpr uint8_t HASTAT_OK = 0x00;
inline constexpr uint8_t HASTAT_TIMEOUT = 0x09;
inline constexpr uint8_t HASTAT_SRB_TIMEOUT = 0x0B;
inline constexpr uint8_t HASTAT_MESSAGE_REJECT = 0x0D;
inline constexpr uint8_t HASTAT_BUS_RESET = 0x0E;
inline constexpr uint8_t HASTAT_PARITY_ERROR = 0x0F;
inline constexpr uint8_t HASTAT_REQUEST_SENSE_FAILED = 0x10;
inline constexpr uint8_t HASTAT_SEL_TO = 0x11;
inline constexpr uint8_t HASTAT_DO_DU = 0x12;
inline constexpr uint8_t HASTAT_BUS_FREE = 0x13;

// SCSI status byte (SRB_TargStat).
inline constexpr uint8_t STATUS_GOOD = 0x00;
inline constexpr uint8_t STATUS_CHKCOND = 0x02;
inline constexpr uint8_t STATUS_BUSY = 0x08;
inline constexpr uint8_t STATUS_RESCONF = 0x18;
inline constexpr uint8_t STATUS_QUEUE_FULL = 0x28;

inline constexpr size_t kSenseAreaSize = 33;
inline constexpr size_t kCdbSize = 16;
// ExecSCSICommand always asks for this much autosense.
inline constexpr uint8_t kSenseLen = 14;

#pragma pack(push, 1)

struct SRB_ExecSCSICmd {
  uint8_t SRB_Cmd;
  uint8_t SRB_Status;
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
  uint8_t SRB_Target;
  uint8_t SRB_Lun;
  uint16_t SRB_Rsvd1;
  uint32_t SRB_BufLen;
  void* SRB_BufPointer;
  uint8_t SRB_SenseLen;
  uint8_t SRB_CDBLen;
  uint8_t SRB_HaStat;
  uint8_t SRB_TargStat;
  void* SRB_PostProc;  // completion eventfd widened to a pointer, or null
  uint8_t SRB_Rsvd2[20];
  uint8_t CDBByte[kCdbSize];
  uint8_t SenseArea[kSenseAreaSize];
};

struct SRB_HAInquiry {
  uint8_t SRB_Cmd;
  uint8_t SRB_Status;
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
  uint8_t HA_Count;
  uint8_t HA_SCSI_ID;
  uint8_t HA_ManagerId[16];
  uint8_t HA_Identifier[16];
  uint8_t HA_Unique[16];
  uint16_t HA_Rsvd1;
};

struct SRB_GDEVBlock {
  uint8_t SRB_Cmd;
  uint8_t SRB_Status;
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
  uint8_t SRB_Target;
  uint8_t SRB_Lun;
  uint8_t SRB_DeviceType;
  uint8_t SRB_Rsvd1;
};

struct SRB_GetDiskInfo {
  uint8_t SRB_Cmd;
  uint8_t SRB_Status;
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
  uint8_t SRB_Target;
  uint8_t SRB_Lun;
  uint8_t SRB_DriveFlags;
  uint8_t SRB_Int13HDriveInfo;
  uint8_t SRB_Heads;
  uint8_t SRB_Sectors;
  uint8_t SRB_Rsvd1[10];
};

#pragma pack(pop)

static_assert(sizeof(void*) == 8, "the request-block layout is defined for 64-bit builds");

static_assert(sizeof(SRB_ExecSCSICmd) == 105);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_Cmd) == 0);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_Status) == 1);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_HaId) == 2);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_Flags) == 3);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_Hdr_Rsvd) == 4);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_Target) == 8);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_Lun) == 9);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_Rsvd1) == 10);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_BufLen) == 12);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_BufPointer) == 16);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_SenseLen) == 24);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_CDBLen) == 25);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_HaStat) == 26);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_TargStat) == 27);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_PostProc) == 28);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_Rsvd2) == 36);
static_assert(offsetof(SRB_ExecSCSICmd, CDBByte) == 56);
static_assert(offsetof(SRB_ExecSCSICmd, SenseArea) == 72);

static_assert(sizeof(SRB_HAInquiry) == 60);
static_assert(offsetof(SRB_HAInquiry, HA_Count) == 8);
static_assert(offsetof(SRB_HAInquiry, HA_SCSI_ID) == 9);
static_assert(offsetof(SRB_HAInquiry, HA_ManagerId) == 10);
static_assert(offsetof(SRB_HAInquiry, HA_Identifier) == 26);
static_assert(offsetof(SRB_HAInquiry, HA_Unique) == 42);
static_assert(offsetof(SRB_HAInquiry, HA_Rsvd1) == 58);

static_assert(sizeof(SRB_GDEVBlock) == 12);
static_assert(offsetof(SRB_GDEVBlock, SRB_Target) == 8);
static_assert(offsetof(SRB_GDEVBlock, SRB_Lun) == 9);
static_assert(offsetof(SRB_GDEVBlock, SRB_DeviceType) == 10);

static_assert(sizeof(SRB_GetDiskInfo) == 24);
static_assert(offsetof(SRB_GetDiskInfo, SRB_Target) == 8);
static_assert(offsetof(SRB_GetDiskInfo, SRB_Lun) == 9);
static_assert(offsetof(SRB_GetDiskInfo, SRB_DriveFlags) == 10);
static_assert(offsetof(SRB_GetDiskInfo, SRB_Int13HDriveInfo) == 11);
static_assert(offsetof(SRB_GetDiskInfo, SRB_Heads) == 12);
static_assert(offsetof(SRB_GetDiskInfo, SRB_Sectors) == 13);
