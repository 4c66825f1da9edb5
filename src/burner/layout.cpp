// The image layout: where the session begins, the path-table order and the
// folders' numbers, the size and place of every structure, the place of
// every file's data, and the session's length. The bytes of the header are
// written by header_writer.cpp from what is decided here.

#include <algorithm>
#include <limits>
#include <unordered_map>
#include <unordered_set>

#include "burner/burner_messages.h"
#include "burner/cd_burner.h"
#include "burner/iso_dir_record.h"
#include "burner/iso_names.h"
#include "burner/iso_path_table.h"
#include "burner/layout_records.h"
#include "burner/name_rules.h"
#include "platform/utf8.h"

namespace {

namespace msg = burner::msg;

constexpr int64_t kSystemAreaBytes = 16 * kSectorSize;
// The first file of a first session never starts below this sector.
constexpr int32_t kMinFirstFileSector = 150;
// An address above this, read as unsigned, is a negative one.
constexpr uint32_t kHighestSessionStart = 0xFF000000u;
// Parent numbers in the path tables are 16-bit.
constexpr size_t kMaxNumberedDirs = 65535;

// Where an entry stands, for messages: its compilation path.
std::string EntryPath(const TDEntry* Dir, const TFEntry* Entry) {
  return (Dir->Path == "\\" ? std::string() : Dir->Path) + "\\" +
         burner::iso_layout::JolietName(Entry);
}

}  // namespace

bool TzqCDBurner::Prepare(bool ImageOnly, PDirEntry Dir) {
  (void)Dir;
  DoDebug = false;
  // A header left from an earlier Prepare that no job consumed would
  // otherwise stand in front of this one.
  HeaderStream.Clear();

  SessionStart = ImageOnly ? 0 : NextSessionStart();
  if (static_cast<uint32_t>(SessionStart) > kHighestSessionStart) SessionStart = 0;

  const std::vector<PDirEntry>& dirs = DirTable();
  MakeIsoNamesUnique(dirs);
  MakeJolietNames(dirs);
  if (!CheckNames(dirs)) return false;
  OrderDirectories(dirs);
  const bool joliet = JolietFileSystem;

  // Path table sizes.
  IsoPathSize = static_cast<int64_t>(iso::kPtRootRecordSize);
  JolietPathSize = static_cast<int64_t>(iso::kPtRootRecordSize);
  for (PDirEntry d : dirs) {
    if (d == root_) continue;
    IsoPathSize += static_cast<int64_t>(iso::PathRecordLength(d->ShortName.size()));
    JolietPathSize += static_cast<int64_t>(
        iso::PathRecordLength(2 * iso::Utf16Units(burner::iso_layout::JolietName(d))));
  }

  // Directory extents.
  for (PDirEntry d : dirs) {
    d->IsoSize = burner::iso_layout::ExtentSize(d, burner::iso_layout::Hierarchy::Iso);
    d->JolietSize =
        joliet ? burner::iso_layout::ExtentSize(d, burner::iso_layout::Hierarchy::Joliet) : 0;
  }

  // Descriptors, tables and directories, one after the other.
  int64_t p = static_cast<int64_t>(SessionStart) * kSectorSize + kSystemAreaBytes;
  const auto take = [&p](int64_t Bytes) {
    const auto sector = static_cast<int32_t>(p / kSectorSize);
    p += RoundUpToSector(Bytes);
    return sector;
  };
  PvdSector = take(kSectorSize);
  SvdSector = joliet ? take(kSectorSize) : 0;
  TermSector = take(kSectorSize);
  IsoPathLSector = take(IsoPathSize);
  IsoPathMSector = take(IsoPathSize);
  JolietPathLSector = joliet ? take(JolietPathSize) : 0;
  JolietPathMSector = joliet ? take(JolietPathSize) : 0;
  IsoDirsSector = static_cast<int32_t>(p / kSectorSize);
  int64_t relative = 0;
  for (PDirEntry d : dirs) {
    d->IsoSector = static_cast<int32_t>(relative);
    relative += d->IsoSize / kSectorSize;
  }
  p += relative * kSectorSize;
  JolietDirsSector = 0;
  relative = 0;
  if (joliet) {
    JolietDirsSector = static_cast<int32_t>(p / kSectorSize);
    for (PDirEntry d : dirs) {
      d->JolietSector = static_cast<int32_t>(relative);
      relative += d->JolietSize / kSectorSize;
    }
    p += relative * kSectorSize;
  } else {
    for (PDirEntry d : dirs) d->JolietSector = 0;
  }
  constexpr int64_t kMinFirstFileByte = kMinFirstFileSector * kSectorSize;
  HeaderPad = p < kMinFirstFileByte ? kMinFirstFileByte - p : 0;
  FirstFileSector = static_cast<int32_t>((p + HeaderPad) / kSectorSize);

  // Files, back to back in table order.
  FileSectors = 0;
  for (PFileEntry f : FileTable()) {
    if (f->Imported != 0) continue;
    if (IsFolderEntry(f)) {
      f->IsoSector = f->Dir->IsoSector;
      f->JolietSector = f->Dir->JolietSector;
      f->Size = f->Dir->IsoSize;
      f->JolietSize = f->Dir->JolietSize;
    } else if (f->Size <= 0) {
      f->IsoSector = 0;
      f->JolietSector = 0;
      f->JolietSize = 0;
    } else {
      f->JolietSize = f->Size;
      f->IsoSector = static_cast<int32_t>(std::min<int64_t>(FileSectors, INT32_MAX));
      f->JolietSector = f->IsoSector;
      FileSectors += RoundUpToSector(f->Size) / kSectorSize;
    }
  }
  // Sector numbers are 32-bit in every structure that names them.
  const int64_t end = static_cast<int64_t>(FirstFileSector) + FileSectors;
  if (end > std::numeric_limits<int32_t>::max()) {
    DebugMsg(msg::Fill(msg::kImageTooLarge, {std::to_string(end)}), msg::kTypeOperation);
    return false;
  }
  SessionEnd = static_cast<int32_t>(end);
  SessionSectors = static_cast<int64_t>(SessionEnd) - SessionStart;

  WriteHeader(dirs, platform::Now());
  SessionSectors = static_cast<int64_t>(SessionEnd) - SessionStart;
  DoDebug = true;
  return true;
}

// Two entries of one folder with the same ISO name would leave one of them
// unreachable wherever the Joliet names are not read. Folder short names
// are cut to 13 characters, 8.3 names come from different source folders,
// renames and imports bring names of their own: the later entries of a
// name get a numbered one. The new name is kept in the entry (and, for a
// folder, in its directory entry), so that the next layout and what the
// compilation shows agree with the image.
void TzqCDBurner::MakeIsoNamesUnique(const std::vector<PDirEntry>& Dirs) {
  std::unordered_multiset<std::string> all;
  std::unordered_set<std::string> taken;
  for (PDirEntry d : Dirs) {
    all.clear();
    bool clash = false;
    for (PFileEntry e = d->FirstChild; e != nullptr; e = e->Next) {
      const std::string key(iso::IsoNameKey(burner::iso_layout::IsoName(e), !IsFolderEntry(e)));
      if (all.count(key) != 0) clash = true;
      all.insert(key);
    }
    if (!clash) continue;
    taken.clear();
    for (PFileEntry e = d->FirstChild; e != nullptr; e = e->Next) {
      const bool file = !IsFolderEntry(e);
      const std::string& name = burner::iso_layout::IsoName(e);
      std::string key(iso::IsoNameKey(name, file));
      if (taken.insert(key).second) continue;
      std::string numbered;
      for (unsigned k = 2;; ++k) {
        numbered = iso::NumberedName(name, file, k);
        key = iso::IsoNameKey(numbered, file);
        if (all.count(key) == 0 && taken.count(key) == 0) break;
      }
      taken.insert(key);
      e->ShortName = numbered;
      if (!file) e->Dir->ShortName = std::move(numbered);
    }
  }
}

namespace {

// Characters a Joliet name may not hold: the controls and * / : ; ? \.
bool JolietForbidden(char32_t C) {
  return C < 0x20 || C == '*' || C == '/' || C == ':' || C == ';' || C == '?' || C == '\\';
}

std::string JolietSafe(const std::string& Name) {
  std::string out;
  out.reserve(Name.size());
  for (size_t pos = 0; pos < Name.size();) {
    const size_t from = pos;
    const char32_t c = platform::DecodeUtf8(Name, pos);
    if (JolietForbidden(c))
      out += '_';
    else
      out.append(Name, from, pos - from);
  }
  return out;
}

// Joliet names of one folder meet as readers compare them: letter case
// (ASCII) aside.
std::string JolietKey(const std::string& Name) {
  return burner::UpperAscii(Name);
}

// Name with "~N" before its extension (a file's last dot), its stem cut a
// character at a time until the record can hold it.
std::string JolietNumbered(const std::string& Name, bool IsFile, unsigned N) {
  const size_t dot = IsFile ? Name.find_last_of('.') : std::string::npos;
  std::string stem = dot == std::string::npos ? Name : Name.substr(0, dot);
  const std::string tail =
      "~" + std::to_string(N) + (dot == std::string::npos ? "" : Name.substr(dot));
  while (!stem.empty() && !iso::JolietNameFits(stem + tail, IsFile)) {
    size_t cut = stem.size() - 1;
    while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80) --cut;
    stem.resize(cut);
  }
  return stem + tail;
}

}  // namespace

// The Joliet tree holds names as readers take them: characters Joliet
// forbids become "_", and when that makes two names of one folder meet,
// the later entry's name is numbered ("name~1.txt"). The compilation's own
// names stay as they are; only the records and path tables carry these.
void TzqCDBurner::MakeJolietNames(const std::vector<PDirEntry>& Dirs) {
  std::unordered_set<std::string> taken;
  std::unordered_multiset<std::string> wanted;
  std::vector<std::string> safe;
  for (PDirEntry d : Dirs) {
    safe.clear();
    wanted.clear();
    bool changed = false;
    for (PFileEntry e = d->FirstChild; e != nullptr; e = e->Next) {
      e->JolietId.clear();
      safe.push_back(JolietSafe(e->LongName));
      std::string key = JolietKey(safe.back());
      // Copies can bring two entries of one name into a folder, too.
      changed = changed || safe.back() != e->LongName || wanted.count(key) != 0;
      wanted.insert(std::move(key));
    }
    if (!changed) continue;
    taken.clear();
    size_t i = 0;
    for (PFileEntry e = d->FirstChild; e != nullptr; e = e->Next, ++i) {
      std::string name = std::move(safe[i]);
      if (!taken.insert(JolietKey(name)).second) {
        const bool file = !IsFolderEntry(e);
        for (unsigned n = 1;; ++n) {
          std::string numbered = JolietNumbered(name, file, n);
          const std::string key = JolietKey(numbered);
          if (wanted.count(key) == 0 && taken.insert(key).second) {
            name = std::move(numbered);
            break;
          }
        }
      }
      if (name != e->LongName) e->JolietId = std::move(name);
    }
  }
}

bool TzqCDBurner::CheckNames(const std::vector<PDirEntry>& Dirs) {
  if (Dirs.size() > kMaxNumberedDirs) {
    DebugMsg(msg::Fill(msg::kTooManyFolders, {std::to_string(Dirs.size() - 1)}),
             msg::kTypeOperation);
    return false;
  }
  bool fits = true;
  for (PDirEntry d : Dirs) {
    for (PFileEntry e = d->FirstChild; e != nullptr; e = e->Next) {
      const bool file = !IsFolderEntry(e);
      if (iso::IsoNameFits(burner::iso_layout::IsoName(e), file) &&
          (!JolietFileSystem || iso::JolietNameFits(burner::iso_layout::JolietName(e), file)))
        continue;
      DebugMsg(msg::Fill(msg::kNameTooLongForImage, {EntryPath(d, e)}), msg::kTypeOperation);
      fits = false;
    }
  }
  return fits;
}

// Path-table order: the root, then breadth first, the folders of each
// parent sorted by short name (bytes compared unsigned, a prefix first);
// folders of one name keep their creation order. The Joliet tables use
// the same order and numbers.
void TzqCDBurner::OrderDirectories(const std::vector<PDirEntry>& Dirs) {
  std::unordered_map<PDirEntry, std::vector<PDirEntry>> children;
  children.reserve(Dirs.size());
  for (PDirEntry d : Dirs) {
    d->Number = 0;
    if (d != root_) children[d->Parent].push_back(d);
  }
  for (auto& [parent, list] : children)
    std::stable_sort(list.begin(), list.end(),
                     [](PDirEntry a, PDirEntry b) { return a->ShortName < b->ShortName; });
  std::vector<PDirEntry>& order = IsoDirOrder();
  order.clear();
  order.push_back(root_);
  root_->Number = 1;
  for (size_t i = 0; i < order.size(); ++i) {
    const auto it = children.find(order[i]);
    if (it == children.end()) continue;
    for (PDirEntry c : it->second) {
      c->Number = static_cast<int32_t>(order.size() + 1);
      order.push_back(c);
    }
  }
  // A folder whose parent chain does not reach the root cannot be reached
  // on the disc either; it keeps a slot so that the orders hold every folder.
  for (PDirEntry d : Dirs) {
    if (d->Number != 0) continue;
    d->Number = static_cast<int32_t>(order.size() + 1);
    order.push_back(d);
  }
  JolietDirOrder() = order;
}
