#pragma once
// The completion event of one request: an eventfd whose descriptor travels
// in SRB_PostProc. A library that answers SS_PENDING writes the value 1 to
// it once SRB_Status is final.

#include <cstdint>

namespace device {

class CompletionEvent {
 public:
  CompletionEvent() = default;
  ~CompletionEvent() { Close(); }
  CompletionEvent(const CompletionEvent&) = delete;
  CompletionEvent& operator=(const CompletionEvent&) = delete;

  bool Create();
  int fd() const { return fd_; }
  // The descriptor widened to pointer size, as SRB_PostProc carries it.
  void* AsPostProc() const;
  // Waits until the event is signalled or timeout_ms pass; true when signalled.
  bool Wait(int32_t timeout_ms);
  void Close();
  // Gives the descriptor up without closing it (a library may still signal it).
  int Release();

 private:
  int fd_ = -1;
};

}  // namespace device
