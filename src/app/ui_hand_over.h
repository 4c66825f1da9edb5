#pragma once
// Hands work from a worker thread to the user-interface thread and waits
// until it has run there: the burner raises its completion events on the
// job's thread, and their handlers change the window.
//
// Called on the user-interface thread itself (an image save written there,
// a job whose start failed before its threads ran), the work runs at once:
// a queued call there would wait for a loop that cannot turn. Once the
// window closes the hand-over, every waiting worker goes on without the
// work, so a window being taken down never waits for a worker that waits
// for it.

#include <QObject>

#include <functional>
#include <memory>

class TUiHandOver {
 public:
  // `context` is the object on whose thread the work runs.
  explicit TUiHandOver(QObject* context);
  ~TUiHandOver();
  TUiHandOver(const TUiHandOver&) = delete;
  TUiHandOver& operator=(const TUiHandOver&) = delete;

  // Runs `work` on the context's thread and returns when it has run (or
  // has thrown: the exception goes to the message loop's handler). False,
  // with `work` not run, once Close has been called. Safe from any thread.
  bool Run(const std::function<void()>& work);

  // From the context's thread: no more work is run; waiting callers go on.
  void Close();

 private:
  struct TShared;
  QObject* FContext;
  std::shared_ptr<TShared> FShared;
};
