#include "scripted_recorder.h"

#include <cmath>

#include "../device/scripted_drive.h"

namespace {

constexpr uint8_t kInquiry = 0x12, kModeSense10 = 0x5A, kSetCdSpeed = 0xBB,
                  kGetConfiguration = 0x46;
constexpr uint8_t kPageCapabilities = 0x2A;

void PutBe16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v >> 8);
  b[at + 1] = static_cast<uint8_t>(v);
}

uint16_t Kbps(uint16_t x) {
  return static_cast<uint16_t>(std::lround(x * 176.46));
}

void Text(std::vector<uint8_t>& b, size_t at, size_t width, const std::string& s) {
  for (size_t i = 0; i < width; ++i) b[at + i] = i < s.size() ? static_cast<uint8_t>(s[i]) : ' ';
}

}  // namespace

TScriptedRecorder::TScriptedRecorder() = default;
TScriptedRecorder::~TScriptedRecorder() = default;

std::string TScriptedRecorder::Entry() {
  return "0:0:0,?: TIDEMARKSCRIPTED RECORDER1.0 ";
}

size_t TScriptedRecorder::CommandCount() const {
  return FDrive ? FDrive->sent.size() : 0;
}

TGuiEnvironment TScriptedRecorder::Environment(const TGuiEnvironment& base) {
  TGuiEnvironment env = base;
  env.StartTransport = [this](TzqCDBurner& burner, std::vector<std::string>& devices) {
    FDrive = std::make_unique<ScriptedDrive>(burner);
    FDrive->OnCommand([this](SRB_ExecSCSICmd& srb) {
      switch (srb.CDBByte[0]) {
        case kInquiry: {
          std::vector<uint8_t> r(96, 0);
          r[0] = 0x05;
          r[4] = 91;
          Text(r, 8, 8, "TIDEMARK");
          Text(r, 16, 16, "SCRIPTED RECORDER");
          Text(r, 32, 4, "1.0");
          ScriptedDrive::Reply(srb, r);
          return;
        }
        case kModeSense10: {
          if ((srb.CDBByte[2] & 0x3F) != kPageCapabilities) {
            ScriptedDrive::CheckCondition(srb, 0x05, 0x24, 0x00);
            return;
          }
          std::vector<uint8_t> r(8 + 28, 0);
          PutBe16(r, 0, static_cast<uint32_t>(r.size() - 2));
          r[8] = kPageCapabilities;
          r[9] = 26;
          r[10] = 0x03;  // reads CD-R, CD-RW
          r[11] = WriteCaps;
          PutBe16(r, 8 + 8, Kbps(MaxReadSpeed));
          PutBe16(r, 8 + 12, 2048);  // buffer, kilobytes
          PutBe16(r, 8 + 14, Kbps(MaxReadSpeed));
          PutBe16(r, 8 + 18, Kbps(MaxSpeed));
          PutBe16(r, 8 + 20, Kbps(Current));
          ScriptedDrive::Reply(srb, r);
          return;
        }
        case kSetCdSpeed: {
          const uint32_t kbps = uint32_t{srb.CDBByte[4]} << 8 | srb.CDBByte[5];
          const uint32_t wanted = kbps == 0xFFFF ? 0xFFFF : kbps / 177;
          Current = Speeds.empty() ? 0 : Speeds.back();
          for (uint16_t s : Speeds) {
            if (s <= wanted) {
              Current = s;
              break;
            }
          }
          return;
        }
        case kGetConfiguration: {
          std::vector<uint8_t> r(8, 0);
          PutBe16(r, 2, 4);
          PutBe16(r, 6, Profile);
          ScriptedDrive::Reply(srb, r);
          return;
        }
        default:
          return;
      }
    });
    devices = {Entry()};
    return true;
  };
  return env;
}
