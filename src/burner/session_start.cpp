// Where a burn's session begins on the loaded disc.

#include "burner/cd_burner.h"

// The disc's next writable address: DVD media start every session at 0;
// CD media (and any other) continue after their last session, found by
// reading the invisible track's information once the write parameters are
// set. Reading the disc belongs to the disc-information layer; until it is
// in place a burn lays its session out from sector 0, as a failed read of
// the address would.
int32_t TzqCDBurner::NextSessionStart() {
  return 0;
}
