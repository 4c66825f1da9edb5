#include "vrec/mode_pages.h"

#include "vrec/drive_internal.h"
#include "vrec/mmc.h"

namespace vrec::detail {
namespace {

void ReadErrorRecovery(PageControl pc, std::vector<std::uint8_t>& out) {
  constexpr std::uint8_t kLength = 0x0A;
  std::vector<std::uint8_t> p(2 + kLength, 0);
  p[0] = mmc::kPageReadErrorRecovery;
  p[1] = kLength;
  if (pc != PageControl::kChangeable) p[3] = 0x10;  // read retry count
  out.insert(out.end(), p.begin(), p.end());
}

void WriteParameters(const DriveState& s, PageControl pc, std::vector<std::uint8_t>& out) {
  std::vector<std::uint8_t> p;
  switch (pc) {
    case PageControl::kCurrent:
      p.assign(s.page05.begin(), s.page05.end());
      break;
    case PageControl::kDefault: {
      DriveState d;
      d.ResetWriteParameters();
      p.assign(d.page05.begin(), d.page05.end());
      break;
    }
    default: {
      // Changeable: everything the host sets for a recording.
      p.assign(kPage05Length, 0xFF);
      p[0] = mmc::kPageWriteParameters;
      p[1] = kPage05Length - 2;
      p[2] = 0x7F;  // BUFE, LS_V, test write, write type
      p[4] = 0x0F;  // data block type
      p[6] = 0x00;
      p[7] = 0x3F;  // host application code
      p[9] = 0x00;
      break;
    }
  }
  out.insert(out.end(), p.begin(), p.end());
}

void Capabilities(const DriveState& s, PageControl pc, std::vector<std::uint8_t>& out) {
  using namespace page2a;
  std::vector<std::uint32_t> speeds = WriteSpeedsKbps(s);
  std::vector<std::uint8_t> p(kDescriptors + 4 * speeds.size(), 0);
  p[0] = mmc::kPageCapabilities;
  p[1] = static_cast<std::uint8_t>(p.size() - 2);
  if (pc == PageControl::kChangeable) {
    out.insert(out.end(), p.begin(), p.end());
    return;
  }
  p[kReadCaps] = 0x3F;   // CD-R, CD-RW, method 2, DVD-ROM, DVD-R, DVD-RAM
  p[kWriteCaps] = 0x37;  // CD-R, CD-RW, test write, DVD-R, DVD-RAM
  p[kFeatures] = 0xF0;   // buffer underrun protection, multi-session, mode 2 forms 1 and 2
  p[kMechanism] = 0x29;  // tray, eject, lock
  if (s.prevent_removal) p[kMechanism] |= 0x02;
  put_be16(p, kMaxReadSpeed, MaxReadKbps(s));
  put_be16(p, kBufferSize, s.buffer_size / 1024);
  put_be16(p, kCurrentReadSpeed, CurrentReadKbps(s));
  put_be16(p, kMaxWriteSpeed, speeds.empty() ? 0 : speeds.front());
  put_be16(p, kCurrentWriteSpeedOld, CurrentWriteKbps(s));
  put_be16(p, kCurrentWriteSpeed, CurrentWriteKbps(s));
  put_be16(p, kDescriptorCount, static_cast<std::uint32_t>(speeds.size()));
  for (std::size_t i = 0; i < speeds.size(); ++i) {
    put_be16(p, kDescriptors + 4 * i + 2, speeds[i]);  // byte 1: rotation control 0 (CLV)
  }
  out.insert(out.end(), p.begin(), p.end());
}

}  // namespace

bool AppendModePage(const DriveState& s, std::uint8_t code, PageControl pc,
                    std::vector<std::uint8_t>& out) {
  switch (code) {
    case mmc::kPageReadErrorRecovery:
      ReadErrorRecovery(pc, out);
      return true;
    case mmc::kPageWriteParameters:
      WriteParameters(s, pc, out);
      return true;
    case mmc::kPageCapabilities:
      Capabilities(s, pc, out);
      return true;
    case mmc::kPageAll:
      ReadErrorRecovery(pc, out);
      WriteParameters(s, pc, out);
      Capabilities(s, pc, out);
      return true;
    default:
      return false;
  }
}

}  // namespace vrec::detail
