#pragma once
// A disc held in memory, answering as a drive would: the few commands the
// file-system reader sends (TEST UNIT READY, READ TOC in its track and
// session forms, READ CAPACITY, READ (10)), installed as the transport's
// entry points. The tests build volumes byte by byte and the fuzz target
// feeds mutated ones through it; nothing here depends on the time of day.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "device/aspi_blocks.h"
#include "device/aspi_loader.h"
#include "device/scsi_device.h"

class MemoryDisc {
 public:
  static constexpr uint32_t kSector = 2048;

  std::vector<uint8_t> bytes;            // sector 0 on
  std::vector<uint32_t> sessions = {0};  // first sector of each session (one track each)
  std::set<uint32_t> unreadable;         // sectors that fail with a medium error
  bool toc_fails = false;
  unsigned reads = 0;                                   // READ (10) commands seen
  std::vector<std::pair<uint32_t, uint32_t>> read_log;  // their addresses and block counts

  uint32_t Sectors() const { return static_cast<uint32_t>((bytes.size() + kSector - 1) / kSector); }
  uint8_t* Sector(uint32_t n) {
    if (bytes.size() < size_t{n + 1} * kSector) bytes.resize(size_t{n + 1} * kSector);
    return bytes.data() + size_t{n} * kSector;
  }

  // Installs the disc as the transport and selects it on Device.
  void Insert(TSCSIDevice& Device) {
    current() = this;
    InstallASPI("MEMORY", &Support, &Send);
    Device.HostAdapter = Device.TargetId = Device.Lun = 0;
  }
  ~MemoryDisc() {
    if (current() == this) {
      RemoveASPI();
      current() = nullptr;
    }
  }

 private:
  static MemoryDisc*& current() {
    static MemoryDisc* disc = nullptr;
    return disc;
  }
  static uint32_t Support() { return uint32_t{SS_COMP} << 8 | 1; }

  static void Put32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
  }
  static void Address(uint8_t* p, uint32_t lba, bool msf) {
    if (!msf) return Put32(p, lba);
    const uint32_t f = lba + 150;
    p[0] = 0;
    p[1] = static_cast<uint8_t>(std::min<uint32_t>(f / 4500, 255));
    p[2] = static_cast<uint8_t>(f / 75 % 60);
    p[3] = static_cast<uint8_t>(f % 75);
  }
  static void Fail(SRB_ExecSCSICmd& srb, uint8_t key, uint8_t asc, uint32_t info = 0,
                   bool with_info = false) {
    srb.SRB_Status = SS_ERR;
    srb.SRB_TargStat = STATUS_CHKCOND;
    std::memset(srb.SenseArea, 0, sizeof srb.SenseArea);
    srb.SenseArea[0] = with_info ? 0xF0 : 0x70;
    srb.SenseArea[2] = key;
    Put32(srb.SenseArea + 3, info);
    srb.SenseArea[7] = 10;
    srb.SenseArea[12] = asc;
  }
  static void Reply(SRB_ExecSCSICmd& srb, const std::vector<uint8_t>& r) {
    const size_t n = std::min<size_t>(r.size(), srb.SRB_BufLen);
    if (n != 0) std::memcpy(srb.SRB_BufPointer, r.data(), n);
  }

  void Toc(SRB_ExecSCSICmd& srb) {
    const uint8_t* cdb = srb.CDBByte;
    const bool msf = (cdb[1] & 0x02) != 0;
    const uint8_t format = cdb[2] & 0x0F;
    if (toc_fails || sessions.empty() || format > 1) return Fail(srb, 0x05, 0x24);
    std::vector<uint8_t> r(4, 0);
    const uint8_t last = static_cast<uint8_t>(sessions.size());
    r[2] = 1;
    r[3] = last;
    const auto entry = [&](uint8_t track, uint32_t lba) {
      const size_t at = r.size();
      r.resize(at + 8, 0);
      r[at + 1] = 0x14;
      r[at + 2] = track;
      Address(&r[at + 4], lba, msf);
    };
    if (format == 1) {
      entry(last, sessions.back());
    } else {
      const uint8_t from = std::max<uint8_t>(cdb[6], 1);
      if (from > last && from != 0xAA) return Fail(srb, 0x05, 0x24);
      for (uint8_t t = from; t <= last; ++t) entry(t, sessions[t - 1]);
      entry(0xAA, Sectors());
    }
    const size_t length = r.size() - 2;
    r[0] = static_cast<uint8_t>(length >> 8);
    r[1] = static_cast<uint8_t>(length);
    Reply(srb, r);
  }

  void Read(SRB_ExecSCSICmd& srb) {
    ++reads;
    const uint8_t* cdb = srb.CDBByte;
    const uint32_t lba =
        uint32_t{cdb[2]} << 24 | uint32_t{cdb[3]} << 16 | uint32_t{cdb[4]} << 8 | cdb[5];
    const uint32_t count = uint32_t{cdb[7]} << 8 | cdb[8];
    read_log.emplace_back(lba, count);
    auto* out = static_cast<uint8_t*>(srb.SRB_BufPointer);
    for (uint32_t i = 0; i < count; ++i) {
      const uint64_t s = uint64_t{lba} + i;
      if (size_t{i + 1} * kSector > srb.SRB_BufLen) return Fail(srb, 0x05, 0x24);
      if (s >= Sectors()) return Fail(srb, 0x05, 0x21, static_cast<uint32_t>(s), true);
      if (unreadable.contains(static_cast<uint32_t>(s)))
        return Fail(srb, 0x03, 0x11, static_cast<uint32_t>(s), true);
      const size_t from = static_cast<size_t>(s) * kSector;
      const size_t have = std::min<size_t>(kSector, bytes.size() - from);
      std::memcpy(out + size_t{i} * kSector, bytes.data() + from, have);
      std::memset(out + size_t{i} * kSector + have, 0, kSector - have);
    }
  }

  static uint32_t Send(void* p) {
    auto& srb = *static_cast<SRB_ExecSCSICmd*>(p);
    MemoryDisc& d = *current();
    srb.SRB_Status = SS_COMP;
    switch (srb.CDBByte[0]) {
      case 0x00:  // TEST UNIT READY
        break;
      case 0x43:
        d.Toc(srb);
        break;
      case 0x25: {  // READ CAPACITY
        std::vector<uint8_t> r(8, 0);
        Put32(r.data(), d.Sectors() == 0 ? 0 : d.Sectors() - 1);
        Put32(r.data() + 4, kSector);
        Reply(srb, r);
        break;
      }
      case 0x28:
        d.Read(srb);
        break;
      default:
        Fail(srb, 0x05, 0x20);
        break;
    }
    return srb.SRB_Status;
  }
};
