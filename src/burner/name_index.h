#pragma once
// The index of one folder's entries by name: an open-addressing table of
// (name hash, entry) pairs. Several entries may share a hash (one name
// twice, or two names that collide); callers compare the names.

#include <cstddef>
#include <cstdint>
#include <vector>

struct TFEntry;

class TNameIndex {
 public:
  void Insert(uint64_t Key, TFEntry* Entry);
  // Removes that one pair; false when it is not there.
  bool Erase(uint64_t Key, TFEntry* Entry);
  void Clear();
  size_t Size() const { return count_; }

  // Calls Fn(entry) for every entry stored under Key.
  template <typename Fn>
  void ForEach(uint64_t Key, Fn&& F) const {
    if (slots_.empty()) return;
    const size_t mask = slots_.size() - 1;
    for (size_t i = Home(Key, mask);; i = (i + 1) & mask) {
      const Slot& s = slots_[i];
      if (s.entry == nullptr) return;
      if (s.entry != Tombstone() && s.key == Key) F(s.entry);
    }
  }

 private:
  struct Slot {
    uint64_t key = 0;
    TFEntry* entry = nullptr;  // null: never used; Tombstone(): freed
  };
  static TFEntry* Tombstone() { return reinterpret_cast<TFEntry*>(alignof(std::max_align_t)); }
  static size_t Home(uint64_t key, size_t mask) {
    return static_cast<size_t>((key ^ (key >> 29)) * 0x9E3779B97F4A7C15ull >> 7) & mask;
  }
  void Grow();

  std::vector<Slot> slots_;
  size_t count_ = 0;
  size_t used_ = 0;  // live and freed slots: probes stop only at never-used ones
};
