#include "vrec/store.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace vrec {
namespace {

constexpr char kMarkerName[] = "tidemark-vrec";
constexpr char kMarkerText[] = "Tidemark virtual recorder state folder, format 1\n";
constexpr char kStagingName[] = "staged";
constexpr char kFileMagic[] = "TMVREC01";  // 8 bytes, no terminator stored
constexpr std::uint32_t kFileVersion = 1;

// Layout of the state file.
constexpr std::size_t kHeaderSize = 4096;
constexpr std::size_t kSlotSize = 65536;
constexpr std::size_t kFileSize = kHeaderSize + 2 * kSlotSize;
constexpr std::size_t kMagicAt = 0, kVersionAt = 8, kSlotSizeAt = 12, kActiveAt = 16;
constexpr std::size_t kSlotLength = 0, kSlotCrc = 4, kSlotGeneration = 8, kSlotPayload = 16;
constexpr std::size_t kMaxPayload = kSlotSize - kSlotPayload;

std::uint32_t Crc32(ConstBytes a, ConstBytes b) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  std::uint32_t crc = 0xFFFFFFFFu;
  for (ConstBytes part : {a, b}) {
    for (std::uint8_t byte : part) crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
  }
  return crc ^ 0xFFFFFFFFu;
}

// How many times this process has been forked into (0 in the original):
// counted in the child as fork(2) returns, so that a store can tell it was
// opened by a parent without asking the kernel for its pid at every command.
std::atomic<std::uint64_t> g_forks{0};

std::uint64_t ForkCount() {
  static std::once_flag registered;
  std::call_once(registered, [] {
    pthread_atfork(nullptr, nullptr, [] { g_forks.fetch_add(1, std::memory_order_relaxed); });
  });
  return g_forks.load(std::memory_order_relaxed);
}

// A recorder whose state file keeps being replaced is given up after this
// many tries in one command.
constexpr int kMaxReopens = 100;

std::string RecorderDir(const std::string& folder, int target) {
  return folder + "/recorder" + std::to_string(target);
}

std::string Errno(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

bool MakeDirs(const std::string& path, std::string* error) {
  std::string partial;
  std::size_t at = 0;
  while (at <= path.size()) {
    std::size_t slash = path.find('/', at);
    if (slash == std::string::npos) slash = path.size();
    partial = path.substr(0, slash);
    at = slash + 1;
    if (partial.empty()) continue;
    if (mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) {
      *error = Errno("cannot create " + partial);
      return false;
    }
  }
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    *error = path + " is not a folder";
    return false;
  }
  return true;
}

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Writes a complete state file beside `path` and moves it into place:
// linked (never replacing) when `replace` is false, renamed over otherwise.
bool InstallStateFile(const std::string& path, const DriveState& state, bool replace,
                      std::string* error) {
  std::string tmp = path + ".new." + std::to_string(getpid());
  int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = Errno("cannot create " + tmp);
    return false;
  }
  bool ok = WriteAll(fd, EncodeStateFile(state));
  ok = close(fd) == 0 && ok;
  if (!ok) {
    *error = Errno("cannot write " + tmp);
    unlink(tmp.c_str());
    return false;
  }
  int r = replace ? rename(tmp.c_str(), path.c_str()) : link(tmp.c_str(), path.c_str());
  int saved = errno;
  if (!replace || r != 0) unlink(tmp.c_str());
  if (r != 0 && !(saved == EEXIST && !replace)) {
    errno = saved;
    *error = Errno("cannot create " + path);
    return false;
  }
  return true;
}

// Empties the staging area in place (other processes may have it mapped);
// one of the wrong size is made the right size.
bool ClearStaging(const std::string& path, std::string* error) {
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = Errno("cannot create " + path);
    return false;
  }
  struct stat st {};
  const std::uint8_t zero[8] = {};
  bool ok = fstat(fd, &st) == 0 &&
            (st.st_size == static_cast<off_t>(kStagingFileSize) ||
             ftruncate(fd, static_cast<off_t>(kStagingFileSize)) == 0) &&
            pwrite(fd, zero, sizeof zero, 0) == static_cast<ssize_t>(sizeof zero);
  if (!ok) *error = Errno("cannot write " + path);
  close(fd);
  return ok;
}

bool CreateRecorder(const std::string& folder, int target, std::string* error) {
  std::string dir = RecorderDir(folder, target);
  if (!MakeDirs(dir, error)) return false;
  int fd = open((dir + "/sectors").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = Errno("cannot create " + dir + "/sectors");
    return false;
  }
  close(fd);
  return InstallStateFile(dir + "/state", DriveState::Fresh(Medium::kCdR, 0), false, error);
}

bool FolderIsEmpty(const std::string& folder) {
  DIR* d = opendir(folder.c_str());
  if (d == nullptr) return false;
  bool empty = true;
  while (dirent* e = readdir(d)) {
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
      empty = false;
      break;
    }
  }
  closedir(d);
  return empty;
}

bool CheckHeader(ConstBytes file, std::string* error) {
  if (file.size() != kFileSize) {
    *error = "the state file has the wrong size";
    return false;
  }
  if (std::memcmp(file.data() + kMagicAt, kFileMagic, 8) != 0) {
    *error = "the state file is not a virtual recorder state";
    return false;
  }
  if (get_be32(file, kVersionAt) != kFileVersion || get_be32(file, kSlotSizeAt) != kSlotSize) {
    *error = "the state file has an unsupported format";
    return false;
  }
  if (file[kActiveAt] > 1) {
    *error = "the state file names no valid slot";
    return false;
  }
  return true;
}

// The current slot's payload and generation, after checking its length and
// checksum.
bool CurrentSlot(ConstBytes file, ConstBytes* payload, std::uint64_t* generation,
                 std::string* error) {
  ConstBytes slot = file.subspan(kHeaderSize + file[kActiveAt] * kSlotSize, kSlotSize);
  std::uint32_t length = get_be32(slot, kSlotLength);
  if (length > kMaxPayload) {
    *error = "the state slot has a bad length";
    return false;
  }
  *payload = slot.subspan(kSlotPayload, length);
  *generation = get_be64(slot, kSlotGeneration);
  if (Crc32(slot.subspan(kSlotGeneration, 8), *payload) != get_be32(slot, kSlotCrc)) {
    *error = "the state slot fails its checksum";
    return false;
  }
  return true;
}

void WriteSlot(Bytes file, std::size_t slot_index, std::uint64_t generation,
               const std::string& payload) {
  Bytes slot = file.subspan(kHeaderSize + slot_index * kSlotSize, kSlotSize);
  ConstBytes bytes(reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size());
  std::memcpy(slot.data() + kSlotPayload, payload.data(), payload.size());
  put_be64(slot, kSlotGeneration, generation);
  put_be32(slot, kSlotLength, static_cast<std::uint32_t>(payload.size()));
  put_be32(slot, kSlotCrc, Crc32(slot.subspan(kSlotGeneration, 8), bytes));
}

}  // namespace

std::string DefaultStateFolder() {
  if (const char* dir = std::getenv("TIDEMARK_VREC_DIR"); dir != nullptr && *dir != '\0') {
    return dir;
  }
  if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg != nullptr && xdg[0] == '/') {
    return std::string(xdg) + "/tidemark/vrec";
  }
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') {
    if (passwd* pw = getpwuid(getuid()); pw != nullptr) home = pw->pw_dir;
  }
  return std::string(home != nullptr ? home : "/tmp") + "/.local/state/tidemark/vrec";
}

bool PrepareStateFolder(const std::string& folder, bool create, std::string* error) {
  struct stat st {};
  std::string marker = folder + "/" + kMarkerName;
  if (stat(folder.c_str(), &st) != 0) {
    if (!create) {
      *error = "there is no virtual recorder state folder at " + folder;
      return false;
    }
    if (!MakeDirs(folder, error)) return false;
  } else if (!S_ISDIR(st.st_mode)) {
    *error = folder + " is not a folder";
    return false;
  }
  if (stat(marker.c_str(), &st) == 0) {
    char text[sizeof kMarkerText] = {};
    int fd = open(marker.c_str(), O_RDONLY | O_CLOEXEC);
    ssize_t n = fd >= 0 ? read(fd, text, sizeof text - 1) : -1;
    if (fd >= 0) close(fd);
    if (n != static_cast<ssize_t>(sizeof kMarkerText - 1) ||
        std::memcmp(text, kMarkerText, sizeof kMarkerText - 1) != 0) {
      *error = folder + " is not a virtual recorder state folder of this version (" + marker +
               " differs)";
      return false;
    }
    if (create && RecordersInFolder(folder).empty()) return CreateRecorder(folder, 0, error);
    return true;
  }
  if (!FolderIsEmpty(folder)) {
    *error = folder +
             " is not a virtual recorder state folder: it holds other files (set "
             "TIDEMARK_VREC_DIR to an empty or new folder)";
    return false;
  }
  if (!create) {
    *error = "there is no virtual recorder state in " + folder;
    return false;
  }
  int fd = open(marker.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd >= 0) {
    bool ok = WriteAll(fd, kMarkerText);
    close(fd);
    if (!ok) {
      *error = Errno("cannot write " + marker);
      return false;
    }
  } else if (errno != EEXIST) {
    *error = Errno("cannot create " + marker);
    return false;
  }
  return CreateRecorder(folder, 0, error);
}

std::vector<int> RecordersInFolder(const std::string& folder) {
  std::vector<int> out;
  DIR* d = opendir(folder.c_str());
  if (d == nullptr) return out;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name.rfind("recorder", 0) != 0 || name.size() == 8 || name.size() > 10) continue;
    std::string digits = name.substr(8);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      continue;
    }
    struct stat st {};
    if (stat((folder + "/" + name + "/state").c_str(), &st) == 0) out.push_back(std::stoi(digits));
  }
  closedir(d);
  std::sort(out.begin(), out.end());
  return out;
}

std::string EncodeStateFile(const DriveState& state) {
  std::string file(kFileSize, '\0');
  Bytes bytes(reinterpret_cast<std::uint8_t*>(file.data()), file.size());
  std::memcpy(bytes.data() + kMagicAt, kFileMagic, 8);
  put_be32(bytes, kVersionAt, kFileVersion);
  put_be32(bytes, kSlotSizeAt, kSlotSize);
  bytes[kActiveAt] = 0;
  WriteSlot(bytes, 0, 1, EncodeState(state));
  return file;
}

bool DecodeStateFile(ConstBytes file, DriveState* state, std::string* error) {
  ConstBytes payload;
  std::uint64_t generation = 0;
  return CheckHeader(file, error) && CurrentSlot(file, &payload, &generation, error) &&
         DecodeState(payload, state, error);
}

RecorderStore::~RecorderStore() {
  CloseFiles();
}

std::unique_ptr<RecorderStore> RecorderStore::Open(const std::string& folder, int target,
                                                   bool create, std::string* error) {
  if (target < 0 || target > 7) {
    *error = "recorder numbers run from 0 to 7";
    return nullptr;
  }
  if (!PrepareStateFolder(folder, create, error)) return nullptr;
  std::unique_ptr<RecorderStore> store(new RecorderStore());
  store->folder_ = folder;
  store->target_ = target;
  store->dir_ = RecorderDir(folder, target);
  struct stat st {};
  if (stat((store->dir_ + "/state").c_str(), &st) != 0) {
    if (!create) {
      *error = "virtual recorder " + std::to_string(target) + " does not exist in " + folder;
      return nullptr;
    }
    if (!CreateRecorder(folder, target, error)) return nullptr;
  }
  if (!store->OpenFiles(error)) return nullptr;
  return store;
}

bool RecorderStore::OpenFiles(std::string* error) {
  CloseFiles();
  std::string path = dir_ + "/state";
  state_fd_ = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (state_fd_ < 0) {
    *error = Errno("cannot open " + path);
    return false;
  }
  struct stat st {};
  if (fstat(state_fd_, &st) != 0 || st.st_size != static_cast<off_t>(kFileSize)) {
    *error = "the state of virtual recorder " + std::to_string(target_) + " in " + folder_ +
             " is corrupt (the state file has the wrong size); `tidemark vrec reset` makes a "
             "fresh one";
    CloseFiles();
    return false;
  }
  void* map = mmap(nullptr, kFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, state_fd_, 0);
  if (map == MAP_FAILED) {
    *error = Errno("cannot map " + path);
    CloseFiles();
    return false;
  }
  map_ = static_cast<std::uint8_t*>(map);
  map_size_ = kFileSize;
  std::string sectors = dir_ + "/sectors";
  sectors_fd_ = open(sectors.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (sectors_fd_ < 0) {
    *error = Errno("cannot open " + sectors);
    CloseFiles();
    return false;
  }
  sectors_.set_fd(sectors_fd_);
  if (!OpenStaging(error)) {
    CloseFiles();
    return false;
  }
  forks_ = ForkCount();
  loaded_ = false;
  return true;
}

bool RecorderStore::OpenStaging(std::string* error) {
  std::string path = dir_ + "/" + kStagingName;
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = Errno("cannot open " + path);
    return false;
  }
  // A folder from before the staging area gets an empty one.
  struct stat st {};
  bool ok = fstat(fd, &st) == 0 &&
            (st.st_size == static_cast<off_t>(kStagingFileSize) ||
             (st.st_size == 0 && ftruncate(fd, static_cast<off_t>(kStagingFileSize)) == 0));
  void* map =
      ok ? mmap(nullptr, kStagingFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
  close(fd);
  if (map == MAP_FAILED) {
    *error = "the state of virtual recorder " + std::to_string(target_) + " in " + folder_ +
             " is corrupt (cannot use " + path + "); `tidemark vrec reset` makes a fresh one";
    return false;
  }
  staging_ = static_cast<std::uint8_t*>(map);
  sectors_.set_staging(staging_);
  return true;
}

void RecorderStore::CloseFiles() {
  if (map_ != nullptr) munmap(map_, map_size_);
  map_ = nullptr;
  if (staging_ != nullptr) munmap(staging_, kStagingFileSize);
  staging_ = nullptr;
  sectors_.set_staging(nullptr);
  if (state_fd_ >= 0) close(state_fd_);
  if (sectors_fd_ >= 0) close(sectors_fd_);
  state_fd_ = sectors_fd_ = -1;
  sectors_.set_fd(-1);
  loaded_ = false;
}

bool RecorderStore::Lock(std::string* error) {
  std::string path = dir_ + "/state";
  // A forked child must not share the parent's open file (and so its lock).
  bool reopen = state_fd_ < 0 || forks_ != ForkCount();
  for (int tries = 0;; ++tries) {
    if (reopen) {
      if (tries > kMaxReopens) {
        *error = "the state of virtual recorder " + std::to_string(target_) + " in " + folder_ +
                 " keeps being replaced";
        return false;
      }
      // Someone may have reset or removed the folder since the last command.
      struct stat st {};
      if (stat(path.c_str(), &st) != 0) {
        if (!PrepareStateFolder(folder_, true, error)) return false;
        if (stat(path.c_str(), &st) != 0 && !CreateRecorder(folder_, target_, error)) return false;
      }
      if (!OpenFiles(error)) return false;
    }
    const LockResult got = LockCurrentFile(error);
    if (got == LockResult::kFailed) return false;
    if (got == LockResult::kLocked) break;
    reopen = true;  // replaced or removed since it was opened
  }
  if (!Reload(error)) {
    flock(state_fd_, LOCK_UN);
    return false;
  }
  StagedRun run;
  if (!sectors_.Staged(&run)) {
    *error = "the state of virtual recorder " + std::to_string(target_) + " in " + folder_ +
             " is corrupt (the staged blocks' header is damaged); `tidemark vrec reset` makes a "
             "fresh one";
    flock(state_fd_, LOCK_UN);
    return false;
  }
  return true;
}

RecorderStore::LockResult RecorderStore::LockCurrentFile(std::string* error) {
  while (flock(state_fd_, LOCK_EX) != 0) {
    if (errno != EINTR) {
      *error = Errno("cannot lock " + dir_ + "/state");
      return LockResult::kFailed;
    }
  }
  // A reset renames the new file over this one while it holds this lock,
  // so once the lock is ours a replaced file shows no links.
  struct stat st {};
  if (fstat(state_fd_, &st) == 0 && st.st_nlink > 0) return LockResult::kLocked;
  flock(state_fd_, LOCK_UN);
  return LockResult::kStale;
}

bool RecorderStore::Reload(std::string* error) {
  ConstBytes file(map_, map_size_);
  ConstBytes payload;
  std::uint64_t generation = 0;
  std::string why;
  auto corrupt = [&](const std::string& reason) {
    *error = "the state of virtual recorder " + std::to_string(target_) + " in " + folder_ +
             " is corrupt (" + reason + "); `tidemark vrec reset` makes a fresh one";
    loaded_ = false;
    return false;
  };
  if (!CheckHeader(file, &why)) return corrupt(why);
  // The slot is read only when another process changed it since.
  std::size_t active = file[kActiveAt];
  std::uint64_t current = get_be64(file, kHeaderSize + active * kSlotSize + kSlotGeneration);
  if (loaded_ && current == generation_) return true;
  if (!CurrentSlot(file, &payload, &generation, &why)) return corrupt(why);
  DriveState decoded;
  if (!DecodeState(payload, &decoded, &why)) return corrupt(why);
  state_ = std::move(decoded);
  saved_.assign(reinterpret_cast<const char*>(payload.data()), payload.size());
  generation_ = generation;
  loaded_ = true;
  return true;
}

bool RecorderStore::Save(std::string* error) {
  std::string encoded = EncodeState(state_);
  if (encoded == saved_) return true;
  if (encoded.size() > kMaxPayload) {
    *error = "the recorder's state outgrew its slot";
    return false;
  }
  Bytes file(map_, map_size_);
  std::size_t idle = file[kActiveAt] == 0 ? 1 : 0;
  WriteSlot(file, idle, generation_ + 1, encoded);
  // One single-byte store switches every reader to the new slot.
  __atomic_store_n(map_ + kActiveAt, static_cast<std::uint8_t>(idle), __ATOMIC_RELEASE);
  ++generation_;
  saved_ = std::move(encoded);
  return true;
}

bool RecorderStore::Unlock(std::string* error) {
  bool ok = Save(error);
  flock(state_fd_, LOCK_UN);
  return ok;
}

bool RecorderStore::Reset(const std::string& folder, int target, const DriveState& fresh,
                          std::string* error) {
  if (!PrepareStateFolder(folder, true, error)) return false;
  std::string dir = RecorderDir(folder, target);
  if (!MakeDirs(dir, error)) return false;
  std::string path = dir + "/state";
  // Wait for a command in flight on the old file, then put the new one in
  // its place; other processes notice the new file at their next command.
  int old = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (old >= 0) flock(old, LOCK_EX);
  bool ok =
      ClearStaging(dir + "/" + kStagingName, error) && InstallStateFile(path, fresh, true, error);
  if (ok) {
    int fd = open((dir + "/sectors").c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
      *error = Errno("cannot create " + dir + "/sectors");
      ok = false;
    } else {
      close(fd);
    }
  }
  if (old >= 0) close(old);
  return ok;
}

}  // namespace vrec
