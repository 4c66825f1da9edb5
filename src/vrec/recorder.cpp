#include "vrec/recorder.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace vrec {

std::optional<std::uint32_t> ParseSpeed(const std::string& text) {
  if (text == "fast") return 0u;
  std::string number = text;
  if (!number.empty() && (number.back() == 'x' || number.back() == 'X')) number.pop_back();
  if (number.empty() || number.size() > 8) return std::nullopt;
  char* end = nullptr;
  double v = std::strtod(number.c_str(), &end);
  if (end != number.c_str() + number.size() || !(v >= 0.1) || v > 1000.0) return std::nullopt;
  return static_cast<std::uint32_t>(std::lround(v * 10.0));
}

std::string FormatSpeed(std::uint32_t x10) {
  if (x10 == 0) return "fast";
  std::string s = std::to_string(x10 / 10);
  if (x10 % 10 != 0) s += "." + std::to_string(x10 % 10);
  return s + "x";
}

std::unique_ptr<Recorder> Recorder::Open(const RecorderOptions& options, std::string* error) {
  std::unique_ptr<Recorder> r(new Recorder());
  r->folder_ = options.folder.empty() ? DefaultStateFolder() : options.folder;
  if (r->folder_[0] != '/') {
    // Processes forked under the shim may change folder: keep one absolute path.
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) != nullptr) r->folder_ = std::string(cwd) + "/" + r->folder_;
  }
  r->target_ = options.target;
  if (const char* speed = std::getenv("TIDEMARK_VREC_SPEED"); speed != nullptr && *speed) {
    r->speed_override_ = ParseSpeed(speed);
    if (!r->speed_override_) {
      *error = "TIDEMARK_VREC_SPEED must be \"fast\" or a speed such as \"4x\"";
      return nullptr;
    }
  }
  r->store_ = RecorderStore::Open(r->folder_, options.target, options.create, error);
  if (!r->store_) return nullptr;
  if (options.clock != nullptr) {
    r->clock_ = options.clock;
  } else {
    r->own_clock_ = std::make_unique<WallClock>();
    r->clock_ = r->own_clock_.get();
  }
  // Check the state now, and start as an initiator that has seen every
  // event so far (as the kernel does when it opens a drive).
  if (!r->store_->Lock(error)) return nullptr;
  r->initiator_.seen_attention = r->store_->state().attention_gen;
  r->initiator_.seen_media_event = r->store_->state().media_event_gen;
  if (!r->store_->Unlock(error)) return nullptr;
  return r;
}

std::uint32_t Recorder::SpeedX10(const DriveState& state) const {
  return speed_override_ ? *speed_override_ : state.emulated_speed_x10;
}

namespace {

// TIDEMARK_VREC_TRACE=FILE appends one line per command: who sent it, the
// command block, and how the recorder answered. For finding out what a
// program expects of a drive.
void Trace(const Request& request, const Response& r) {
  static const char* path = std::getenv("TIDEMARK_VREC_TRACE");
  if (path == nullptr || *path == '\0') return;
  std::string line = std::to_string(getpid()) + " ";
  char hex[8];
  for (std::uint8_t b : request.cdb) {
    std::snprintf(hex, sizeof hex, "%02X ", b);
    line += hex;
  }
  line += request.direction == DataDirection::kIn    ? "in "
          : request.direction == DataDirection::kOut ? "out "
                                                     : "- ";
  line += std::to_string(request.data.size()) + " -> ";
  if (r.timed_out) {
    line += "timeout";
  } else if (r.status == kStatusCheckCondition) {
    std::snprintf(hex, sizeof hex, "%X/", r.sense[2] & 0x0F);
    line += hex;
    std::snprintf(hex, sizeof hex, "%02X/", r.sense[12]);
    line += hex;
    std::snprintf(hex, sizeof hex, "%02X", r.sense[13]);
    line += hex;
  } else {
    line += r.status == kStatusGood ? "good" : "busy";
  }
  line += " " + std::to_string(r.transferred) + " " + std::to_string(r.duration_us) + "us\n";
  if (FILE* f = std::fopen(path, "a")) {
    std::fputs(line.c_str(), f);
    std::fclose(f);
  }
}

}  // namespace

Response Recorder::Execute(const Request& request) {
  std::lock_guard<std::mutex> hold(mutex_);
  std::string error;
  if (!store_->Lock(&error)) {
    last_error_ = error;
    Response r;
    r.status = kStatusCheckCondition;
    r.sense = BuildSense(sense::kInternalTargetFailure);
    return r;
  }
  DriveState& state = store_->state();
  DriveOptions options{SpeedX10(state)};
  Response response =
      vrec::Execute(state, store_->sectors(), initiator_, clock_->NowUs(), options, request);
  if (!store_->Unlock(&error)) last_error_ = error;
  Trace(request, response);
  return response;
}

Response Recorder::ExecuteAndWait(const Request& request) {
  Response r = Execute(request);
  if (!r.timed_out) clock_->Wait(r.duration_us);
  return r;
}

bool Recorder::Update(const std::function<bool(DriveState&, SectorStore&, std::string*)>& change,
                      std::string* error) {
  std::lock_guard<std::mutex> hold(mutex_);
  if (!store_->Lock(error)) return false;
  // A refusing change leaves the state as it found it, or consistent.
  bool ok = change(store_->state(), store_->sectors(), error);
  std::string save_error;
  if (!store_->Unlock(&save_error) && ok) {
    *error = save_error;
    return false;
  }
  return ok;
}

bool Recorder::Inspect(const std::function<void(const DriveState&)>& look, std::string* error) {
  std::lock_guard<std::mutex> hold(mutex_);
  if (!store_->Lock(error)) return false;
  look(store_->state());
  return store_->Unlock(error);
}

}  // namespace vrec
