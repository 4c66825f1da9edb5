#pragma once
// The state folder and one recorder's files in it.
//
//   FOLDER/tidemark-vrec      marks the folder as ours (never written over a foreign one)
//   FOLDER/recorderN/state    the recorder's state, shared by every process through a
//                             memory mapping: a header and two slots; a change is
//                             written to the idle slot and then made current with one
//                             aligned store, so no reader ever sees half a state
//   FOLDER/recorderN/sectors  the recorded blocks, 2048 bytes each at LBA x 2048 (sparse)
//   FOLDER/recorderN/staged   blocks written but not yet in `sectors`, mapped by every
//                             process (see FileSectorStore); every read of the blocks
//                             through the store puts them in `sectors` first
//
// Every command runs under an exclusive flock(2) of the state file: the
// lock is taken per command, so any number of processes (an application
// with the library loaded, `tidemark vrec insert` in a terminal, programs
// forked under the shim) share the recorder, and none ever sees another's
// command half done. A process re-reads the state only when its generation
// changed. The files stay open between commands; a state file that was
// replaced (a reset) or removed has no links left, which one fstat under
// the lock shows, and then the current one is opened.

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "vrec/drive_state.h"
#include "vrec/sector_store.h"

namespace vrec {

// $TIDEMARK_VREC_DIR, else $XDG_STATE_HOME/tidemark/vrec, else
// ~/.local/state/tidemark/vrec.
std::string DefaultStateFolder();

// Checks the folder: true when it is ours, or missing or empty (then, with
// `create`, it is made, holding recorder 0 with a blank CD-R). A folder
// holding anything else is refused with a clear message.
bool PrepareStateFolder(const std::string& folder, bool create, std::string* error);

// The recorder numbers present in the folder, ascending.
std::vector<int> RecordersInFolder(const std::string& folder);

class RecorderStore {
 public:
  ~RecorderStore();
  RecorderStore(const RecorderStore&) = delete;
  RecorderStore& operator=(const RecorderStore&) = delete;

  // Opens recorder `target`; with `create` a missing one is made with a
  // blank CD-R. A corrupt state file is reported, never replaced.
  static std::unique_ptr<RecorderStore> Open(const std::string& folder, int target, bool create,
                                             std::string* error);

  // Takes the lock and brings state() up to date. On failure (a corrupt or
  // vanished state) the lock is not held.
  bool Lock(std::string* error);
  // Saves state() when it changed and releases the lock.
  bool Unlock(std::string* error);

  DriveState& state() { return state_; }
  SectorStore& sectors() { return sectors_; }
  const std::string& directory() const { return dir_; }
  int target() const { return target_; }
  std::uint64_t generation() const { return generation_; }

  // Replaces the state file's contents with `fresh` (a recorder reset,
  // asked for explicitly); the caller holds no lock.
  static bool Reset(const std::string& folder, int target, const DriveState& fresh,
                    std::string* error);

 private:
  RecorderStore() : sectors_(-1) {}
  bool OpenFiles(std::string* error);
  bool OpenStaging(std::string* error);
  void CloseFiles();
  bool Reload(std::string* error);
  bool Save(std::string* error);

  enum class LockResult { kLocked, kStale, kFailed };
  // Takes the lock of the open state file. kStale (lock not held): the file
  // has been replaced or removed since it was opened.
  LockResult LockCurrentFile(std::string* error);

  std::string folder_;
  std::string dir_;
  int target_ = 0;
  std::uint64_t forks_ = 0;  // ForkCount() when the files were opened
  int state_fd_ = -1;
  int sectors_fd_ = -1;
  std::uint8_t* map_ = nullptr;
  std::size_t map_size_ = 0;
  std::uint8_t* staging_ = nullptr;
  std::uint64_t generation_ = 0;
  bool loaded_ = false;
  std::string saved_;  // the encoding of state_ as last read or written
  DriveState state_;
  FileSectorStore sectors_;
};

// For the loader's fuzzer and tests: validates and decodes a whole state
// file's bytes as Lock() would.
bool DecodeStateFile(ConstBytes file, DriveState* state, std::string* error);
// Builds a state file holding `state` in slot 0 (generation 1).
std::string EncodeStateFile(const DriveState& state);

}  // namespace vrec
