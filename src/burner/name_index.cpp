#include "burner/name_index.h"

void TNameIndex::Insert(uint64_t Key, TFEntry* Entry) {
  // At most half the slots in use keeps the probes short.
  if ((used_ + 1) * 2 > slots_.size()) Grow();
  const size_t mask = slots_.size() - 1;
  for (size_t i = Home(Key, mask);; i = (i + 1) & mask) {
    Slot& s = slots_[i];
    if (s.entry == nullptr) {
      s = Slot{Key, Entry};
      ++count_;
      ++used_;
      return;
    }
  }
}

bool TNameIndex::Erase(uint64_t Key, TFEntry* Entry) {
  if (slots_.empty()) return false;
  const size_t mask = slots_.size() - 1;
  for (size_t i = Home(Key, mask);; i = (i + 1) & mask) {
    Slot& s = slots_[i];
    if (s.entry == nullptr) return false;
    if (s.entry == Entry && s.key == Key) {
      s.entry = Tombstone();
      --count_;
      return true;
    }
  }
}

void TNameIndex::Clear() {
  std::vector<Slot>().swap(slots_);
  count_ = 0;
  used_ = 0;
}

void TNameIndex::Grow() {
  size_t size = slots_.empty() ? 8 : slots_.size();
  // Grow when the live entries fill the table; otherwise rebuilding at the
  // same size drops the freed slots.
  while (count_ * 2 + 2 > size) size *= 2;
  std::vector<Slot> old;
  old.swap(slots_);
  slots_.assign(size, Slot{});
  count_ = 0;
  used_ = 0;
  for (const Slot& s : old)
    if (s.entry != nullptr && s.entry != Tombstone()) Insert(s.key, s.entry);
}
