#pragma once
// Compilations built in memory for layout tests: entries made from search
// records as a folder walk would make them, without files on disk.

#include <string>

#include "burner/cd_burner.h"
#include "platform/file_attr.h"

namespace layout_fixtures {

// A folder by name; ShortName empty: the 13-character rule of CreateDir
// by name, otherwise that short name.
inline PDirEntry AddFolder(TzqCDBurner& b, PDirEntry parent, const std::string& name,
                           const std::string& short_name = "",
                           int32_t attr = platform::faDirectory) {
  if (short_name.empty()) return b.CreateDir(parent, name, attr);
  TSearchRec rec;
  rec.Name = name;
  rec.AlternateName = short_name;
  rec.Attr = attr;
  rec.Kind = TSearchKind::Directory;
  rec.Time = static_cast<int32_t>(platform::NowDosDateTime());
  return b.CreateDir(parent, rec);
}

// A file entry of the given size; its source path is Source (not read by
// the layout). Null when the component refused it.
inline PFileEntry AddFile(TzqCDBurner& b, PDirEntry dir, const std::string& name, int64_t size,
                          const std::string& short_name = "", const std::string& source = "",
                          int32_t attr = platform::faArchive) {
  TSearchRec rec;
  rec.Name = name;
  rec.AlternateName = short_name;
  rec.Attr = attr;
  rec.SizeLow = static_cast<uint32_t>(size);
  rec.Size = static_cast<int32_t>(size);
  rec.Time = static_cast<int32_t>(platform::NowDosDateTime());
  const std::string path = source.empty() ? "/nonexistent/" + name : source;
  if (b.InsertFile(dir, rec, false, 0, path) != 1) return nullptr;
  std::string long_name = name;
  if (long_name.find('.') == std::string::npos) long_name += '.';
  return b.FindEntry(dir, long_name);
}

}  // namespace layout_fixtures
