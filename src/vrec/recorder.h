#pragma once
// One virtual recorder as programs use it: the command interpreter over the
// state kept in the state folder, one command at a time under the folder's
// lock. The library front end, the SG_IO shim, `tidemark vrec` and the tests
// all come through here.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "vrec/clock.h"
#include "vrec/drive.h"
#include "vrec/store.h"

namespace vrec {

struct RecorderOptions {
  std::string folder;  // empty: DefaultStateFolder()
  int target = 0;
  bool create = true;      // make the folder and the recorder when missing
  Clock* clock = nullptr;  // null: the wall clock
};

// Parses "fast" or "Nx" (N may have one decimal, "2.4x"); x10 units, 0 = fast.
std::optional<std::uint32_t> ParseSpeed(const std::string& text);
std::string FormatSpeed(std::uint32_t x10);

class Recorder {
 public:
  static std::unique_ptr<Recorder> Open(const RecorderOptions& options, std::string* error);

  // Executes one command. The response's duration is the emulated time the
  // command took; the caller lets it pass (Clock::Wait) when it serves a
  // real program. A recorder whose state cannot be read answers 04/44/00
  // and keeps the reason in last_error().
  Response Execute(const Request& request);
  // Execute, then let the command's time pass on this recorder's clock.
  Response ExecuteAndWait(const Request& request);

  // Runs `change` on the state under the lock and saves what it did. The
  // function returns false (with a message) to refuse; whatever it leaves
  // in the state is saved either way, so it leaves it consistent.
  bool Update(const std::function<bool(DriveState&, SectorStore&, std::string*)>& change,
              std::string* error);
  bool Inspect(const std::function<void(const DriveState&)>& look, std::string* error);

  // The recording speed cap in force: TIDEMARK_VREC_SPEED when set
  // ("fast" or "Nx"), else the recorder's own setting.
  std::uint32_t SpeedX10(const DriveState& state) const;

  Clock& clock() { return *clock_; }
  RecorderStore& store() { return *store_; }
  const std::string& folder() const { return folder_; }
  int target() const { return target_; }
  const std::string& last_error() const { return last_error_; }
  Initiator& initiator() { return initiator_; }

 private:
  Recorder() = default;

  std::mutex mutex_;
  std::unique_ptr<RecorderStore> store_;
  std::unique_ptr<WallClock> own_clock_;
  Clock* clock_ = nullptr;
  Initiator initiator_;
  std::optional<std::uint32_t> speed_override_;
  std::string folder_;
  int target_ = 0;
  std::string last_error_;
};

// Operations of `tidemark vrec` on a locked state (admin.cpp).
// A disc put in this way is ready at once (with the unit attention of a
// changed medium); the spin-up belongs to a host's own load command.
void InsertMedium(DriveState& s, SectorStore& store, Medium m, std::uint32_t capacity,
                  std::int64_t now);
bool InsertImage(DriveState& s, SectorStore& store, const std::string& path, std::int64_t now,
                 std::string* error);
void RemoveMedium(DriveState& s, SectorStore& store);
// The recorded blocks of session `session` (0: the whole disc) as an image.
bool DumpSession(const DriveState& s, SectorStore& store, int session, const std::string& path,
                 std::string* error);
// What `vrec status` says of the recorder beyond the disc's own fields.
struct StatusSummary {
  std::string medium;  // "DVD-RW (restricted overwrite)", "none"
  std::string state;   // "blank", "appendable", "complete", "formatted", ...
  std::string tray;    // "open", "closed", "closed, locked"
  std::string busy;    // "blanking 40%", or empty
  std::optional<std::int32_t> next_writable;
};
StatusSummary Summarize(const DriveState& s, std::int64_t now);
// Human-readable lines of `vrec status`.
std::vector<std::string> StatusLines(const DriveState& s, std::int64_t now,
                                     std::uint32_t speed_x10);

}  // namespace vrec
