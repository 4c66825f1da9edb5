// Session import: finding a session's volume descriptors and walking its
// Joliet (or ISO 9660) hierarchy into the compilation, every file entered
// as imported with its extent on the disc.
//
// A disc is outside input. The walk keeps its own limits: every directory
// sector is read at most once (a folder whose extent points back into the
// tree is a loop, not a reason to walk for ever), folders nest at most
// kMaxImportDepth deep, each folder tolerates a bounded number of bad
// records, and the walk stops once the compilation's tables are full.

#include <array>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "burner/burner_messages.h"
#include "burner/cd_burner.h"
#include "burner/disc_sectors.h"
#include "burner/import_messages.h"
#include "burner/iso_read.h"
#include "burner/name_rules.h"
#include "platform/file_attr.h"
#include "platform/utf8.h"

namespace {

namespace msg = burner::msg;

constexpr uint8_t kTocFormatTracks = 0;
constexpr uint16_t kTocLength = 254;
constexpr size_t kTocHeader = 4;
constexpr size_t kTocDescriptor = 8;
constexpr size_t kTocDescriptorTrack = 2;
constexpr size_t kTocDescriptorAddress = 4;
constexpr uint8_t kLeadOutTrack = 0xAA;
constexpr uint8_t kLastSession = 255;
constexpr size_t kMaxBadRecordsPerFolder = 16;

size_t Be16(std::span<const uint8_t> b, size_t at) {
  return static_cast<size_t>(b[at]) << 8 | b[at + 1];
}

uint32_t Be32(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint32_t>(b[at]) << 24 | static_cast<uint32_t>(b[at + 1]) << 16 |
         static_cast<uint32_t>(b[at + 2]) << 8 | static_cast<uint32_t>(b[at + 3]);
}

// A folder's path as the log shows it: the names as the disc spells them.
std::string Folder(const TDEntry* Dir) {
  std::vector<const std::string*> names;
  for (const TDEntry* d = Dir; d->Parent != d && d->Entry != nullptr; d = d->Parent)
    names.push_back(&d->Entry->LongName);
  if (names.empty()) return "\\";
  std::string out;
  for (auto it = names.rbegin(); it != names.rend(); ++it) out += "\\" + **it;
  return platform::SanitizeUtf8(out);
}

// One folder being read: where its extent continues, the sector in hand
// and the position in it.
struct Frame {
  PDirEntry dir = nullptr;
  uint32_t sector = 0;     // the sector in hand (or the next to read)
  uint32_t remaining = 0;  // sectors of the extent from `sector` on
  bool loaded = false;
  size_t offset = 0;
  size_t bad_records = 0;
  std::string several_extents;  // a file whose further extents are being passed over
  std::array<uint8_t, iso::kSectorBytes> bytes{};
};

class DirectoryWalk {
 public:
  DirectoryWalk(TzqCDBurner& Burner, burner::DiscSectors& Sectors, bool Joliet)
      : b_(Burner), sectors_(Sectors), joliet_(Joliet) {}

  // Reads the folder at Extent (Size bytes) into Dir, and everything below
  // it, depth first. True when the folder's extent held any record.
  bool Run(uint32_t Extent, uint32_t Size, PDirEntry Dir);

 private:
  bool Begin(uint32_t Extent, uint32_t Size, PDirEntry Dir);
  // Takes the records of the top frame's sector until a subfolder is
  // entered (it becomes the top frame) or the sector ends.
  void Step();
  void TakeRecord(Frame& f, const iso::DirRecordView& r);
  void TakeFolder(Frame& f, const iso::DirRecordView& r, TSearchRec& rec);
  void TakeFile(Frame& f, const iso::DirRecordView& r, TSearchRec& rec);
  // What could not be read is reported and recorded as left out.
  void Omit(TOmissionReason Reason, const std::string& Path, const char* Format,
            std::initializer_list<std::string_view> Args) {
    b_.NoteOmission(Reason, Path, msg::Fill(Format, Args));
  }
  bool TablesFull() const {
    return b_.FileCount() >= b_.MaxFiles() || b_.DirCount() >= b_.MaxDirs();
  }

  TzqCDBurner& b_;
  burner::DiscSectors& sectors_;
  const bool joliet_;
  std::vector<Frame> stack_;
  std::unordered_set<uint32_t> seen_;  // directory sectors read so far
  bool stopped_ = false;
  bool found_ = false;
};

bool DirectoryWalk::Begin(uint32_t Extent, uint32_t Size, PDirEntry Dir) {
  if (seen_.contains(Extent)) return false;
  Frame& f = stack_.emplace_back();
  f.dir = Dir;
  f.sector = Extent;
  // At least the first sector, as a folder always has its "." record.
  const uint64_t sectors = (uint64_t{Size} + iso::kSectorBytes - 1) / iso::kSectorBytes;
  f.remaining = static_cast<uint32_t>(std::max<uint64_t>(sectors, 1));
  return true;
}

bool DirectoryWalk::Run(uint32_t Extent, uint32_t Size, PDirEntry Dir) {
  stack_.reserve(TzqCDBurner::kMaxImportDepth + 1);
  if (!Begin(Extent, Size, Dir)) return false;
  while (!stack_.empty() && !stopped_) Step();
  return found_;
}

void DirectoryWalk::Step() {
  Frame& f = stack_.back();
  if (!f.loaded) {
    if (f.remaining == 0 || seen_.contains(f.sector)) {
      // The extent ends, or runs into sectors another folder already had.
      if (f.remaining != 0)
        Omit(TOmissionReason::Damaged, Folder(f.dir), msg::kDirectoryLoop,
             {std::to_string(f.sector), Folder(f.dir)});
      stack_.pop_back();
      return;
    }
    seen_.insert(f.sector);
    if (!sectors_.Read(f.sector, f.bytes)) {
      Omit(TOmissionReason::Unreadable, Folder(f.dir), msg::kDirectoryUnreadable,
           {std::to_string(f.sector), Folder(f.dir)});
      stack_.pop_back();
      return;
    }
    f.loaded = true;
    f.offset = 0;
  }
  const size_t depth = stack_.size();
  while (f.loaded && stack_.size() == depth && !stopped_) {
    const iso::DirRecordView r = iso::ReadDirRecordAt(f.bytes, f.offset, !joliet_);
    switch (r.Kind) {
      case iso::RecordKind::EndOfSector:
        f.loaded = false;
        break;
      case iso::RecordKind::XaBlock:
        f.offset += r.Step;
        break;
      case iso::RecordKind::Bad:
        Omit(TOmissionReason::Damaged, Folder(f.dir), msg::kBadRecord,
             {std::to_string(f.sector), r.Problem, Folder(f.dir)});
        if (++f.bad_records > kMaxBadRecordsPerFolder) {
          Omit(TOmissionReason::Damaged, Folder(f.dir), msg::kTooManyBadRecords, {Folder(f.dir)});
          stack_.pop_back();
          return;
        }
        if (r.Step == 0) f.loaded = false;
        f.offset += r.Step;
        break;
      case iso::RecordKind::Record:
        f.offset += r.Step;
        if (stack_.size() == 1) found_ = true;
        TakeRecord(f, r);
        break;
    }
    if (f.offset >= iso::kSectorBytes) f.loaded = false;
  }
  // `f` may have moved if a subfolder was pushed; find the frame again.
  Frame& same = stack_[depth - 1];
  if (!same.loaded && !stopped_) {
    ++same.sector;
    --same.remaining;
  }
}

void DirectoryWalk::TakeRecord(Frame& f, const iso::DirRecordView& r) {
  if (iso::IsDotIdentifier(r.Identifier)) return;
  const size_t limit = joliet_ ? iso::kJolietIdentifierLimit : iso::kIsoIdentifierLimit;
  if (r.Identifier.size() >= limit) {
    const std::string name = iso::ShownIdentifier(r.Identifier, joliet_);
    b_.NoteOmission(TOmissionReason::NameTooLong,
                    Folder(f.dir) + (f.dir->Parent == f.dir ? "" : "\\") + name,
                    std::string(msg::kFileNameTooLong) + "\n\r" + name);
    return;
  }
  // Resource forks and the like share their file's name; the file is the
  // record without the flag.
  if (r.Flags & iso::kFlagAssociated) return;

  TSearchRec rec;
  rec.Name =
      joliet_ ? iso::JolietIdentifierName(r.Identifier) : iso::IsoIdentifierName(r.Identifier);
  burner::MakeCompilationName(rec.Name);
  if (rec.Name.empty()) rec.Name = "_";
  rec.AlternateName = burner::FolderShortName(rec.Name);
  rec.Time = static_cast<int32_t>(iso::RecordDateToDos(r.Date));
  rec.Size = static_cast<int32_t>(r.DataLength);
  rec.SizeLow = r.DataLength;
  rec.SizeHigh = 0;
  rec.Attr = 0;
  if (r.Flags & iso::kFlagHidden) rec.Attr |= platform::faHidden;
  if (r.Flags & iso::kFlagDirectory) rec.Attr |= platform::faDirectory;
  if (rec.Attr & platform::faDirectory) {
    rec.Kind = TSearchKind::Directory;
    TakeFolder(f, r, rec);
  } else {
    TakeFile(f, r, rec);
  }
}

void DirectoryWalk::TakeFolder(Frame& f, const iso::DirRecordView& r, TSearchRec& rec) {
  const std::string shown = Folder(f.dir) + (f.dir->Parent == f.dir ? "" : "\\") + rec.Name;
  if (stack_.size() > TzqCDBurner::kMaxImportDepth) {
    Omit(TOmissionReason::Limit, shown, msg::kTooDeep,
         {std::to_string(TzqCDBurner::kMaxImportDepth), shown});
    return;
  }
  if (seen_.contains(r.Extent)) {
    Omit(TOmissionReason::Damaged, shown, msg::kDirectoryLoop, {std::to_string(r.Extent), shown});
    return;
  }
  PDirEntry dir = b_.CreateDir(f.dir, rec);
  if (dir == nullptr) {
    // The component said why; a full table ends the import.
    if (TablesFull()) {
      Omit(TOmissionReason::Limit, shown, msg::kImportStopped, {shown});
      stopped_ = true;
    }
    return;
  }
  Begin(r.Extent, r.DataLength, dir);
}

void DirectoryWalk::TakeFile(Frame& f, const iso::DirRecordView& r, TSearchRec& rec) {
  const std::string shown = Folder(f.dir) + (f.dir->Parent == f.dir ? "" : "\\") + rec.Name;
  // A file of several extents (4 GiB and more) cannot be held by one entry:
  // taking its first extent alone would make a shorter file of it.
  const bool more_follow = (r.Flags & iso::kFlagMultiExtent) != 0;
  if (!f.several_extents.empty()) {
    const bool same = f.several_extents == rec.Name;
    if (same && !more_follow) f.several_extents.clear();
    if (same) return;
    f.several_extents.clear();
  }
  if (more_follow) {
    Omit(TOmissionReason::TooLarge, shown, msg::kSeveralExtents, {shown});
    f.several_extents = rec.Name;
    return;
  }
  const uint64_t sectors = (uint64_t{r.DataLength} + iso::kSectorBytes - 1) / iso::kSectorBytes;
  const uint32_t end = sectors_.End();
  const bool outside = r.Extent > static_cast<uint32_t>(INT32_MAX) ||
                       (r.Extent == 0 && r.DataLength != 0) ||
                       (end != 0 && r.DataLength != 0 && uint64_t{r.Extent} + sectors > end);
  if (outside) {
    Omit(TOmissionReason::Damaged, shown, msg::kDataOutsideDisc, {shown});
    return;
  }
  if (b_.InsertFile(f.dir, rec, false, static_cast<int32_t>(r.Extent), std::string()) == 0 &&
      b_.FileCount() >= b_.MaxFiles()) {
    Omit(TOmissionReason::Limit, shown, msg::kImportStopped, {shown});
    stopped_ = true;
  }
}

// The first sector past the disc's data as far as the table of contents
// (its lead-out) and READ CAPACITY tell; 0 when neither does.
uint32_t DiscEnd(TzqCDBurner& Burner, std::span<const uint8_t> Toc) {
  uint32_t end = 0;
  const size_t length = std::min<size_t>(Toc.size(), Be16(Toc, 0) + 2);
  for (size_t at = kTocHeader; at + kTocDescriptor <= length; at += kTocDescriptor)
    if (Toc[at + kTocDescriptorTrack] == kLeadOutTrack)
      end = std::max(end, Be32(Toc, at + kTocDescriptorAddress));
  uint32_t last = 0, block = 0;
  if (Burner.ReadCapacity(last, block) && block == iso::kSectorBytes && last != 0 &&
      last < UINT32_MAX)
    end = std::max(end, last + 1);
  return end;
}

bool WalkFrom(TzqCDBurner& Burner, uint32_t Extent, uint32_t Size, PDirEntry Dir, bool Joliet,
              uint32_t End) {
  if (Dir == nullptr) Dir = Burner.RootDir();
  burner::DiscSectors sectors(Burner, End);
  DirectoryWalk walk(Burner, sectors, Joliet);
  return walk.Run(Extent, Size, Dir);
}

}  // namespace

bool TzqCDBurner::ReadJolietDir(uint32_t Sector, uint32_t Size, PDirEntry Dir) {
  return WalkFrom(*this, Sector, Size, Dir, true, 0);
}

bool TzqCDBurner::ReadIsoDir(uint32_t Sector, uint32_t Size, PDirEntry Dir) {
  return WalkFrom(*this, Sector, Size, Dir, false, 0);
}

bool TzqCDBurner::ImportSession(int8_t SessionNo, PDirEntry Dir) {
  if (Dir == nullptr) Dir = RootDir();
  const uint8_t last = GetLastSession();
  if (last == 0) return false;
  // 255 (-1) and any number past the last session mean the last one.
  uint8_t session = static_cast<uint8_t>(SessionNo);
  if (session == kLastSession || session > last) session = last;
  if (session == 0) return false;
  const std::string number = std::to_string(session);
  DebugMsg(std::string(msg::kProgressPrefix) + msg::Fill(msg::kImportingSession, {number}),
           msg::kTypeProgress);

  // The session's first track carries the session's number. Its start is
  // read as a block address: minutes, seconds and frames stop at 255
  // minutes, short of the later sessions of a DVD.
  std::array<uint8_t, kTocLength> toc{};
  const bool have_toc = ReadTOC(kTocFormatTracks, toc, 0, false, session, kTocLength);
  const size_t toc_length = Be16(toc, 0) + 2;
  const uint32_t start = Be32(toc, kTocHeader + kTocDescriptorAddress);
  constexpr uint32_t kLargestStart =
      static_cast<uint32_t>(INT32_MAX) - iso::kDescriptorSetOffset - iso::kDescriptorScanSectors;
  if (!have_toc || toc_length < kTocHeader + kTocDescriptor || start > kLargestStart) {
    DebugMsg(std::string(msg::kProgressPrefix) + msg::kImportError + " # " + number,
             msg::kTypeOperation);
    return false;
  }
  const uint32_t end = DiscEnd(*this, toc);

  std::array<uint8_t, iso::kSectorBytes> sector{};
  const auto scan = [&](iso::DescriptorKind Wanted, iso::DescriptorInfo& Found) {
    for (uint32_t i = 0; i < iso::kDescriptorScanSectors; ++i) {
      sector.fill(0);
      // An unreadable sector is one without a descriptor.
      if (!Read10(start + iso::kDescriptorSetOffset + i, 1, iso::kSectorBytes, sector))
        sector.fill(0);
      const iso::DescriptorInfo d = iso::ReadDescriptor(sector);
      if (d.Kind == Wanted) {
        Found = d;
        return true;
      }
      if (d.Kind == iso::DescriptorKind::Terminator) return false;
    }
    return false;
  };
  iso::DescriptorInfo root;
  if (scan(iso::DescriptorKind::Supplementary, root)) {
    WalkFrom(*this, root.RootExtent, root.RootSize, Dir, true, end);
    return true;
  }
  if (scan(iso::DescriptorKind::Primary, root)) {
    WalkFrom(*this, root.RootExtent, root.RootSize, Dir, false, end);
    return true;
  }
  DebugMsg(std::string(msg::kProgressPrefix) + msg::Fill(msg::kIsoImageNotFound, {number}),
           msg::kTypeOperation);
  return false;
}
