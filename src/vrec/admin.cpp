// What `tidemark vrec` does to a recorder: putting a disc in (blank, or made
// from an image file), taking it out, and copying recorded blocks out.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "vrec/drive_internal.h"
#include "vrec/recorder.h"

namespace vrec {
namespace {

// Images up to about 90 minutes of CD become a CD-ROM, larger ones a DVD-ROM.
constexpr std::uint64_t kLargestCdImageBlocks = 405000;
constexpr std::uint64_t kLargestImageBlocks = 4173824;  // a dual-layer DVD
constexpr std::size_t kCopyBlocks = 512;

void ClearDriveActivity(DriveState& s) {
  s.tray_open = false;
  s.prevent_removal = false;
  s.busy = BusyKind::kNone;
  s.buffer_bytes = 0;
  s.streaming = false;
  s.bg_format_end = 0;
  s.write_kbps = 0;
  s.read_kbps = 0;
  s.ResetWriteParameters();
}

// A disc put in from outside (as a user does before starting a program)
// is ready at once; only a host's own load command waits for the spin-up.
void NewDiscArrived(DriveState& s, std::int64_t now) {
  s.ready_at = now;
  detail::RaiseAttention(s, sense::kMediumMayHaveChanged);
  detail::RaiseMediaEvent(s, detail::kMediaEventNewMedia);
}

}  // namespace

void InsertMedium(DriveState& s, SectorStore& store, Medium m, std::uint32_t capacity,
                  std::int64_t now) {
  ClearDriveActivity(s);
  store.Discard();
  s.disc = Disc::Fresh(m, capacity);
  s.image_name.clear();
  NewDiscArrived(s, now);
}

bool InsertImage(DriveState& s, SectorStore& store, const std::string& path, std::int64_t now,
                 std::string* error) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    *error = path + " is not an image file";
    return false;
  }
  std::uint64_t blocks = (static_cast<std::uint64_t>(st.st_size) + kBlockSize - 1) / kBlockSize;
  if (blocks == 0 || blocks > kLargestImageBlocks) {
    close(fd);
    *error = path + (blocks == 0 ? " is empty" : " is larger than any disc");
    return false;
  }
  // From here on the old disc is gone: a failure leaves the drive empty.
  ClearDriveActivity(s);
  s.disc = Disc{};
  s.image_name.clear();
  if (!store.Discard()) {
    close(fd);
    *error = "cannot clear the recorder's sectors";
    return false;
  }
  std::vector<std::uint8_t> buffer(kCopyBlocks * kBlockSize);
  for (std::uint64_t at = 0; at < blocks; at += kCopyBlocks) {
    std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(kCopyBlocks, blocks - at)) * kBlockSize;
    std::size_t got = 0;
    while (got < want) {
      ssize_t n =
          pread(fd, buffer.data() + got, want - got, static_cast<off_t>(at * kBlockSize + got));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        close(fd);
        *error = "cannot read " + path + ": " + std::strerror(errno) + "; the recorder is empty";
        return false;
      }
      if (n == 0) break;
      got += static_cast<std::size_t>(n);
    }
    std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(got),
              buffer.begin() + static_cast<std::ptrdiff_t>(want), 0);
    if (!store.Write(static_cast<std::int64_t>(at), ConstBytes(buffer.data(), want))) {
      close(fd);
      *error = "cannot store the image's blocks";
      return false;
    }
  }
  close(fd);
  Medium m = blocks <= kLargestCdImageBlocks ? Medium::kCdRom : Medium::kDvdRom;
  s.disc = Disc::Fresh(m, static_cast<std::uint32_t>(blocks));
  char resolved[4096];
  s.image_name = realpath(path.c_str(), resolved) != nullptr ? resolved : path;
  if (s.image_name.size() > 1024) s.image_name.resize(1024);
  NewDiscArrived(s, now);
  return true;
}

void RemoveMedium(DriveState& s, SectorStore& store) {
  ClearDriveActivity(s);
  store.Discard();
  s.disc = Disc{};
  s.image_name.clear();
  detail::RaiseMediaEvent(s, detail::kMediaEventRemoval);
}

bool DumpSession(const DriveState& s, SectorStore& store, int session, const std::string& path,
                 std::string* error) {
  const Disc& d = s.disc;
  if (!d.present()) {
    *error = "there is no disc in the recorder";
    return false;
  }
  std::int64_t first = 0, end = 0;
  auto readable_end = [](const Track& t) {
    return t.state == TrackState::kComplete ? std::int64_t{t.End()} - t.run_out
                                            : std::int64_t{t.NextWritable()};
  };
  if (d.recording() == Recording::kSequential) {
    bool found = false;
    for (const Track& t : d.tracks) {
      if (t.test || (session != 0 && t.session != session)) continue;
      if (!found) first = session == 0 ? 0 : t.start;
      found = true;
      end = std::max(end, readable_end(t));
    }
    if (!found) {
      *error = session == 0 ? "nothing is recorded on the disc"
                            : "the disc has no session " + std::to_string(session);
      return false;
    }
  } else {
    if (session > 1) {
      *error = "the disc has one session only";
      return false;
    }
    // Only as far as anything was ever written: a formatted DVD+RW is
    // gigabytes of blocks nobody wrote.
    end = d.recording() == Recording::kReadOnly
              ? std::int64_t{d.capacity}
              : std::min<std::int64_t>(d.formatted_blocks, store.ExtentBlocks());
  }
  int out = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) {
    *error = "cannot create " + path + ": " + std::strerror(errno);
    return false;
  }
  std::vector<std::uint8_t> buffer(kCopyBlocks * kBlockSize);
  for (std::int64_t at = first; at < end; at += kCopyBlocks) {
    auto n = static_cast<std::size_t>(std::min<std::int64_t>(kCopyBlocks, end - at));
    Bytes chunk(buffer.data(), n * kBlockSize);
    bool ok = store.Read(at, chunk);
    std::size_t done = 0;
    while (ok && done < chunk.size()) {
      ssize_t w = write(out, chunk.data() + done, chunk.size() - done);
      if (w < 0 && errno == EINTR) continue;
      ok = w > 0;
      if (ok) done += static_cast<std::size_t>(w);
    }
    if (!ok) {
      close(out);
      *error = "cannot write " + path + ": " + std::strerror(errno);
      return false;
    }
  }
  if (close(out) != 0) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace vrec
