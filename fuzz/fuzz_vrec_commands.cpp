// Arbitrary command blocks and parameter lists against the recorder's
// command interpreter, on every medium, with time passing between them.
// Besides never crashing, every state the commands leave must be one the
// state folder's loader accepts back.
//
// Input: medium (1 byte), speed (1 byte), then records of
//   cdb length (1), cdb (6..16), direction (1), data length (2), data, clock step (1).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "vrec/drive.h"
#include "vrec/sector_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vrec::Cursor in(vrec::ConstBytes(data, size));
  auto medium = static_cast<vrec::Medium>(1 + in.u8() % (vrec::kMediumCount - 1));
  std::uint32_t speed_x10 = in.u8() % 4 == 0 ? 0 : 40;
  vrec::DriveState state = vrec::DriveState::Fresh(medium, 0);
  vrec::MemorySectorStore store(4096);
  vrec::Initiator initiator;
  std::int64_t now = 1'000'000'000;
  std::vector<std::uint8_t> buffer;
  for (int commands = 0; in.ok() && in.remaining() > 0 && commands < 64; ++commands) {
    std::size_t cdb_length = 6 + in.u8() % 11;
    vrec::ConstBytes cdb = in.raw(cdb_length);
    std::uint8_t dir = in.u8() % 3;
    std::size_t length = in.u16() % 70000;
    buffer.assign(length, 0);
    vrec::ConstBytes payload = in.raw(std::min(length, in.remaining()));
    std::copy(payload.begin(), payload.end(), buffer.begin());
    now += static_cast<std::int64_t>(in.u8()) * 250'000;
    if (cdb.empty()) break;
    vrec::Request request{cdb, static_cast<vrec::DataDirection>(dir), vrec::Bytes(buffer)};
    vrec::Response r = vrec::Execute(state, store, initiator, now, {speed_x10}, request);
    if (r.transferred > buffer.size() || r.duration_us < 0) std::abort();
    now += r.duration_us;
    std::string encoded = vrec::EncodeState(state);
    vrec::DriveState back;
    std::string error;
    if (!vrec::DecodeState(
            vrec::ConstBytes(reinterpret_cast<const std::uint8_t*>(encoded.data()), encoded.size()),
            &back, &error)) {
      std::abort();  // the recorder made a state it cannot load again
    }
  }
  return 0;
}
