// Editing the compilation: listing a folder, taking out entries and whole
// folders, renaming, copying inside the compilation, and clearing archive
// attributes after a write.

#include "burner/burner_messages.h"
#include "burner/cd_burner.h"
#include "burner/name_rules.h"
#include "platform/file_attr.h"
#include "platform/utf8.h"

namespace {

constexpr size_t kMaxShortNameChars = 13;

std::string WithTrailingBackslash(std::string Path) {
  if (Path.empty() || Path.back() != '\\') Path += '\\';
  return Path;
}

}  // namespace

bool TzqCDBurner::NextEntry(PDirEntry Dir, int32_t& Kind, PFileEntry& Cursor) const {
  if (Dir == nullptr) return false;
  PFileEntry next = Cursor != nullptr ? Cursor->Next : Dir->FirstChild;
  if (next == nullptr) return false;
  Cursor = next;
  Kind = IsFolderEntry(next) ? 1 : 2;
  return true;
}

int32_t TzqCDBurner::RemoveEntry(PDirEntry Dir, PFileEntry Entry) {
  if (Dir == nullptr || Entry == nullptr || Entry->Removed || Entry->Owner != Dir) return 0;
  if (IsFolderEntry(Entry)) {
    // Everything below the folder goes in one sweep; its lists go with it,
    // so no entry needs unlinking one by one.
    std::vector<PDirEntry> pending{Entry->Dir};
    while (!pending.empty()) {
      PDirEntry dir = pending.back();
      pending.pop_back();
      for (PFileEntry child = dir->FirstChild; child != nullptr; child = child->Next) {
        if (IsFolderEntry(child))
          pending.push_back(child->Dir);
        else if (child->Imported == 0)
          total_added_bytes_ -= RoundUpToSector(child->Size);
        DiscardFile(child);
      }
      DiscardDir(dir);
    }
  }
  UnlinkEntry(Entry);
  if (!IsFolderEntry(Entry) && Entry->Imported == 0)
    total_added_bytes_ -= RoundUpToSector(Entry->Size);
  DiscardFile(Entry);
  return 1;
}

int32_t TzqCDBurner::DeleteEntry(const std::string& DirPath, const std::string& LongName) {
  PDirEntry dir = FindDir(DirPath);
  PFileEntry entry = FindEntry(dir, LongName);
  if (entry == nullptr) return 0;
  return RemoveEntry(dir, entry);
}

bool TzqCDBurner::DeleteDir(const std::string& Path) {
  PDirEntry dir = FindDir(Path);
  // The root is emptied only by ClearAll.
  if (dir == nullptr || dir == root_ || dir->Entry == nullptr) return false;
  // The folder's own entry, wherever its name may have gone since.
  return RemoveEntry(dir->Parent, dir->Entry) != 0;
}

bool TzqCDBurner::RenameEntry(PFileEntry Entry, const std::string& NewLong,
                              const std::string& NewShort) {
  if (Entry == nullptr || Entry->Removed) return false;
  if (Entry->Owner != nullptr) UnindexName(Entry);
  Entry->LongName = NewLong;
  if (Entry->Owner != nullptr) IndexName(Entry);
  const std::string& short_name = NewShort.empty() ? NewLong : NewShort;
  if (platform::Utf8Length(short_name) > kMaxShortNameChars) return false;
  Entry->ShortName = burner::UpperAscii(short_name);
  return true;
}

int32_t TzqCDBurner::RenameFile(const std::string& DirPath, const std::string& OldLongName,
                                const std::string& NewShort, const std::string& NewLong) {
  PFileEntry entry = FindEntryByPath(DirPath, OldLongName);
  if (entry == nullptr) return 0;
  RenameEntry(entry, NewLong, NewShort);
  return 1;
}

namespace {

// Fields a copy takes from its source entry.
void CopyFields(TFEntry& To, const TFEntry& From) {
  To.ShortName = From.ShortName;
  To.LongName = From.LongName;
  To.JolietSize = From.JolietSize;
  To.Size = From.Size;
  To.Attr = From.Attr;
  To.DateTime = From.DateTime;
  To.SourcePath = From.SourcePath;
  To.ClearArchive = From.ClearArchive;
}

}  // namespace

bool TzqCDBurner::CopyFile(const std::string& DestDirPath, const std::string& SrcDirPath,
                           int32_t ImportedSector, const std::string& LongName) {
  PDirEntry dest = FindDir(DestDirPath);
  PDirEntry src = FindDir(SrcDirPath);
  PFileEntry from = FindEntry(src, LongName);
  if (dest == nullptr || from == nullptr) return false;
  // A folder entry copied on its own would stand for a folder that is not
  // in the directory tables.
  if (IsFolderEntry(from)) return false;
  PFileEntry copy = NewFileEntry();
  if (copy == nullptr) return false;
  CopyFields(*copy, *from);
  LinkEntry(dest, copy);
  if (ImportedSector != 0) {
    copy->IsoSector = ImportedSector;
    copy->JolietSector = ImportedSector;
  } else if (from->Imported != 0) {
    copy->IsoSector = from->IsoSector;
    copy->JolietSector = from->JolietSector;
  } else {
    total_added_bytes_ += RoundUpToSector(from->Size);
  }
  copy->Imported = from->Imported;
  return true;
}

bool TzqCDBurner::CopyDir(const std::string& DestPath, const std::string& SrcPath,
                          bool ArchiveOnly) {
  PDirEntry src = FindDir(SrcPath);
  if (src == nullptr) return false;
  // A folder copied into itself or below itself would copy its own copies
  // for ever.
  for (PDirEntry d = FindDir(DestPath); d != nullptr; d = d->Parent) {
    if (d == src) return false;
    if (d == root_) break;
  }
  return CopyDirInto(WithTrailingBackslash(DestPath), src, ArchiveOnly);
}

// Entries are taken by record, not looked up again by name, so that two
// entries of one name are both copied and a renamed folder entry still
// brings its folder's contents.
bool TzqCDBurner::CopyDirInto(const std::string& DestPath, PDirEntry Src, bool ArchiveOnly) {
  // The list as it stands when the copy begins.
  std::vector<PFileEntry> entries;
  for (PFileEntry e = Src->FirstChild; e != nullptr; e = e->Next) entries.push_back(e);
  for (PFileEntry e : entries) {
    const std::string& name = e->LongName;
    if (IsFolderEntry(e)) {
      // Creates the folder under DestPath; the source has no host path, so
      // nothing is read from disk.
      InsertDir(DestPath, "\\" + name + "\\", ArchiveOnly, true, true, platform::faAnyFile, "*.*");
      CopyDirInto(DestPath + name + "\\", e->Dir, ArchiveOnly);
    } else {
      PDirEntry dest = FindDir(DestPath);
      if (dest == nullptr) continue;
      PFileEntry copy = NewFileEntry();
      if (copy == nullptr) continue;
      CopyFields(*copy, *e);
      LinkEntry(dest, copy);
      if (e->Imported != 0) {
        copy->IsoSector = e->IsoSector;
        copy->JolietSector = e->JolietSector;
      } else {
        total_added_bytes_ += RoundUpToSector(e->Size);
      }
      copy->Imported = e->Imported;
    }
  }
  return true;
}

bool TzqCDBurner::ClearArchiveBits() {
  for (PFileEntry f : FileTable()) {
    if (IsFolderEntry(f) || (f->Attr & platform::faArchive) == 0 || f->ClearArchive == 0 ||
        f->SourcePath.empty())
      continue;
    platform::FileSetAttr(f->SourcePath, f->Attr - platform::faArchive);
  }
  return true;
}
