#pragma once
// Volume descriptors (ECMA-119 8): the primary descriptor, the Joliet
// supplementary descriptor (UCS-2 Level 3) and the set terminator, one
// sector each from the session's 17th sector on.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/date_time.h"

namespace iso {

inline constexpr size_t kSectorBytes = 2048;
using Sector = std::span<uint8_t, kSectorBytes>;

// Descriptor types.
inline constexpr uint8_t kTypePrimary = 1;
inline constexpr uint8_t kTypeSupplementary = 2;
inline constexpr uint8_t kTypeTerminator = 255;

// Offsets inside a volume descriptor.
inline constexpr size_t kVdType = 0;
inline constexpr size_t kVdStandardId = 1;  // "CD001"
inline constexpr size_t kVdVersion = 6;
inline constexpr size_t kVdFlags = 7;
inline constexpr size_t kVdSystemId = 8;         // 32 bytes
inline constexpr size_t kVdVolumeId = 40;        // 32 bytes
inline constexpr size_t kVdSpaceSize = 80;       // both-endian 32
inline constexpr size_t kVdEscapes = 88;         // 32 bytes
inline constexpr size_t kVdSetSize = 120;        // both-endian 16
inline constexpr size_t kVdSequence = 124;       // both-endian 16
inline constexpr size_t kVdBlockSize = 128;      // both-endian 16
inline constexpr size_t kVdPathTableSize = 132;  // both-endian 32
inline constexpr size_t kVdPathL = 140;          // little-endian 32
inline constexpr size_t kVdPathLOptional = 144;
inline constexpr size_t kVdPathM = 148;  // big-endian 32
inline constexpr size_t kVdPathMOptional = 152;
inline constexpr size_t kVdRootRecord = 156;         // 34 bytes
inline constexpr size_t kVdVolumeSetId = 190;        // 128 bytes
inline constexpr size_t kVdPublisherId = 318;        // 128 bytes
inline constexpr size_t kVdPreparerId = 446;         // 128 bytes
inline constexpr size_t kVdApplicationId = 574;      // 128 bytes
inline constexpr size_t kVdCopyrightFile = 702;      // 37 bytes
inline constexpr size_t kVdAbstractFile = 739;       // 37 bytes
inline constexpr size_t kVdBibliographicFile = 776;  // 37 bytes
inline constexpr size_t kVdCreationDate = 813;
inline constexpr size_t kVdModificationDate = 830;
inline constexpr size_t kVdExpirationDate = 847;
inline constexpr size_t kVdEffectiveDate = 864;
inline constexpr size_t kVdStructureVersion = 881;
inline constexpr size_t kVdApplicationUse = 1024;  // eight spaces here

inline constexpr size_t kIdentifierField = 32;
inline constexpr size_t kLongIdentifierField = 128;
inline constexpr size_t kFileIdentifierField = 37;
// The Joliet descriptor fills 36 of the 37 bytes (18 UTF-16 units).
inline constexpr size_t kJolietFileIdentifierField = 36;

// The escape sequence of the Joliet descriptor: "%/@" (0x25 0x2F 0x40),
// which readers take as Joliet (UCS-2 level 1 by the letter of the
// extension; every Joliet reader accepts it).
inline constexpr uint8_t kJolietEscape[3] = {0x25, 0x2F, 0x40};

// What both descriptors describe. Text fields are the component's
// properties as they are; the encoders upper-case and pad them.
struct VolumeDescription {
  std::string_view System, Volume, VolumeSet, Publisher, Preparer, Application;
  std::string_view CopyrightFile, AbstractFile, BibliographicFile;
  TDateTime Creation = 0;
  TDateTime Modification = 0;
  uint32_t SpaceSize = 0;  // sectors of the session
};

// One hierarchy's tables and root, as its descriptor names them.
struct HierarchyPlace {
  uint32_t PathTableSize = 0;  // bytes
  uint32_t PathLSector = 0;
  uint32_t PathMSector = 0;
  uint32_t RootSector = 0;
  uint32_t RootSize = 0;  // bytes
};

// Out is zero on entry (every byte not named stays zero).
void PutPrimaryDescriptor(Sector Out, const VolumeDescription& Volume, const HierarchyPlace& Iso);
void PutJolietDescriptor(Sector Out, const VolumeDescription& Volume, const HierarchyPlace& Joliet);
void PutTerminator(Sector Out);

}  // namespace iso
