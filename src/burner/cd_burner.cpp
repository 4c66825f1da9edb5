// The component as a whole and the compilation tables: construction,
// properties, the directory and file tables with their limits, the root,
// lookups by path, and emptying the compilation.

#include "burner/cd_burner.h"

#include <algorithm>

#include "burner/burner_messages.h"
#include "burner/name_rules.h"

TzqCDBurner::TzqCDBurner() {
  WritePostGap = true;
  ClearAll(kDefaultMaxFiles, kDefaultMaxDirs);
  SetCacheSize(kDefaultCacheSize);
  JolietFileSystem = true;
  FinalizeTrack = true;
  UnderrunProtection = true;
}

TzqCDBurner::~TzqCDBurner() {
  HeaderStream.Clear();
  FreeAll();
}

void TzqCDBurner::SetCacheSize(int32_t Value) {
  cache_size_ = Value < kMinCacheSize ? kMinCacheSize : Value / 2048 * 2048;
}

const std::array<uint8_t, 2048>& TzqCDBurner::ZeroSector() {
  static const std::array<uint8_t, 2048> zero{};
  return zero;
}

int64_t TzqCDBurner::ImageSectors() const {
  if (WritePostGap && SessionSectors < kPostGapSectors) return kPostGapSectors;
  return SessionSectors;
}

bool TzqCDBurner::ClearAll(int32_t MaxFiles, int32_t MaxDirs) {
  time_zone_offset_ = platform::TimeZoneOffsetFromBias(platform::StandardTimeZoneBias());
  HeaderStream.Clear();
  FreeAll();
  // The root takes a slot of its own: a table without room for it would
  // leave a compilation with no root at all.
  max_dirs_ = std::max<int32_t>(MaxDirs, 1);
  max_files_ = std::max<int32_t>(MaxFiles, 0);
  constexpr int32_t kReserveLimit = 1 << 20;
  dir_table_.reserve(static_cast<size_t>(std::min(max_dirs_, kReserveLimit)));
  iso_dir_order_.reserve(dir_table_.capacity());
  joliet_dir_order_.reserve(dir_table_.capacity());
  file_table_.reserve(static_cast<size_t>(std::min(max_files_, kReserveLimit)));
  total_added_bytes_ = 0;
  omissions_.clear();

  root_ = NewDirEntry();
  root_->FirstChild = nullptr;
  root_->Path = "\\";
  root_->ShortName = "CD_ROOT";
  root_->LongName = "CD Root Directory";
  root_->Parent = root_;
  return true;
}

void TzqCDBurner::FreeAll() {
  // Removed records still sit in the tables until compacted, so freeing the
  // tables frees them too.
  for (PDirEntry d : dir_table_) delete d;
  for (PFileEntry f : file_table_) delete f;
  std::vector<PDirEntry>().swap(dir_table_);
  std::vector<PDirEntry>().swap(iso_dir_order_);
  std::vector<PDirEntry>().swap(joliet_dir_order_);
  std::vector<PFileEntry>().swap(file_table_);
  dirs_by_path_.clear();
  removed_dirs_ = 0;
  removed_files_ = 0;
  live_dirs_ = 0;
  live_files_ = 0;
  root_ = nullptr;
}

PDirEntry TzqCDBurner::NewDirEntry() {
  if (live_dirs_ >= max_dirs_) {
    DebugMsg(std::string(burner::msg::kProgressPrefix) +
                 burner::msg::Fill(burner::msg::kMaxDirectories, {std::to_string(max_dirs_)}),
             burner::msg::kTypeTableFull);
    return nullptr;
  }
  auto* d = new TDEntry();
  dir_table_.push_back(d);
  iso_dir_order_.push_back(d);
  joliet_dir_order_.push_back(d);
  ++live_dirs_;
  return d;
}

PFileEntry TzqCDBurner::NewFileEntry() {
  if (live_files_ >= max_files_) {
    DebugMsg(burner::msg::Fill(burner::msg::kMaxFiles, {std::to_string(max_files_)}),
             burner::msg::kTypeTableFull);
    return nullptr;
  }
  auto* f = new TFEntry();
  file_table_.push_back(f);
  ++live_files_;
  return f;
}

void TzqCDBurner::Compact() const {
  const auto removed_dir = [](PDirEntry d) { return d->Removed; };
  if (removed_files_ > 0) {
    std::erase_if(file_table_, [](PFileEntry f) {
      if (!f->Removed) return false;
      delete f;
      return true;
    });
    removed_files_ = 0;
  }
  if (removed_dirs_ > 0) {
    std::erase_if(iso_dir_order_, removed_dir);
    std::erase_if(joliet_dir_order_, removed_dir);
    std::erase_if(dir_table_, [](PDirEntry d) {
      if (!d->Removed) return false;
      delete d;
      return true;
    });
    removed_dirs_ = 0;
  }
}

const std::vector<PDirEntry>& TzqCDBurner::DirTable() const {
  Compact();
  return dir_table_;
}

std::vector<PDirEntry>& TzqCDBurner::IsoDirOrder() {
  Compact();
  return iso_dir_order_;
}

std::vector<PDirEntry>& TzqCDBurner::JolietDirOrder() {
  Compact();
  return joliet_dir_order_;
}

const std::vector<PFileEntry>& TzqCDBurner::FileTable() const {
  Compact();
  return file_table_;
}

PDirEntry TzqCDBurner::FindDir(const std::string& Path) const {
  if (Path.empty() || Path == "\\") return root_;
  std::string key = burner::UpperAscii(Path);
  if (key.back() == '\\') key.pop_back();
  // Paths are unique among folders, so the map finds what a scan of the
  // directory table from slot 1 would find first.
  const auto it = dirs_by_path_.find(key);
  return it == dirs_by_path_.end() ? nullptr : it->second;
}

void TzqCDBurner::IndexName(PFileEntry Entry) {
  Entry->Owner->Names.Insert(burner::NameKey(Entry->LongName), Entry);
}

void TzqCDBurner::UnindexName(PFileEntry Entry) {
  Entry->Owner->Names.Erase(burner::NameKey(Entry->LongName), Entry);
}

PFileEntry TzqCDBurner::FindEntry(PDirEntry Dir, const std::string& LongName) const {
  if (Dir == nullptr || Dir->Removed) return nullptr;
  PFileEntry found = nullptr;
  Dir->Names.ForEach(burner::NameKey(LongName), [&](PFileEntry e) {
    if ((found == nullptr || e->Order < found->Order) &&
        burner::SameUpperAscii(e->LongName, LongName))
      found = e;
  });
  return found;
}

PFileEntry TzqCDBurner::FindEntryByPath(const std::string& DirPath,
                                        const std::string& LongName) const {
  return FindEntry(FindDir(DirPath), LongName);
}

void TzqCDBurner::LinkEntry(PDirEntry Dir, PFileEntry Entry) {
  Entry->Owner = Dir;
  Entry->Next = nullptr;
  Entry->Prev = Dir->LastChild;
  if (Dir->LastChild != nullptr)
    Dir->LastChild->Next = Entry;
  else
    Dir->FirstChild = Entry;
  Dir->LastChild = Entry;
  Entry->Order = ++next_order_;
  IndexName(Entry);
}

void TzqCDBurner::UnlinkEntry(PFileEntry Entry) {
  PDirEntry dir = Entry->Owner;
  UnindexName(Entry);
  if (Entry->Prev != nullptr)
    Entry->Prev->Next = Entry->Next;
  else
    dir->FirstChild = Entry->Next;
  if (Entry->Next != nullptr)
    Entry->Next->Prev = Entry->Prev;
  else
    dir->LastChild = Entry->Prev;
  Entry->Prev = nullptr;
  Entry->Next = nullptr;
}

void TzqCDBurner::DiscardFile(PFileEntry Entry) {
  Entry->Removed = true;
  ++removed_files_;
  --live_files_;
}

void TzqCDBurner::DiscardDir(PDirEntry Dir) {
  const auto it = dirs_by_path_.find(Dir->Path);
  if (it != dirs_by_path_.end() && it->second == Dir) dirs_by_path_.erase(it);
  Dir->Names.Clear();
  Dir->FirstChild = nullptr;
  Dir->LastChild = nullptr;
  Dir->Removed = true;
  ++removed_dirs_;
  --live_dirs_;
}

void TzqCDBurner::Report(const char* Format, const std::string& A, const std::string& B) {
  DebugMsg(burner::msg::Fill(Format, {A, B}), burner::msg::kTypeOperation);
}

void TzqCDBurner::Omit(TOmissionReason Reason, const char* Format, const std::string& A,
                       const std::string& B) {
  std::string text = burner::msg::Fill(Format, {A, B});
  DebugMsg(text, burner::msg::kTypeOperation);
  omissions_.push_back(TOmission{A, Reason, std::move(text)});
}

void TzqCDBurner::NoteOmission(TOmissionReason Reason, const std::string& Path,
                               const std::string& Message) {
  DebugMsg(Message, burner::msg::kTypeOperation);
  omissions_.push_back(TOmission{Path, Reason, Message});
}

const char* OmissionReasonName(TOmissionReason Reason) {
  switch (Reason) {
    case TOmissionReason::Limit:
      return "limit";
    case TOmissionReason::TooLarge:
      return "too-large";
    case TOmissionReason::NameTooLong:
      return "name-too-long";
    case TOmissionReason::Duplicate:
      return "duplicate";
    case TOmissionReason::Unreadable:
      return "unreadable";
    case TOmissionReason::NotRegular:
      return "not-regular";
    case TOmissionReason::LinkLoop:
      return "link-loop";
    case TOmissionReason::Skipped:
      return "skipped";
    case TOmissionReason::Damaged:
      return "damaged";
  }
  return "skipped";
}
