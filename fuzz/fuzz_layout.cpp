// Arbitrary compilations laid out: folders and files with any name bytes
// (valid UTF-8 or not), sizes, renames and short names, with and without
// Joliet. The header must have the length the layout gives, every
// directory record must fit its extent and its sector, and every path
// table record its table; nothing may be read or written out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "burner/cd_burner.h"
#include "platform/byte_cursor.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

std::string Name(platform::ByteCursor& in) {
  const uint8_t n = in.ReadU8() % 140;
  const auto bytes = in.ReadBytes(n);
  return std::string(bytes.begin(), bytes.end());
}

// Walks one extent's records the way a reader would.
void CheckExtent(std::span<const uint8_t> header, int64_t sector, int64_t size, int32_t base) {
  const int64_t start = (sector - base) * 2048;
  Check(start >= 0 && size >= 2048 && size % 2048 == 0);
  Check(start + size <= static_cast<int64_t>(header.size()));
  const auto extent = header.subspan(static_cast<size_t>(start), static_cast<size_t>(size));
  size_t pos = 0;
  int records = 0;
  while (pos < extent.size()) {
    const uint8_t len = extent[pos];
    if (len == 0) {
      pos = (pos / 2048 + 1) * 2048;
      continue;
    }
    Check(len >= 34 && len % 2 == 0);
    Check(pos % 2048 + len <= 2048);
    Check(33u + extent[pos + 32] <= len);
    pos += len;
    ++records;
  }
  Check(records >= 2);
}

void CheckPathTable(std::span<const uint8_t> header, int64_t sector, int64_t size, int32_t base) {
  const int64_t start = (sector - base) * 2048;
  Check(start >= 0 && start + size <= static_cast<int64_t>(header.size()));
  size_t pos = 0;
  while (pos < static_cast<size_t>(size)) {
    const uint8_t len = header[static_cast<size_t>(start) + pos];
    Check(len > 0);
    pos += 8 + len + len % 2;
  }
  Check(pos == static_cast<size_t>(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  platform::ByteCursor in(std::span<const uint8_t>(data, size));
  TzqCDBurner b;
  b.ClearAll(4000, 400);
  std::vector<PDirEntry> dirs{b.RootDir()};
  std::vector<PFileEntry> files;
  while (in.Remaining() > 0) {
    const uint8_t op = in.ReadU8();
    PDirEntry parent = dirs[in.ReadU8() % dirs.size()];
    switch (op % 5) {
      case 0: {
        if (PDirEntry d = b.CreateDir(parent, Name(in), 0x10 | (op & 0x02))) dirs.push_back(d);
        break;
      }
      case 1:
      case 2: {
        TSearchRec rec;
        rec.Name = Name(in);
        if (op & 0x80) rec.AlternateName = Name(in);
        rec.Attr = op & 0x22;
        rec.SizeLow = static_cast<uint32_t>(in.ReadU8()) << (in.ReadU8() % 24);
        rec.Time = static_cast<int32_t>(in.ReadLE32());
        const uint32_t imported = (op & 0x40) ? in.ReadLE32() % 100000 : 0;
        if (b.InsertFile(parent, rec, false, static_cast<int32_t>(imported), "/none") == 1 &&
            parent->LastChild != nullptr)
          files.push_back(parent->LastChild);
        break;
      }
      case 3:
        if (!files.empty()) {
          const std::string long_name = Name(in);
          b.RenameEntry(files[in.ReadU8() % files.size()], long_name, Name(in));
        }
        break;
      case 4:
        b.JolietFileSystem = !b.JolietFileSystem;
        b.IdVolume = Name(in);
        break;
    }
  }
  if (!b.Prepare(true)) return 0;
  const auto header = b.HeaderStream.Bytes();
  Check(static_cast<int64_t>(header.size()) ==
        (static_cast<int64_t>(b.FirstFileSector) - b.SessionStart) * 2048);
  Check(b.FirstFileSector >= 150 && b.SessionSectors == b.SessionEnd - b.SessionStart);
  for (PDirEntry d : b.DirTable()) {
    CheckExtent(header, b.IsoDirsSector + d->IsoSector, d->IsoSize, b.SessionStart);
    if (b.JolietFileSystem)
      CheckExtent(header, b.JolietDirsSector + d->JolietSector, d->JolietSize, b.SessionStart);
  }
  CheckPathTable(header, b.IsoPathLSector, b.IsoPathSize, b.SessionStart);
  CheckPathTable(header, b.IsoPathMSector, b.IsoPathSize, b.SessionStart);
  if (b.JolietFileSystem) {
    CheckPathTable(header, b.JolietPathLSector, b.JolietPathSize, b.SessionStart);
    CheckPathTable(header, b.JolietPathMSector, b.JolietPathSize, b.SessionStart);
  }
  return 0;
}
