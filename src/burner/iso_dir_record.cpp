#include "burner/iso_dir_record.h"

#include <algorithm>

#include "burner/iso_endian.h"

namespace iso {

size_t PutDirRecordFixed(std::span<uint8_t> Out, const DirRecordFields& Fields,
                         size_t IdentifierBytes) {
  const size_t length = RecordLength(IdentifierBytes);
  Out[kDrLength] = static_cast<uint8_t>(length);
  Out[kDrExtAttrLength] = 0;
  put_both32(field<8>(Out, kDrExtent), Fields.Extent);
  put_both32(field<8>(Out, kDrDataLength), Fields.DataLength);
  std::copy(Fields.Date.begin(), Fields.Date.end(), Out.begin() + kDrDate);
  Out[kDrFlags] = Fields.Flags;
  Out[kDrUnitSize] = 0;
  Out[kDrInterleave] = 0;
  put_both16(field<4>(Out, kDrVolumeSeq), 1);
  Out[kDrIdentifierLength] = static_cast<uint8_t>(IdentifierBytes);
  if (IdentifierBytes % 2 == 0) Out[kDrIdentifier + IdentifierBytes] = 0;
  return length;
}

size_t PutDirRecord(std::span<uint8_t> Out, const DirRecordFields& Fields,
                    std::span<const uint8_t> Identifier) {
  const size_t length = PutDirRecordFixed(Out, Fields, Identifier.size());
  std::copy(Identifier.begin(), Identifier.end(), Out.begin() + kDrIdentifier);
  return length;
}

}  // namespace iso
