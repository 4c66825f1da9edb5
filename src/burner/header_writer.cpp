// The image header: the bytes of every structure the layout placed, from
// the session's first sector up to the first file sector, into
// HeaderStream. Positions and sizes come from the layout; nothing here
// decides where anything goes.

#include <array>
#include <vector>

#include "burner/cd_burner.h"
#include "burner/iso_dir_record.h"
#include "burner/iso_path_table.h"
#include "burner/iso_volume_descriptor.h"
#include "burner/layout_records.h"

namespace {

using burner::iso_layout::Hierarchy;

// The state one hierarchy's structures are written from.
struct HierarchyWriter {
  Hierarchy kind;
  int32_t dirs_sector;  // first sector of its directory area
  int32_t first_file_sector;
  iso::RecordDate now;  // the date of every "." and ".." record
  int16_t zone;

  int32_t Sector(const TDEntry* d) const {
    return dirs_sector + (kind == Hierarchy::Iso ? d->IsoSector : d->JolietSector);
  }
  int64_t Size(const TDEntry* d) const {
    return kind == Hierarchy::Iso ? d->IsoSize : d->JolietSize;
  }

  // One path table in the given byte order, zero-padded to whole sectors.
  void PathTable(std::vector<uint8_t>& Out, const std::vector<PDirEntry>& Order, int64_t TableSize,
                 iso::ByteOrder ByteOrder) const {
    Out.assign(static_cast<size_t>(RoundUpToSector(TableSize)), 0);
    std::span<uint8_t> all(Out);
    size_t pos = iso::PutRootPathRecord(all, ByteOrder, static_cast<uint32_t>(Sector(Order[0])));
    for (size_t i = 1; i < Order.size(); ++i) {
      const TDEntry* d = Order[i];
      const auto extent = static_cast<uint32_t>(Sector(d));
      const auto parent = static_cast<uint16_t>(d->Parent->Number);
      std::span<uint8_t> at = all.subspan(pos);
      if (kind == Hierarchy::Iso) {
        const auto* name = reinterpret_cast<const uint8_t*>(d->ShortName.data());
        pos += iso::PutPathRecord(at, ByteOrder, extent, parent, {name, d->ShortName.size()});
      } else {
        const size_t bytes = 2 * iso::Utf16Units(burner::iso_layout::JolietName(d));
        pos += iso::PutPathRecordFixed(at, ByteOrder, extent, parent, bytes);
        iso::PutUtf16BE(at.subspan(iso::kPtIdentifier), burner::iso_layout::JolietName(d));
      }
    }
  }

  // One directory extent: "." and "..", then a record per entry.
  void Extent(std::vector<uint8_t>& Out, const TDEntry* Dir) const {
    Out.assign(static_cast<size_t>(Size(Dir)), 0);
    std::span<uint8_t> all(Out);
    iso::DirRecordFields dot;
    dot.Extent = static_cast<uint32_t>(Sector(Dir));
    dot.DataLength = static_cast<uint32_t>(Size(Dir));
    dot.Date = now;
    dot.Flags = iso::kFlagDirectory;
    static constexpr uint8_t kSelf[1] = {iso::kSelfIdentifier};
    static constexpr uint8_t kParent[1] = {iso::kParentIdentifier};
    iso::PutDirRecord(all, dot, kSelf);
    // The root's parent is the root itself.
    iso::DirRecordFields dotdot = dot;
    dotdot.Extent = static_cast<uint32_t>(Sector(Dir->Parent));
    dotdot.DataLength = static_cast<uint32_t>(Size(Dir->Parent));
    iso::PutDirRecord(all.subspan(iso::kDotRecordSize), dotdot, kParent);

    burner::iso_layout::PackRecords(Dir, kind, [&](const TFEntry* e, int64_t pos, size_t id) {
      std::span<uint8_t> at = all.subspan(static_cast<size_t>(pos));
      iso::PutDirRecordFixed(at, Fields(e), id);
      std::span<uint8_t> ident = at.subspan(iso::kDrIdentifier);
      const bool file = !IsFolderEntry(e);
      if (kind == Hierarchy::Iso) {
        const std::string& name = burner::iso_layout::IsoName(e);
        std::copy(name.begin(), name.end(), ident.begin());
        if (file) {
          ident[name.size()] = ';';
          ident[name.size() + 1] = '1';
        }
      } else {
        const size_t n = iso::PutUtf16BE(ident, burner::iso_layout::JolietName(e));
        if (file) {
          static constexpr uint8_t kVersion[4] = {0, ';', 0, '1'};
          std::copy(std::begin(kVersion), std::end(kVersion),
                    ident.begin() + static_cast<ptrdiff_t>(n));
        }
      }
    });
  }

  iso::DirRecordFields Fields(const TFEntry* e) const {
    iso::DirRecordFields f;
    iso::PutRecordDate(f.Date, e->DateTime, zone);
    f.Flags = (e->Attr & 0x02) != 0 ? iso::kFlagHidden : 0;
    if (IsFolderEntry(e)) {
      f.Flags |= iso::kFlagDirectory;
      f.Extent = static_cast<uint32_t>(Sector(e->Dir));
      f.DataLength = static_cast<uint32_t>(Size(e->Dir));
    } else if (e->Size > 0) {
      // Both hierarchies name the same data.
      f.Extent =
          static_cast<uint32_t>(e->Imported != 0 ? e->IsoSector : first_file_sector + e->IsoSector);
      f.DataLength = static_cast<uint32_t>(kind == Hierarchy::Iso ? e->Size : e->JolietSize);
    }
    return f;
  }
};

}  // namespace

void TzqCDBurner::WriteHeader(const std::vector<PDirEntry>& Dirs, TDateTime Now) {
  const int64_t total = (static_cast<int64_t>(FirstFileSector) - SessionStart) * kSectorSize;
  // Sized once: every byte not written below is zero, which is what the
  // system area, the padding and the rest of each sector hold.
  HeaderStream.SetSize(total);
  const auto seek = [this](int64_t Sector) {
    HeaderStream.Seek((Sector - SessionStart) * kSectorSize);
  };
  const bool joliet = JolietFileSystem;
  const std::vector<PDirEntry>& order = IsoDirOrder();

  iso::VolumeDescription volume;
  volume.System = IdSystem;
  volume.Volume = IdVolume;
  volume.VolumeSet = IdVolumeSet;
  volume.Publisher = IdPublisher;
  volume.Preparer = IdPreparer;
  volume.Application = IdApplication;
  volume.CopyrightFile = FileCopyright;
  volume.AbstractFile = FileAbstract;
  volume.BibliographicFile = FileBibliographic;
  volume.Creation = DateCreation;
  volume.Modification = DateModification;
  volume.SpaceSize = static_cast<uint32_t>(SessionEnd - SessionStart);

  std::array<uint8_t, iso::kSectorBytes> sector{};
  iso::HierarchyPlace iso_place{static_cast<uint32_t>(IsoPathSize),
                                static_cast<uint32_t>(IsoPathLSector),
                                static_cast<uint32_t>(IsoPathMSector),
                                static_cast<uint32_t>(IsoDirsSector + root_->IsoSector),
                                static_cast<uint32_t>(root_->IsoSize)};
  iso::PutPrimaryDescriptor(sector, volume, iso_place);
  seek(PvdSector);
  HeaderStream.Write(sector);
  if (joliet) {
    sector.fill(0);
    iso::HierarchyPlace joliet_place{static_cast<uint32_t>(JolietPathSize),
                                     static_cast<uint32_t>(JolietPathLSector),
                                     static_cast<uint32_t>(JolietPathMSector),
                                     static_cast<uint32_t>(JolietDirsSector + root_->JolietSector),
                                     static_cast<uint32_t>(root_->JolietSize)};
    iso::PutJolietDescriptor(sector, volume, joliet_place);
    seek(SvdSector);
    HeaderStream.Write(sector);
  }
  sector.fill(0);
  iso::PutTerminator(sector);
  seek(TermSector);
  HeaderStream.Write(sector);

  iso::RecordDate now{};
  iso::PutRecordDate(now, Now, TimeZoneOffset());
  std::vector<uint8_t> buffer;
  const auto write_hierarchy = [&](const HierarchyWriter& w, int64_t TableSize, int32_t LSector,
                                   int32_t MSector) {
    w.PathTable(buffer, order, TableSize, iso::ByteOrder::Little);
    seek(LSector);
    HeaderStream.Write(buffer);
    w.PathTable(buffer, order, TableSize, iso::ByteOrder::Big);
    seek(MSector);
    HeaderStream.Write(buffer);
  };
  const HierarchyWriter iso_writer{Hierarchy::Iso, IsoDirsSector, FirstFileSector, now,
                                   TimeZoneOffset()};
  const HierarchyWriter joliet_writer{Hierarchy::Joliet, JolietDirsSector, FirstFileSector, now,
                                      TimeZoneOffset()};
  write_hierarchy(iso_writer, IsoPathSize, IsoPathLSector, IsoPathMSector);
  if (joliet) write_hierarchy(joliet_writer, JolietPathSize, JolietPathLSector, JolietPathMSector);

  for (PDirEntry d : Dirs) {
    iso_writer.Extent(buffer, d);
    seek(iso_writer.Sector(d));
    HeaderStream.Write(buffer);
  }
  if (joliet) {
    for (PDirEntry d : Dirs) {
      joliet_writer.Extent(buffer, d);
      seek(joliet_writer.Sector(d));
      HeaderStream.Write(buffer);
    }
  }
  HeaderStream.Seek(0);
}
