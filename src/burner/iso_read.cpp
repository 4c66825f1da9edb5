#include "burner/iso_read.h"

#include <algorithm>

#include "platform/byte_cursor.h"
#include "platform/date_time.h"
#include "platform/utf8.h"

namespace iso {
namespace {

constexpr char kStandardId[] = "CD001";
constexpr size_t kStandardIdSize = 5;
constexpr size_t kEscapeField = 32;
constexpr size_t kRootExtentLe = kVdRootRecord + kDrExtent;
constexpr size_t kRootDataLengthLe = kVdRootRecord + kDrDataLength;

// The XA block's signature after its attribute byte.
constexpr uint8_t kXaSignature[3] = {0x55, 'X', 'A'};

// Joliet escape sequences: "%/@", "%/C" and "%/E" (UCS-2 levels 1 to 3).
bool IsJolietEscapeAt(std::span<const uint8_t> e, size_t at) {
  if (at + 3 > e.size() || e[at] != 0x25 || e[at + 1] != 0x2F) return false;
  return e[at + 2] == 0x40 || e[at + 2] == 0x43 || e[at + 2] == 0x45;
}

bool IsXaBlock(ConstSector s, size_t at) {
  if (at + kXaBlockSize > s.size()) return false;
  for (size_t i = 0; i < 4; ++i)
    if (s[at + i] != 0) return false;
  return std::equal(std::begin(kXaSignature), std::end(kXaSignature), s.begin() + at + 5);
}

// Bytes of identifier and padding: ISO 9660 pads an even identifier to an
// odd one so that every record has an even length.
size_t IdentifierSpan(size_t n) {
  return n + (n % 2 == 0 ? 1 : 0);
}

}  // namespace

bool HasJolietEscape(std::span<const uint8_t> Escapes) {
  for (size_t at = 0; at + 3 <= Escapes.size(); ++at)
    if (IsJolietEscapeAt(Escapes, at)) return true;
  return false;
}

DescriptorInfo ReadDescriptor(ConstSector Sector) {
  DescriptorInfo info;
  if (!std::equal(kStandardId, kStandardId + kStandardIdSize, Sector.begin() + kVdStandardId))
    return info;
  platform::ByteCursor root(std::span<const uint8_t>(Sector).subspan(kRootExtentLe));
  info.RootExtent = root.ReadLE32();
  root.Skip(kRootDataLengthLe - kRootExtentLe - 4);
  info.RootSize = root.ReadLE32();
  switch (Sector[kVdType]) {
    case kTypePrimary:
      info.Kind = DescriptorKind::Primary;
      break;
    case kTypeSupplementary:
      info.Kind = HasJolietEscape(Sector.subspan(kVdEscapes, kEscapeField))
                      ? DescriptorKind::Supplementary
                      : DescriptorKind::OtherSupplementary;
      break;
    case kTypeTerminator:
      info.Kind = DescriptorKind::Terminator;
      break;
    default:
      info.Kind = DescriptorKind::Other;
      break;
  }
  return info;
}

DirRecordView ReadDirRecordAt(ConstSector Sector, size_t Offset, bool IsoRules) {
  DirRecordView v;
  if (Offset >= Sector.size()) return v;  // EndOfSector
  if (IsoRules && IsXaBlock(Sector, Offset)) {
    v.Kind = RecordKind::XaBlock;
    v.Step = kXaBlockSize;
    return v;
  }
  const size_t room = Sector.size() - Offset;
  platform::ByteCursor c(std::span<const uint8_t>(Sector).subspan(Offset));
  const size_t length = c.ReadU8();
  if (length == 0) return v;  // EndOfSector
  v.Kind = RecordKind::Bad;
  if (room < kDrFixedSize) {
    v.Problem = "RECORD CUT BY THE SECTOR END";
    return v;
  }
  const uint8_t ext_attr_blocks = c.ReadU8();
  v.Extent = c.ReadLE32();
  c.Skip(4);
  v.DataLength = c.ReadLE32();
  c.Skip(4);
  const auto date = c.ReadBytes(kRecordDateSize);
  std::copy(date.begin(), date.end(), v.Date.begin());
  v.Flags = c.ReadU8();
  c.Skip(2 + 4);  // unit size, interleave gap, volume sequence number
  const size_t n = c.ReadU8();
  const size_t needed = kDrFixedSize + n;
  if (needed > room) {
    v.Problem = "IDENTIFIER CUT BY THE SECTOR END";
    return v;
  }
  v.Identifier = c.ReadBytes(n);
  if (length < needed) {
    // The length byte cannot be right; the identifier's own length says
    // where the next record would begin.
    v.Problem = "RECORD LENGTH SHORTER THAN ITS IDENTIFIER";
    const size_t step = kDrFixedSize + IdentifierSpan(n);
    v.Step = step <= room ? step : 0;
    return v;
  }
  if (length > room) {
    v.Problem = "RECORD CUT BY THE SECTOR END";
    return v;
  }
  v.Step = length;
  if (n == 0) {
    v.Problem = "EMPTY IDENTIFIER";
    return v;
  }
  // An extended attribute record takes the first blocks of the extent; the
  // data follows it.
  if (ext_attr_blocks != 0) {
    if (v.Extent > UINT32_MAX - ext_attr_blocks) {
      v.Problem = "EXTENT BEYOND ANY DISC";
      return v;
    }
    v.Extent += ext_attr_blocks;
  }
  v.Kind = RecordKind::Record;
  return v;
}

bool IsDotIdentifier(std::span<const uint8_t> Identifier) {
  return Identifier.size() == 1 &&
         (Identifier[0] == kSelfIdentifier || Identifier[0] == kParentIdentifier);
}

std::string JolietIdentifierName(std::span<const uint8_t> Identifier) {
  std::u16string units;
  units.reserve(Identifier.size() / 2);
  for (size_t i = 0; i + 1 < Identifier.size(); i += 2)
    units.push_back(static_cast<char16_t>(Identifier[i] << 8 | Identifier[i + 1]));
  if (units.size() > 2) {
    const size_t cut = units.find(u';', 2);
    if (cut != std::u16string::npos) units.resize(cut);
  }
  return platform::Utf16ToUtf8(units);
}

std::string IsoIdentifierName(std::span<const uint8_t> Identifier) {
  std::string_view text(reinterpret_cast<const char*>(Identifier.data()), Identifier.size());
  const size_t cut = text.find(';');
  if (cut != std::string_view::npos) text = text.substr(0, cut);
  return platform::SanitizeUtf8(text);
}

std::string ShownIdentifier(std::span<const uint8_t> Identifier, bool Joliet) {
  std::string_view raw(reinterpret_cast<const char*>(Identifier.data()), Identifier.size());
  std::string out;
  if (Joliet) {
    std::u16string units;
    for (size_t i = 0; i + 1 < Identifier.size(); i += 2)
      units.push_back(static_cast<char16_t>(Identifier[i] << 8 | Identifier[i + 1]));
    out = platform::Utf16ToUtf8(units);
  } else {
    out = platform::SanitizeUtf8(raw);
  }
  for (char& ch : out)
    if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) ch = '_';
  return out;
}

uint32_t RecordDateToDos(const RecordDate& Date) {
  platform::DateTimeParts p;
  p.Year = 1900 + Date[0];
  p.Month = Date[1];
  p.Day = Date[2];
  p.Hour = Date[3];
  p.Minute = Date[4];
  p.Second = Date[5];
  p.Millisecond = 0;
  TDateTime checked = 0;
  if (!platform::TryEncodeDateTime(p, checked))
    return platform::EncodeDosDateTime(platform::DateTimeParts{1980, 1, 1, 0, 0, 0, 0});
  return platform::EncodeDosDateTime(p);
}

}  // namespace iso
