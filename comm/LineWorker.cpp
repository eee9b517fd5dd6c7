#include "comm/LineWorker.h"

namespace {

// Runs a job; its error, if any, is handed on as the result instead of leaving the line.
std::exception_ptr RunJob(const TLineExecutor::TJob& job) {
  try {
    job();
  } catch (...) {
    return std::current_exception();
  }
  return nullptr;
}

class TInlineLine : public TLineExecutor {
 public:
  void Post(TJob job, TDone done) override {
    const std::exception_ptr error = RunJob(job);
    if (done) done(error);
  }
  bool Inline() const override { return true; }
};

}  // namespace

TLineExecutor& InlineLine() {
  static TInlineLine line;
  return line;
}

TLineWorker::TLineWorker(TGuiPoster& gui) : Gui(gui), Thread([this] { Run(); }) {}

TLineWorker::~TLineWorker() {
  Stop();
  Thread.join();
}

void TLineWorker::Stop() {
  std::deque<TItem> dropped;
  {
    std::lock_guard<std::mutex> hold(Lock);
    Stopping = true;
    dropped.swap(Queue);
  }
  Wake.notify_all();
  // The dropped completions go here, on the thread that owns them.
}

void TLineWorker::Post(TJob job, TDone done) { PostThen(std::move(job), std::move(done), nullptr); }

void TLineWorker::PostThen(TJob job, TDone done, TJob after) {
  {
    std::lock_guard<std::mutex> hold(Lock);
    if (Stopping) return;
    Queue.push_back({std::move(job), std::move(done), std::move(after)});
  }
  Wake.notify_one();
}

size_t TLineWorker::Pending() const {
  std::lock_guard<std::mutex> hold(Lock);
  return Queue.size() + (InFlight ? 1 : 0);
}

void TLineWorker::Run() {
  for (;;) {
    TItem item;
    {
      std::unique_lock<std::mutex> hold(Lock);
      Wake.wait(hold, [this] { return Stopping || !Queue.empty(); });
      if (Stopping) return;
      item = std::move(Queue.front());
      Queue.pop_front();
      InFlight = true;
    }
    const std::exception_ptr error = RunJob(item.Job);
    item.Job = nullptr;
    // The completion belongs to the GUI thread, even when it is only destroyed there: nothing
    // of it stays here.
    Gui.Post([done = std::move(item.Done), error] {
      if (done) done(error);
    });
    if (item.After) RunJob(item.After);
    std::lock_guard<std::mutex> hold(Lock);
    InFlight = false;
  }
}

void TDeferredLine::Post(TJob job, TDone done) {
  ++*Queued;
  Gui.Post([job = std::move(job), done = std::move(done), queued = Queued] {
    --*queued;
    const std::exception_ptr error = RunJob(job);
    if (done) done(error);
  });
}

bool TManualLine::RunOne() {
  if (Queue.empty()) return false;
  TItem item = std::move(Queue.front());
  Queue.pop_front();
  const std::exception_ptr error = RunJob(item.Job);
  if (item.Done) item.Done(error);
  return true;
}
