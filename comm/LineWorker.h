#pragma once
// Where the exchanges of a serial line run. The window must never wait for the line: a line
// worker owns the line on a thread of its own and runs its jobs strictly one after another
// (an exchange, its pause, the guard), and hands each job's outcome back to the GUI thread.
// Without a worker (the command-line tool, tests) a job runs at once on the calling thread.
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// Runs jobs of the line in the order posted.
class TLineExecutor {
 public:
  virtual ~TLineExecutor() = default;
  using TJob = std::function<void()>;
  // Runs on the thread that posted the job (the GUI thread) with the job's error, null when
  // it ended normally.
  using TDone = std::function<void(std::exception_ptr)>;
  // Queues the job behind every job posted before it.
  virtual void Post(TJob job, TDone done) = 0;
  // Queues the job followed by after (the pause a finished exchange prescribes; it must not
  // raise), which still runs before any later job. The completion may run as soon as the job
  // ends, while after still runs.
  virtual void PostThen(TJob job, TDone done, TJob after) {
    Post(
        [job = std::move(job), after = std::move(after)] {
          job();
          if (after) after();
        },
        std::move(done));
  }
  // True when Post runs the job and its completion before returning.
  virtual bool Inline() const { return false; }
};

// The executor that runs each job at once on the calling thread.
TLineExecutor& InlineLine();

// Hands a function to the GUI thread, to run there after what is already queued for it. The
// program implements it with its event loop.
class TGuiPoster {
 public:
  virtual ~TGuiPoster() = default;
  virtual void Post(std::function<void()> action) = 0;
};

// A thread of its own running the jobs of one line in order.
class TLineWorker : public TLineExecutor {
 public:
  explicit TLineWorker(TGuiPoster& gui);
  // Stops, then joins the thread once the job in flight has ended (its exchange completes or
  // times out).
  ~TLineWorker() override;
  TLineWorker(const TLineWorker&) = delete;
  TLineWorker& operator=(const TLineWorker&) = delete;

  void Post(TJob job, TDone done) override;
  // The completion goes to the GUI thread before after runs: the window handles the result
  // while the line keeps its pause.
  void PostThen(TJob job, TDone done, TJob after) override;
  // Jobs queued and not yet finished (the one in flight included).
  size_t Pending() const;
  // Drops the jobs not started (their completions never run; they are destroyed here) and
  // takes no more; the job in flight ends on its own. Returns at once.
  void Stop();

 private:
  struct TItem {
    TJob Job;
    TDone Done;
    TJob After;
  };
  void Run();

  TGuiPoster& Gui;
  mutable std::mutex Lock;
  std::condition_variable Wake;
  std::deque<TItem> Queue;
  bool InFlight = false;
  bool Stopping = false;
  std::thread Thread;
};

// Runs each job later on the GUI thread, from its event loop: the order and the completions of
// a worker, without its thread (for checks of the window with a simulated line).
class TDeferredLine : public TLineExecutor {
 public:
  explicit TDeferredLine(TGuiPoster& gui) : Gui(gui) {}
  void Post(TJob job, TDone done) override;
  // Jobs posted and not yet run.
  size_t Pending() const { return *Queued; }

 private:
  TGuiPoster& Gui;
  std::shared_ptr<size_t> Queued = std::make_shared<size_t>(0);
};

// Jobs wait until the test runs them: the order of jobs and completions is the test's to
// choose, with no thread and no event loop.
class TManualLine : public TLineExecutor {
 public:
  void Post(TJob job, TDone done) override { Queue.push_back({std::move(job), std::move(done)}); }
  size_t Pending() const { return Queue.size(); }
  // Runs the oldest job and its completion; false when none is queued.
  bool RunOne();
  // Runs jobs until none is left (those posted meanwhile included).
  void RunAll() {
    while (RunOne()) {
    }
  }
  // Drops every queued job without running it or its completion.
  void Drop() { Queue.clear(); }

 private:
  struct TItem {
    TJob Job;
    TDone Done;
  };
  std::deque<TItem> Queue;
};
