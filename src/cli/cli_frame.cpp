#include "cli/cli_frame.h"

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>

#include "burner/burner_messages.h"
#include "burner/cd_burner.h"
#include "cli/command.h"
#include "device/media_types.h"
#include "platform/app_paths.h"
#include "platform/ini_file.h"
#include "platform/utf8.h"
#include "recording/job_state.h"

namespace cli {
namespace {

constexpr auto kRefresh = std::chrono::milliseconds(500);
// 1x: 75 sectors of 2,048 bytes a second on a CD, 1,385,000 bytes on a DVD.
constexpr int64_t kCdBytesPerX = 75 * 2048;
constexpr int64_t kDvdBytesPerX = 1385000;
constexpr auto kInterruptCheck = std::chrono::milliseconds(100);
// The writer's job end after OnWriteDone: disposing of the reader.
constexpr auto kJobEndWait = std::chrono::seconds(60);

std::FILE* event_stream = nullptr;  // stdout unless redirected
volatile sig_atomic_t interrupted = 0;

std::string Shown(const std::string& Text) {
  return platform::SanitizeUtf8(Text);
}

void ErrorLine(const std::string& Text) {
  std::fprintf(stderr, "tidemark: %s\n", Shown(Text).c_str());
}

// A failed command's log line without the bytes of its data buffer: what
// the drive said stays, a dump of what was sent or read does not.
std::string WithoutData(const std::string& Line) {
  const size_t bar = Line.find(" | ");
  const size_t status = Line.find("= ", bar == std::string::npos ? 0 : bar);
  if (bar == std::string::npos || status == std::string::npos) return Line;
  return Line.substr(0, bar) + " " + Line.substr(status);
}

// The abort request is one lock-free store: safe here, and seen by the
// writer at its next block without waiting for the poller.
void OnInterrupt(int) {
  interrupted = 1;
  recording::RequestAbort();
}

struct Completion {
  std::mutex mutex;
  std::condition_variable cv;
  bool done = false;
  std::string error;
};

// 1x of the medium the job writes to; 0 for an image file.
int64_t BytesPerX(const TzqCDBurner& Burner) {
  const uint16_t media = Burner.CurrentMediaType;
  if (media == 0) return 0;
  return media < mtDVDROM ? kCdBytesPerX : kDvdBytesPerX;
}

}  // namespace

void EmitJson(const platform::JsonObject& Object) {
  std::FILE* out = event_stream != nullptr ? event_stream : stdout;
  const std::string line = Object.Text() + "\n";
  std::fwrite(line.data(), 1, line.size(), out);
  std::fflush(out);
}

void EventsToStandardError() {
  event_stream = stderr;
}

Frame::Frame(std::string Name, std::string Usage)
    : name_(std::move(Name)), usage_(std::move(Usage)) {}

std::optional<int> Frame::Parse(const std::vector<std::string>& Args, bool Progress) {
  if (Progress) opts_.Add("-q,--quiet", "", "no progress display");
  opts_.Add("--json", "", "one JSON object a line (events, then the result) instead of text")
      .Add("-v,--verbose", "", "progress and trace lines of the component's log")
      .Add("-h,--help", "", "this help");
  const bool parsed = opts_.Parse(Args);
  json_ = opts_.Has("--json");
  quiet_ = opts_.Has("--quiet");
  verbose_ = opts_.Has("--verbose");
  if (!parsed) return Usage(opts_.Error());
  if (opts_.Has("--help")) {
    std::printf("%s%s", usage_.c_str(), opts_.HelpText().c_str());
    return kExitOk;
  }
  return std::nullopt;
}

ProgressMode Frame::Progress() const {
  return ProgressDisplay::ModeFor(json_, quiet_);
}

void Frame::Line(const std::string& Text) const {
  // Standard output carries the data when the events were moved away.
  std::FILE* out = event_stream == stderr ? stderr : stdout;
  std::fprintf(out, "%s\n", Shown(Text).c_str());
}

void Frame::Warn(const std::string& Text) const {
  if (json_) EmitJson(platform::JsonObject().Add("event", "warning").Add("text", Text));
  ErrorLine("warning: " + Text);
}

void Frame::Warn(const std::vector<std::string>& Texts) const {
  for (const std::string& t : Texts) Warn(t);
}

int Frame::Usage(const std::string& Message) const {
  return Fail(kExitUsage, Message + " (see tidemark " + name_ + " --help)",
              platform::JsonObject().Add("code", "usage"));
}

int Frame::Fail(int Status, const std::string& Message, const platform::JsonObject& Extra) const {
  if (json_)
    EmitJson(platform::JsonObject()
                 .Add("event", "result")
                 .Add("ok", false)
                 .Add("error", Message)
                 .Merge(Extra));
  ErrorLine(Message);
  return Status;
}

int Frame::StatusOf(jobs::Category Kind) {
  switch (Kind) {
    case jobs::Category::Input:
      return kExitUsage;
    case jobs::Category::Recorder:
      return kExitNoRecorder;
    case jobs::Category::Job:
      break;
  }
  return kExitFailed;
}

int Frame::Refuse(const jobs::Refusal& R, const std::string& Advice) const {
  const std::string message = Advice.empty() ? R.Message : R.Message + " (" + Advice + ")";
  if (json_) {
    platform::JsonObject result;
    result.Add("event", "result").Add("ok", false).Add("refused", true).Add("code", R.Code);
    result.Add("error", message);
    platform::JsonArray details;
    for (const std::string& d : R.Details) details.Push(platform::JsonObject().Add("text", d));
    result.Add("details", details);
    if (!R.Omitted.empty()) result.Add("omitted", OmissionArray(R.Omitted));
    EmitJson(result);
  }
  ErrorLine(message);
  for (const std::string& d : R.Details) std::fprintf(stderr, "  %s\n", Shown(d).c_str());
  return StatusOf(R.Kind);
}

void AddFailureFields(platform::JsonObject& Object, const jobs::FailureReport& Report) {
  Object.Add("phase", jobs::PhaseName(Report.Phase));
  if (Report.Command) {
    const jobs::FailedCommand& c = *Report.Command;
    platform::JsonObject command;
    command.Add("name", c.Name).Add("opcode", static_cast<int>(c.Opcode));
    if (c.Sector)
      command.Add("sector", *c.Sector);
    else
      command.AddNull("sector");
    command.Add("sense_key", static_cast<int>(c.SenseKey))
        .Add("asc", static_cast<int>(c.Asc))
        .Add("ascq", static_cast<int>(c.Ascq))
        .Add("sense_text", c.SenseText);
    Object.Add("command", command);
  } else {
    Object.AddNull("command");
  }
  if (Report.SectorsWritten) Object.Add("sectors_written", *Report.SectorsWritten);
  if (Report.Disc) Object.Add("disc_state", jobs::DiscStateName(*Report.Disc));
  Object.Add("hint", Report.Hint);
}

platform::JsonArray OmissionArray(const std::vector<TOmission>& Omitted) {
  platform::JsonArray list;
  for (const TOmission& o : Omitted)
    list.Push(platform::JsonObject()
                  .Add("path", o.Path)
                  .Add("reason", OmissionReasonName(o.Reason))
                  .Add("message", o.Message));
  return list;
}

int Frame::Report(const jobs::Outcome& O, platform::JsonObject Result,
                  const std::string& SuccessText) const {
  if (O.Ok()) {
    if (json_)
      EmitJson(platform::JsonObject().Add("event", "result").Add("ok", true).Merge(Result));
    else if (!quiet_ && !SuccessText.empty())
      Line(SuccessText);
    return kExitOk;
  }
  platform::JsonObject fields = std::move(Result);
  fields.Add("aborted", O.Kind == jobs::Result::Aborted);
  if (O.Failure) AddFailureFields(fields, *O.Failure);
  const int status = Fail(kExitFailed, O.Message, fields);
  if (O.Failure)
    for (const std::string& line : jobs::FailureLines(*O.Failure))
      std::fprintf(stderr, "  %s\n", Shown(line).c_str());
  return status;
}

void Frame::ReportOmissions(const std::vector<TOmission>& Omitted) const {
  for (const TOmission& o : Omitted) {
    if (json_)
      EmitJson(platform::JsonObject()
                   .Add("event", "omitted")
                   .Add("path", o.Path)
                   .Add("reason", OmissionReasonName(o.Reason))
                   .Add("message", o.Message));
    ErrorLine("left out: " + o.Message);
  }
}

platform::ProgramSettings Frame::Settings() const {
  std::string warning;
  const platform::IniFile ini =
      platform::IniFile::Load(platform::AppPaths::FromEnvironment().SettingsFile(), &warning);
  if (!warning.empty()) Warn(warning);
  return platform::ReadProgramSettings(ini, platform::ProgramSettings{});
}

void Frame::AttachLog(TzqCDBurner& Burner) const {
  const bool verbose = verbose_;
  Burner.DoDebug = verbose;
  Burner.OnDebugMessage = [verbose](TSCSIDevice*, const std::string& Message, uint8_t Type) {
    if (Type == burner::msg::kTypeProgress && !verbose) return;
    const std::string shown =
        !verbose && Message.rfind("<<< ", 0) == 0 ? WithoutData(Message) : Message;
    std::fprintf(stderr, "%s\n", Shown(shown).c_str());
  };
}

InterruptScope::InterruptScope() {
  interrupted = 0;
  recording::AbortRequested();  // the job state exists before any signal comes
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, &old_int_);
  sigaction(SIGTERM, &sa, &old_term_);
  // An image written into a pipe whose reader went away is a failed write
  // the job reports, not a reason to die without a word.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, &old_pipe_);
}

InterruptScope::~InterruptScope() {
  sigaction(SIGINT, &old_int_, nullptr);
  sigaction(SIGTERM, &old_term_, nullptr);
  sigaction(SIGPIPE, &old_pipe_, nullptr);
}

bool Interrupted() {
  return interrupted != 0;
}

ProgressValues JobProgress(const TzqCDBurner& Burner) {
  ProgressValues v;
  v.Written = Burner.BytesWritten.load();
  v.Total = Burner.ImageSectors() * 2048;
  v.HostBuffer = Burner.CacheFillPercent();
  v.Phase = jobs::PhaseName(Burner.JobPhase.load());
  v.BytesPerX = BytesPerX(Burner);
  if (Burner.DeviceBufferSize >= Burner.DeviceFreeBufferSize) {
    v.RecorderSize = Burner.DeviceBufferSize;
    v.RecorderUsed = static_cast<int64_t>(Burner.DeviceBufferSize) - Burner.DeviceFreeBufferSize;
  }
  return v;
}

std::string RunWriteJob(TzqCDBurner& Burner, const std::function<bool()>& Start,
                        ProgressDisplay& Display) {
  auto completion = std::make_shared<Completion>();
  Burner.OnWriteDone = [completion](TzqCDBurner*, const std::string& Error) {
    {
      std::lock_guard<std::mutex> guard(completion->mutex);
      completion->error = Error;
      completion->done = true;
    }
    completion->cv.notify_all();
  };
  InterruptScope guard;
  const bool started = Start();
  bool aborted = false;
  auto next_refresh = std::chrono::steady_clock::now();
  for (;;) {
    {
      std::unique_lock<std::mutex> lk(completion->mutex);
      completion->cv.wait_for(lk, kInterruptCheck, [&] { return completion->done; });
      if (completion->done) break;
    }
    if (Interrupted() && !aborted) {
      Burner.AbortWrite();
      aborted = true;
    }
    if (!started || !recording::JobRunning()) {
      // No writer runs and none reported: nothing will come.
      std::lock_guard<std::mutex> lk(completion->mutex);
      if (!completion->done) {
        completion->done = true;
        completion->error = "NO JOB WAS STARTED";
      }
      break;
    }
    if (std::chrono::steady_clock::now() >= next_refresh) {
      Display.Show(JobProgress(Burner));
      next_refresh += kRefresh;
    }
  }
  recording::WaitForJobEnd(kJobEndWait);
  Burner.OnWriteDone = nullptr;
  // The final counts, as the window shows them once more at the end.
  Display.Show(JobProgress(Burner));
  Display.Finish();
  std::lock_guard<std::mutex> lk(completion->mutex);
  return completion->error;
}

}  // namespace cli
