#include "burner/iso_path_table.h"

#include <algorithm>

#include "burner/iso_endian.h"

namespace iso {

size_t PutPathRecordFixed(std::span<uint8_t> Out, ByteOrder Order, uint32_t Extent, uint16_t Parent,
                          size_t IdentifierBytes) {
  Out[kPtIdentifierLength] = static_cast<uint8_t>(IdentifierBytes);
  Out[kPtExtAttrLength] = 0;
  if (Order == ByteOrder::Little) {
    put_le32(field<4>(Out, kPtExtent), Extent);
    put_le16(field<2>(Out, kPtParent), Parent);
  } else {
    put_be32(field<4>(Out, kPtExtent), Extent);
    put_be16(field<2>(Out, kPtParent), Parent);
  }
  if (IdentifierBytes % 2 != 0) Out[kPtIdentifier + IdentifierBytes] = 0;
  return PathRecordLength(IdentifierBytes);
}

size_t PutPathRecord(std::span<uint8_t> Out, ByteOrder Order, uint32_t Extent, uint16_t Parent,
                     std::span<const uint8_t> Identifier) {
  const size_t length = PutPathRecordFixed(Out, Order, Extent, Parent, Identifier.size());
  std::copy(Identifier.begin(), Identifier.end(), Out.begin() + kPtIdentifier);
  return length;
}

size_t PutRootPathRecord(std::span<uint8_t> Out, ByteOrder Order, uint32_t Extent) {
  static constexpr uint8_t kRootIdentifier[1] = {0};
  return PutPathRecord(Out, Order, Extent, 1, kRootIdentifier);
}

}  // namespace iso
