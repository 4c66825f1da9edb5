#include "cli/cli_compilation.h"

#include "burner/cd_burner.h"
#include "cli/cli_frame.h"
#include "cli/cli_options.h"
#include "cli/command.h"

namespace cli {

void AddCompilationOptions(Options& Opts, const char* DefaultVolume) {
  Opts.Add("--volume", "NAME",
           std::string("volume label, at most 32 characters (default: the settings file's, else ") +
               DefaultVolume + ")")
      .Add("--no-joliet", "", "no Joliet names: ISO 9660 names only")
      .Add("--archive-only", "", "add only files whose archive attribute is set; clear it after")
      .Add("--cache-size", "BYTES", "read-ahead cache size (K, M or G suffix allowed)")
      .Add("--skip-unadded", "",
           "go on although some entries could not be added (each is reported)");
}

std::optional<int> ReadCompilationArgs(const Frame& F, const platform::ProgramSettings& Settings,
                                       const std::string& DefaultVolume, CompilationArgs& Out) {
  const Options& o = F.Opts();
  Out.CacheSize = Settings.CacheSize;
  if (const auto text = o.Value("--cache-size")) {
    const auto size = ParseSize(*text, INT32_MAX);
    if (!size) return F.Usage("invalid --cache-size " + *text + " (a size in bytes, K, M or G)");
    Out.CacheSize = static_cast<int32_t>(*size);
  }
  Out.Volume = o.Value("--volume").value_or(Settings.VolumeLable);
  if (Out.Volume.empty()) Out.Volume = DefaultVolume;
  Out.Joliet = !o.Has("--no-joliet");
  Out.ArchiveOnly = o.Has("--archive-only") || Settings.ArchiveFiles;
  Out.SkipUnadded = o.Has("--skip-unadded");
  auto sources = jobs::ParseSources(o.Positional());
  if (!sources) return F.Refuse(*sources.Refused);
  Out.Sources = std::move(sources.Value);
  return std::nullopt;
}

void BuildCompilation(const Frame& F, TzqCDBurner& Burner, const CompilationArgs& Args) {
  Burner.StripSourcePath = true;
  {
    ProgressDisplay adding(F.Progress(), "Adding");
    jobs::AddSources(Burner, Args.Sources, Args.ArchiveOnly,
                     [&adding](int64_t Count) { adding.ShowCount("files", Count); });
  }
  Burner.IdVolume = Args.Volume;
  Burner.JolietFileSystem = Args.Joliet;
  Burner.SetCacheSize(Args.CacheSize);
}

std::string AdviceFor(const std::string& Code) {
  if (Code == "output-exists") return "--force replaces it";
  if (Code == "omissions") return "--skip-unadded goes on without them";
  return std::string();
}

}  // namespace cli
