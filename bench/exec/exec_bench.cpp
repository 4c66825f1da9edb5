// Commands per second and WRITE (10) payload throughput through
// ExecSCSICommand, against whatever recorder the chosen transport finds
// first (the virtual recorder, with speed emulation off, in bench/exec.sh).
//
//   exec_bench [--transport library|sgio] [--mib N] [--runs N]
//
// Prints "exec-tur: N cmd/s" and "exec-write: N MB/s" (medians; MB = 10^6
// bytes), one line per run before them.

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "device/aspi_loader.h"
#include "device/scsi_device.h"
#include "device/sgio_transport.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

int Fail(const char* what, const TSCSIDevice& dev) {
  std::fprintf(stderr, "exec_bench: %s failed: %s\n", what, dev.LastError.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string transport = "library";
  long mib = 1024;
  int runs = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string opt = argv[i];
    if (opt == "--transport")
      transport = argv[i + 1];
    else if (opt == "--mib")
      mib = std::atol(argv[i + 1]);
    else if (opt == "--runs")
      runs = std::atoi(argv[i + 1]);
    else {
      std::fprintf(stderr, "usage: exec_bench [--transport library|sgio] [--mib N] [--runs N]\n");
      return 2;
    }
  }

  const bool internal = transport == "sgio";
  try {
    if (!LoadASPI(internal) || (internal && ASPIName != kBuiltInTransportName)) {
      std::fprintf(stderr, "exec_bench: no %s transport\n", transport.c_str());
      return 3;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "exec_bench: %s\n", e.what());
    return 3;
  }
  TSCSIDevice dev;
  dev.HostAdapter = 0;
  dev.TargetId = 0;
  dev.Lun = 0;
  if (internal) {
    const TSPTIDrive& d = SPTIDriveMap.Drives.front();
    dev.HostAdapter = d.Adapter;
    dev.TargetId = d.Target;
    dev.Lun = d.Lun;
  }
  std::printf("transport: %s\n", ASPIName.c_str());

  for (int i = 0; i < 50 && !dev.TestUnitReady(5000); ++i) {
  }
  if (!dev.TestUnitReady(5000)) return Fail("TEST UNIT READY", dev);

  // Commands per second: TEST UNIT READY for about a second, per run.
  std::vector<double> tur;
  for (int r = 0; r < runs; ++r) {
    long n = 0;
    const auto t0 = Clock::now();
    while (Seconds(Clock::now() - t0) < 1.0) {
      if (!dev.TestUnitReady(5000)) return Fail("TEST UNIT READY", dev);
      ++n;
    }
    tur.push_back(n / Seconds(Clock::now() - t0));
  }

  // WRITE (10) of 31 sectors, the size the writers use, over `mib` MiB.
  constexpr uint16_t kSectors = 31;
  constexpr uint32_t kBytes = kSectors * 2048;
  std::vector<uint8_t> block(kBytes);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7 + 1);
  const long commands = (mib * 1024 * 1024 + kBytes - 1) / kBytes;
  std::vector<double> write;
  for (int r = 0; r < runs; ++r) {
    uint32_t lba = 0;
    const auto t0 = Clock::now();
    for (long i = 0; i < commands; ++i) {
      int busy = 0;
      while (!dev.Write10(lba, kSectors, 0x50, kBytes, block)) {
        if (dev.TransportError || (!dev.TargetBusy && dev.LastSense[12] != 0x04) || ++busy > 100000)
          return Fail("WRITE (10)", dev);
      }
      lba += kSectors;
    }
    const double s = Seconds(Clock::now() - t0);
    write.push_back(commands * double{kBytes} / s / 1e6);
    std::printf("run %d: %.0f MB/s (%ld commands, %.3f s), %.0f cmd/s\n", r + 1, write.back(),
                commands, s, tur[static_cast<size_t>(r)]);
  }
  std::printf("exec-tur: %.0f cmd/s\n", Median(tur));
  std::printf("exec-write: %.0f MB/s\n", Median(write));
  return 0;
}
