#include "app/ui_hand_over.h"

#include <QThread>

#include <condition_variable>
#include <mutex>

struct TUiHandOver::TShared {
  std::mutex Lock;
  std::condition_variable Changed;
  bool Closed = false;
};

namespace {

// One hand-over: done once the work has run, or will never run.
struct TTicket {
  bool Done = false;
};

}  // namespace

TUiHandOver::TUiHandOver(QObject* context)
    : FContext(context), FShared(std::make_shared<TShared>()) {}

TUiHandOver::~TUiHandOver() {
  Close();
}

bool TUiHandOver::Run(const std::function<void()>& work) {
  std::shared_ptr<TShared> shared = FShared;
  {
    std::lock_guard<std::mutex> hold(shared->Lock);
    if (shared->Closed) return false;
  }
  if (QThread::currentThread() == FContext->thread()) {
    work();
    return true;
  }
  auto ticket = std::make_shared<TTicket>();
  auto ran = std::make_shared<bool>(false);
  QMetaObject::invokeMethod(
      FContext,
      [shared, ticket, ran, work] {
        // Marks the ticket done however the work ends.
        struct TFinish {
          TShared& s;
          TTicket& t;
          ~TFinish() {
            {
              std::lock_guard<std::mutex> hold(s.Lock);
              t.Done = true;
            }
            s.Changed.notify_all();
          }
        } finish{*shared, *ticket};
        {
          std::lock_guard<std::mutex> hold(shared->Lock);
          if (shared->Closed) return;
          *ran = true;
        }
        work();
      },
      Qt::QueuedConnection);
  std::unique_lock<std::mutex> wait(shared->Lock);
  shared->Changed.wait(wait, [&] { return ticket->Done || shared->Closed; });
  return ticket->Done && *ran;
}

void TUiHandOver::Close() {
  {
    std::lock_guard<std::mutex> hold(FShared->Lock);
    FShared->Closed = true;
  }
  FShared->Changed.notify_all();
}
