#include "burner/iso_volume_descriptor.h"

#include <algorithm>
#include <cstring>

#include "burner/iso_dir_record.h"
#include "burner/iso_endian.h"
#include "burner/iso_fields.h"

namespace iso {
namespace {

constexpr char kStandardId[] = "CD001";

void PutHead(Sector Out, uint8_t Type) {
  Out[kVdType] = Type;
  std::memcpy(Out.data() + kVdStandardId, kStandardId, 5);
  Out[kVdVersion] = 1;
}

std::span<uint8_t> Bytes(Sector Out, size_t Offset, size_t Count) {
  return std::span<uint8_t>(Out).subspan(Offset, Count);
}

// The fields both descriptors have in the same form.
void PutCommon(Sector Out, const VolumeDescription& Volume, const HierarchyPlace& Place) {
  std::span<uint8_t> all(Out);
  put_both32(field<8>(all, kVdSpaceSize), Volume.SpaceSize);
  put_both16(field<4>(all, kVdSetSize), 1);
  put_both16(field<4>(all, kVdSequence), 1);
  put_both16(field<4>(all, kVdBlockSize), static_cast<uint16_t>(kSectorBytes));
  put_both32(field<8>(all, kVdPathTableSize), Place.PathTableSize);
  put_le32(field<4>(all, kVdPathL), Place.PathLSector);
  put_le32(field<4>(all, kVdPathLOptional), 0);
  put_be32(field<4>(all, kVdPathM), Place.PathMSector);
  put_be32(field<4>(all, kVdPathMOptional), 0);

  // The root's record carries no date.
  DirRecordFields root;
  root.Extent = Place.RootSector;
  root.DataLength = Place.RootSize;
  root.Flags = kFlagDirectory;
  static constexpr uint8_t kRootIdentifier[1] = {kSelfIdentifier};
  PutDirRecord(all.subspan(kVdRootRecord, kDotRecordSize), root, kRootIdentifier);

  PutDescriptorDate(field<kDescriptorDateSize>(all, kVdCreationDate), Volume.Creation);
  PutDescriptorDate(field<kDescriptorDateSize>(all, kVdModificationDate), Volume.Modification);
  PutUnsetDescriptorDate(field<kDescriptorDateSize>(all, kVdExpirationDate));
  PutUnsetDescriptorDate(field<kDescriptorDateSize>(all, kVdEffectiveDate));
  Out[kVdStructureVersion] = 1;
  std::fill_n(Out.begin() + kVdApplicationUse, 8, uint8_t{' '});
}

}  // namespace

void PutPrimaryDescriptor(Sector Out, const VolumeDescription& Volume, const HierarchyPlace& Iso) {
  PutHead(Out, kTypePrimary);
  SpacePad(Bytes(Out, kVdSystemId, kIdentifierField), Volume.System);
  SpacePad(Bytes(Out, kVdVolumeId, kIdentifierField), Volume.Volume);
  // Bytes 88-119 stay zero, as the standard has them in a primary
  // descriptor, whether Joliet is on or not: readers that check them
  // (libarchive among them) refuse a primary descriptor that carries the
  // Joliet escape sequence, and with it the whole image.
  SpacePad(Bytes(Out, kVdVolumeSetId, kLongIdentifierField), Volume.VolumeSet);
  SpacePad(Bytes(Out, kVdPublisherId, kLongIdentifierField), Volume.Publisher);
  SpacePad(Bytes(Out, kVdPreparerId, kLongIdentifierField), Volume.Preparer);
  SpacePad(Bytes(Out, kVdApplicationId, kLongIdentifierField), Volume.Application);
  SpacePad(Bytes(Out, kVdCopyrightFile, kFileIdentifierField), Volume.CopyrightFile);
  SpacePad(Bytes(Out, kVdAbstractFile, kFileIdentifierField), Volume.AbstractFile);
  SpacePad(Bytes(Out, kVdBibliographicFile, kFileIdentifierField), Volume.BibliographicFile);
  PutCommon(Out, Volume, Iso);
}

void PutJolietDescriptor(Sector Out, const VolumeDescription& Volume,
                         const HierarchyPlace& Joliet) {
  PutHead(Out, kTypeSupplementary);
  UcsPad(Bytes(Out, kVdSystemId, kIdentifierField), Volume.System);
  UcsPad(Bytes(Out, kVdVolumeId, kIdentifierField), Volume.Volume);
  std::copy(std::begin(kJolietEscape), std::end(kJolietEscape), Out.begin() + kVdEscapes);
  UcsPad(Bytes(Out, kVdVolumeSetId, kLongIdentifierField), Volume.VolumeSet);
  UcsPad(Bytes(Out, kVdPublisherId, kLongIdentifierField), Volume.Publisher);
  UcsPad(Bytes(Out, kVdPreparerId, kLongIdentifierField), Volume.Preparer);
  UcsPad(Bytes(Out, kVdApplicationId, kLongIdentifierField), Volume.Application);
  UcsPad(Bytes(Out, kVdCopyrightFile, kJolietFileIdentifierField), Volume.CopyrightFile);
  UcsPad(Bytes(Out, kVdAbstractFile, kJolietFileIdentifierField), Volume.AbstractFile);
  UcsPad(Bytes(Out, kVdBibliographicFile, kJolietFileIdentifierField), Volume.BibliographicFile);
  PutCommon(Out, Volume, Joliet);
}

void PutTerminator(Sector Out) {
  PutHead(Out, kTypeTerminator);
}

}  // namespace iso
