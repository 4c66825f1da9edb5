#include "jobs/disc_jobs.h"

#include <sys/stat.h>

#include <array>
#include <cstring>

#include "burner/burner_messages.h"
#include "burner/disc_media.h"
#include "device/media_types.h"
#include "jobs/compilation.h"
#include "platform/utf8.h"
#include "recording/disc_writer_rules.h"
#include "recording/recording_messages.h"

namespace jobs {
namespace {

constexpr uint32_t kFirstVolumeDescriptor = 16;
constexpr uint32_t kDvdKbpsPerX = 1385;
constexpr char kStandardId[] = "CD001";
constexpr const char* kNotRewritable = "This is not a rewritable CD!";
constexpr const char* kEraseFailed = "Deletion error";

std::string Shown(const std::string& Text) {
  return platform::SanitizeUtf8(Text);
}

// Entries whose data lies on the disc, from an imported session.
bool HoldsImportedFiles(const TzqCDBurner& Burner) {
  for (PFileEntry e : Burner.FileTable())
    if (e->Imported != 0 && !e->Removed) return true;
  return false;
}

// Why a job that writes cannot start on this disc.
std::optional<Refusal> CheckWritable(const LoadedDisc& Disc, const TzqCDBurner& Burner) {
  if (!Disc.Present) return Refuse(Category::Job, "no-disc", recording::msg::kNoDisc);
  if (!Disc.Writable)
    return Refuse(Category::Job, "not-writable",
                  burner::msg::Fill(recording::msg::kNotWritable, {Disc.Name}));
  if (Burner.TestWrite && !Disc.CanSimulate)
    return Refuse(Category::Job, "no-test-write",
                  burner::msg::Fill(recording::msg::kNoTestWriteMedium, {Disc.Name}));
  return std::nullopt;
}

bool Replaces(const LoadedDisc& Disc, const TzqCDBurner& Burner) {
  return Disc.Overwritable && Disc.HoldsFileSystem && !Burner.TestWrite;
}

}  // namespace

LoadedDisc InspectDisc(TzqCDBurner& Burner) {
  LoadedDisc d;
  // The first command after a disc change hears of the change.
  if (!Burner.TestUnitReady(recording::kPollTimeoutMs))
    Burner.TestUnitReady(recording::kPollTimeoutMs);
  d.MediaType = Burner.GetMediaType();
  d.Name = recording::MediaName(d.MediaType);
  d.Present = d.MediaType != mtUnknown || Burner.TestUnitReady(recording::kPollTimeoutMs) ||
              Burner.LastSense[recording::kSenseAsc] != recording::kAscNoMedium;
  const uint16_t profile = burner::CurrentProfile(Burner);
  const burner::TRecording recording = burner::RecordingOf(d.MediaType, profile);
  d.Writable = recording != burner::TRecording::None;
  d.Overwritable = recording == burner::TRecording::Overwritable;
  d.CanSimulate = burner::CanSimulate(d.MediaType, profile);
  // Only a disc recorded that far is asked for the sector (a read past
  // what is recorded would fail, and say so on the log channel).
  uint32_t last = 0, block_length = 0;
  if (d.Overwritable && Burner.ReadCapacity(last, block_length) && last >= kFirstVolumeDescriptor) {
    std::array<uint8_t, 2048> sector{};
    d.HoldsFileSystem = Burner.Read10(kFirstVolumeDescriptor, 1, sector.size(), sector) &&
                        std::memcmp(sector.data() + 1, kStandardId, 5) == 0;
  }
  return d;
}

uint16_t SpeedForMedium(uint32_t X, uint16_t MediaType) {
  if (X == 0 || MediaType < mtDVDROM) return static_cast<uint16_t>(X);
  // N x 1,385 kB/s: the smallest CD x that the drive takes as at least that
  // much (SET CD SPEED sends 177 kB/s an x, and a drive records at the
  // fastest speed it has up to what it is asked).
  return static_cast<uint16_t>((X * kDvdKbpsPerX + recording::kKbpsPerSpeedX - 1) /
                               recording::kKbpsPerSpeedX);
}

namespace {

Refusal CannotContinue(const LoadedDisc& Disc) {
  return Refuse(Category::Job, "cannot-continue",
                "The session cannot be continued on a " + Disc.Name +
                    ": the disc is written from its start, over the files of the session.");
}

}  // namespace

std::optional<Refusal> ContinueDisc(TzqCDBurner& Burner, uint8_t Session) {
  const LoadedDisc disc = InspectDisc(Burner);
  if (disc.Present && disc.Overwritable) return CannotContinue(disc);
  return ImportSession(Burner, Session);
}

Planned<BurnPlan> PlanBurn(TzqCDBurner& Burner, const BurnRequest& Request) {
  using P = Planned<BurnPlan>;
  P out;
  BurnPlan& plan = out.Value;
  plan.ClearArchive = Request.ClearArchive;
  if (auto r = CheckNotEmpty(Burner)) return P::No(*r);
  if (auto r = CheckVolume(Burner.IdVolume, Burner.JolietFileSystem, plan.Warnings))
    return P::No(*r);
  plan.Disc = InspectDisc(Burner);
  if (auto r = CheckWritable(plan.Disc, Burner)) return P::No(*r);
  // The new session starts at sector 0 of an overwritable disc, over the
  // data the imported entries point at.
  if (plan.Disc.Overwritable && HoldsImportedFiles(Burner)) return P::No(CannotContinue(plan.Disc));
  plan.ReplacesDisc = Replaces(plan.Disc, Burner);
  if (auto r = CheckOmissions(Burner, Request.SkipUnadded)) return P::No(*r);
  plan.Omitted = Burner.Omissions();
  if (!Request.LayOut) return out;
  if (auto r = LayOut(Burner, false)) return P::No(*r);
  plan.Sectors = Burner.ImageSectors();
  return out;
}

std::optional<Refusal> CheckImageFile(const std::string& Image) {
  struct stat st {};
  if (::stat(Image.c_str(), &st) != 0)
    return Refuse(Category::Input, "no-such-image", Shown(Image) + ": no such file");
  if (!S_ISREG(st.st_mode))
    return Refuse(Category::Input, "image-not-a-file", Shown(Image) + " is not a file");
  if (st.st_size == 0) return Refuse(Category::Input, "empty-image", Shown(Image) + " is empty");
  return std::nullopt;
}

Planned<BurnPlan> PlanBurnImage(TzqCDBurner& Burner, const std::string& Image) {
  using P = Planned<BurnPlan>;
  P out;
  if (auto r = CheckImageFile(Image)) return P::No(*r);
  struct stat st {};
  ::stat(Image.c_str(), &st);
  out.Value.Disc = InspectDisc(Burner);
  if (auto r = CheckWritable(out.Value.Disc, Burner)) return P::No(*r);
  out.Value.ReplacesDisc = Replaces(out.Value.Disc, Burner);
  out.Value.Sectors = (st.st_size + kSectorSize - 1) / kSectorSize;
  return out;
}

std::string ReplaceNote(const BurnPlan& Plan) {
  return "the " + Plan.Disc.Name + " is overwritten from its start: what it holds is replaced";
}

Outcome FinishBurn(TzqCDBurner& Burner, const BurnPlan& Plan, const std::string& Error) {
  Outcome o = WriteOutcome(Burner, Error, true);
  if (o.Ok() && Plan.ClearArchive && !Burner.TestWrite) Burner.ClearArchiveBits();
  return o;
}

Planned<ErasePlan> PlanErase(TzqCDBurner& Burner) {
  using P = Planned<ErasePlan>;
  P out;
  out.Value.Disc = InspectDisc(Burner);
  if (!out.Value.Disc.Present)
    return P::No(Refuse(Category::Job, "no-disc", recording::msg::kNoDisc));
  const uint16_t media = Burner.GetMediaType();
  if (!Burner.IsErasable() && media != mtDVDRAM)
    return P::No(Refuse(Category::Job, "not-rewritable", kNotRewritable));
  out.Value.Formats = media == mtDVDRAM || media == mtDVDPRW;
  return out;
}

Outcome FinishErase(TzqCDBurner& Burner, const ErasePlan& Plan, bool WithError) {
  if (!WithError) return Succeeded();
  Burner.JobFailure = TJobFailure{};
  Burner.JobPhase = Plan.Formats ? TJobPhase::Formatting : TJobPhase::Erasing;
  return WriteOutcome(Burner, kEraseFailed, true);
}

std::optional<Refusal> ImportSession(TzqCDBurner& Burner, uint8_t Session) {
  Burner.ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
  // The import says why it found nothing on the log channel.
  TOnDebugMsg saved = Burner.OnDebugMessage;
  std::string reason;
  Burner.OnDebugMessage = [&](TSCSIDevice* Sender, const std::string& Text, uint8_t Type) {
    if (saved) saved(Sender, Text, Type);
    if (Type != burner::msg::kTypeProgress) reason = Text;
  };
  const bool found = Burner.ImportSession(static_cast<int8_t>(Session), Burner.RootDir());
  Burner.OnDebugMessage = saved;
  if (found) return std::nullopt;
  return Refuse(Category::Job, "no-session", reason.empty() ? "the disc holds no session" : reason);
}

std::string UnreadSummary(size_t Count) {
  return Count == 1 ? "1 entry of the disc could not be read"
                    : std::to_string(Count) + " entries of the disc could not be read";
}

}  // namespace jobs
