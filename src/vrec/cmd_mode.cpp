// MODE SENSE (6)/(10) and MODE SELECT (6)/(10).

#include "vrec/drive_internal.h"
#include "vrec/mmc.h"
#include "vrec/mode_pages.h"

namespace vrec::detail {

void ModeSense(Ctx& c) {
  bool ten = c.cdb()[0] == mmc::kModeSense10;
  constexpr std::size_t kPage = 2, kSubpage = 3;
  std::uint8_t page = c.cdb()[kPage] & 0x3F;
  auto pc = static_cast<PageControl>(c.cdb()[kPage] >> 6);
  std::size_t alloc = ten ? get_be16(c.cdb(), 7) : c.cdb()[4];
  if (pc == PageControl::kSaved) {
    c.Fail(sense::kSavingParametersNotSupported);
    return;
  }
  if (c.cdb()[kSubpage] != 0 && c.cdb()[kSubpage] != 0xFF) {
    c.Fail(sense::kInvalidFieldInCdb);
    return;
  }
  // Header without block descriptors: 8 bytes for (10), 4 for (6).
  std::size_t header = ten ? 8 : 4;
  std::vector<std::uint8_t> r(header, 0);
  if (!AppendModePage(c.s, page, pc, r)) {
    c.Fail(sense::kInvalidFieldInCdb);
    return;
  }
  if (ten) {
    put_be16(r, 0, static_cast<std::uint32_t>(r.size() - 2));
  } else {
    r[0] = static_cast<std::uint8_t>(std::min<std::size_t>(r.size() - 1, 0xFF));
  }
  c.Reply(r, alloc);
}

namespace {

// Applies one page sent by the host; false (with the sense raised) when it
// changes what cannot be changed or holds values the recorder cannot use.
bool ApplyPage(Ctx& c, ConstBytes page) {
  std::uint8_t code = page[0] & 0x3F;
  std::vector<std::uint8_t> current, mask;
  if (!AppendModePage(c.s, code, PageControl::kCurrent, current) ||
      !AppendModePage(c.s, code, PageControl::kChangeable, mask)) {
    c.Fail(sense::kInvalidFieldInParameterList);
    return false;
  }
  std::size_t n = std::min(page.size(), current.size());
  std::vector<std::uint8_t> next = current;
  for (std::size_t i = 2; i < n; ++i) {
    if (((page[i] ^ current[i]) & ~mask[i]) != 0) {
      c.Fail(sense::kInvalidFieldInParameterList);
      return false;
    }
    next[i] = static_cast<std::uint8_t>((current[i] & ~mask[i]) | (page[i] & mask[i]));
  }
  if (code != mmc::kPageWriteParameters) return true;
  std::uint8_t write_type = next[2] & 0x0F;
  std::uint8_t block_type = next[4] & 0x0F;
  // Raw recording is not offered; every other write type takes data blocks
  // of a size the table knows.
  if (write_type == mmc::kWriteTypeRaw || write_type > mmc::kWriteTypeRaw ||
      mmc::BlockSizeOfDataBlockType(block_type) == 0) {
    c.Fail(sense::kInvalidFieldInParameterList);
    return false;
  }
  std::copy(next.begin(), next.begin() + kPage05Length, c.s.page05.begin());
  return true;
}

}  // namespace

void ModeSelect(Ctx& c) {
  bool ten = c.cdb()[0] == mmc::kModeSelect10;
  constexpr std::uint8_t kSavePages = 0x01;
  if (c.cdb()[1] & kSavePages) {
    c.Fail(sense::kSavingParametersNotSupported);
    return;
  }
  std::size_t length = ten ? get_be16(c.cdb(), 7) : c.cdb()[4];
  if (length == 0) return;
  ConstBytes list = c.Params(length);
  if (c.failed()) return;
  std::size_t header = ten ? 8 : 4;
  if (list.size() < header) {
    c.Fail(sense::kParameterListLengthError);
    return;
  }
  std::size_t descriptors = ten ? get_be16(list, 6) : list[3];
  std::size_t at = header + descriptors;
  if (at > list.size()) {
    c.Fail(sense::kParameterListLengthError);
    return;
  }
  while (at < list.size()) {
    if (list.size() - at < 2) {
      c.Fail(sense::kParameterListLengthError);
      return;
    }
    std::size_t page_length = std::size_t{list[at + 1]} + 2;
    if (page_length > list.size() - at) {
      c.Fail(sense::kParameterListLengthError);
      return;
    }
    if (!ApplyPage(c, list.subspan(at, page_length))) return;
    at += page_length;
  }
}

}  // namespace vrec::detail
