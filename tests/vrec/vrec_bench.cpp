// Writes a DVD's worth (or --blocks N) of data to the virtual recorder
// through the library front end, the way the writer thread does: WRITE (10)
// of 31 blocks at a time. Prints the rate and the peak resident memory.
//
//   vrec-bench [--blocks N] [--library PATH]
// The state folder is $TIDEMARK_VREC_DIR (a temporary one when unset).

#include <dlfcn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "vrec/recorder.h"

namespace {

using SendFn = std::uint32_t (*)(void*);

constexpr std::size_t kSrbSize = 105, kStatus = 1, kFlags = 3, kBufLen = 12, kBufPointer = 16,
                      kSenseLen = 24, kCdbLen = 25, kCdb = 56;

std::uint8_t Send(SendFn send, std::vector<std::uint8_t> cdb, std::uint8_t flags, void* data,
                  std::uint32_t length) {
  std::uint8_t srb[kSrbSize] = {};
  srb[0] = 2;  // SC_EXEC_SCSI_CMD
  srb[kFlags] = flags;
  std::memcpy(srb + kBufLen, &length, 4);
  std::uint64_t p = reinterpret_cast<std::uintptr_t>(data);
  std::memcpy(srb + kBufPointer, &p, 8);
  srb[kSenseLen] = 14;
  srb[kCdbLen] = static_cast<std::uint8_t>(cdb.size());
  std::memcpy(srb + kCdb, cdb.data(), cdb.size());
  send(srb);
  // Speed emulation is off: nothing stays pending for long.
  while (__atomic_load_n(srb + kStatus, __ATOMIC_ACQUIRE) == 0) usleep(100);
  return srb[kStatus];
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t blocks = 2295104;  // a full DVD+R
  std::string library;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--blocks") == 0) blocks = std::strtoull(argv[i + 1], nullptr, 10);
    if (std::strcmp(argv[i], "--library") == 0) library = argv[i + 1];
  }
  if (library.empty()) {
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    self[n > 0 ? n : 0] = '\0';
    std::string dir(self);
    dir = dir.substr(0, dir.rfind('/'));
    library = dir + "/../bin/libwnaspi32.so";
  }
  // A temporary state folder, removed at the end so that the next run does
  // not wait for this one's blocks to reach the disk.
  char tmp[] = "/tmp/vrec-bench.XXXXXX";
  bool own_folder = std::getenv("TIDEMARK_VREC_DIR") == nullptr;
  if (own_folder) {
    if (mkdtemp(tmp) == nullptr) return 1;
    setenv("TIDEMARK_VREC_DIR", tmp, 1);
  }
  setenv("TIDEMARK_VREC_SPEED", "fast", 1);
  void* lib = dlopen(library.c_str(), RTLD_NOW);
  if (lib == nullptr) {
    std::fprintf(stderr, "vrec-bench: %s\n", dlerror());
    return 1;
  }
  auto send = reinterpret_cast<SendFn>(dlsym(lib, "SendASPI32Command"));
  auto support = reinterpret_cast<std::uint32_t (*)()>(dlsym(lib, "GetASPI32SupportInfo"));
  if (send == nullptr || support == nullptr || ((support() >> 8) & 0xFF) != 1) {
    std::fprintf(stderr, "vrec-bench: the library does not answer\n");
    return 1;
  }
  {  // a blank DVD+RW: every block goes to the sparse file
    std::string error;
    auto recorder = vrec::Recorder::Open({}, &error);
    if (!recorder || !recorder->Update(
                         [&](vrec::DriveState& s, vrec::SectorStore& store, std::string*) {
                           vrec::InsertMedium(s, store, vrec::Medium::kDvdPlusRw, 0,
                                              recorder->clock().NowUs());
                           return true;
                         },
                         &error)) {
      std::fprintf(stderr, "vrec-bench: %s\n", error.c_str());
      return 1;
    }
  }
  std::vector<std::uint8_t> buffer(31 * 2048, 0x5A);
  Send(send, {0x00, 0, 0, 0, 0, 0}, 0, nullptr, 0);  // clears a pending attention
  auto start = std::chrono::steady_clock::now();
  std::uint64_t written = 0;
  for (std::uint64_t lba = 0; lba < blocks; lba += 31) {
    auto n = static_cast<std::uint16_t>(std::min<std::uint64_t>(31, blocks - lba));
    std::uint8_t status =
        Send(send,
             {0x2A, 0, static_cast<std::uint8_t>(lba >> 24), static_cast<std::uint8_t>(lba >> 16),
              static_cast<std::uint8_t>(lba >> 8), static_cast<std::uint8_t>(lba), 0,
              static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n), 0},
             0x50, buffer.data(), n * 2048u);
    if (status != 1) {
      std::fprintf(stderr, "vrec-bench: WRITE at %llu failed (status %02X)\n",
                   static_cast<unsigned long long>(lba), status);
      return 1;
    }
    written += n * 2048u;
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("vrec-write: %.0f MB/s (%llu MB in %.2f s)\n", written / seconds / 1e6,
              static_cast<unsigned long long>(written / 1000000), seconds);
  std::printf("vrec-write: peak RSS %ld MiB\n", usage.ru_maxrss / 1024);
  if (own_folder) {
    std::string rm = std::string("rm -rf '") + tmp + "'";
    if (std::system(rm.c_str()) != 0) return 1;
  }
  return 0;
}
