#pragma once
// Logic that waits for the line without blocking the GUI thread, written as C++20 coroutines:
//
//   TTask<> TSomePage::Refresh() {
//     auto read = OnLine(Line(), [reg] { return ReadSomething(reg); });
//     Show(co_await read);
//   }
//
// Name an awaiter holding a closure, as above: GCC 12 destroys a closure made within the
// operand of co_await twice.
//   StartTask(Refresh(), AliveToken, ReportError);
//
// A task starts when it is awaited (or started) and resumes on the GUI thread each time a
// job it waits for has run on the line. The tasks started together form a run with an owner
// token: once the owner's token has expired, a job's result is never delivered; the run is
// destroyed instead, so that no result of a page that has gone reaches anything. On an
// inline line the whole run completes inside StartTask, as plain calls would.
#include <coroutine>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

#include "comm/LineWorker.h"

// What the tasks started together share.
struct TTaskRun {
  std::coroutine_handle<> Root;
  std::weak_ptr<void> Owner;
  std::function<void(std::exception_ptr)> OnError;
  bool Starting = true;
  bool Done = false;
  std::exception_ptr StartError;

  bool Cancelled() const { return Owner.expired(); }
  // Destroys the run's coroutines where they wait.
  void Cancel() {
    if (Done) return;
    Done = true;
    std::coroutine_handle<> root = std::exchange(Root, nullptr);
    if (root) root.destroy();
  }
  void Finish(std::exception_ptr error) {
    Done = true;
    Root = nullptr;
    if (!error) return;
    if (Starting)
      StartError = error;
    else if (OnError)
      OnError(error);
  }
};

namespace line_task {

struct TPromiseBase {
  std::coroutine_handle<> Continuation;
  std::exception_ptr Error;
  std::shared_ptr<TTaskRun> Run;

  std::suspend_always initial_suspend() noexcept { return {}; }
  struct TFinal {
    bool await_ready() noexcept { return false; }
    template <class P>
    std::coroutine_handle<> await_suspend(std::coroutine_handle<P> self) noexcept {
      std::coroutine_handle<> next = self.promise().Continuation;
      return next ? next : std::noop_coroutine();
    }
    void await_resume() noexcept {}
  };
  TFinal final_suspend() noexcept { return {}; }
  void unhandled_exception() { Error = std::current_exception(); }
};

template <class T>
struct TPromise : TPromiseBase {
  std::optional<T> Value;
  template <class U>
  void return_value(U&& value) {
    Value.emplace(std::forward<U>(value));
  }
  T Take() { return std::move(*Value); }
};

template <>
struct TPromise<void> : TPromiseBase {
  void return_void() {}
  void Take() {}
};

}  // namespace line_task

template <class T = void>
class [[nodiscard]] TTask {
 public:
  struct promise_type : line_task::TPromise<T> {
    TTask get_return_object() { return TTask(Handle::from_promise(*this)); }
  };
  using Handle = std::coroutine_handle<promise_type>;

  TTask(TTask&& other) noexcept : H(std::exchange(other.H, nullptr)) {}
  TTask& operator=(TTask&& other) noexcept {
    if (this != &other) {
      if (H) H.destroy();
      H = std::exchange(other.H, nullptr);
    }
    return *this;
  }
  ~TTask() {
    if (H) H.destroy();
  }

  bool await_ready() const noexcept { return false; }
  template <class P>
  std::coroutine_handle<> await_suspend(std::coroutine_handle<P> parent) noexcept {
    H.promise().Continuation = parent;
    H.promise().Run = parent.promise().Run;
    return H;
  }
  T await_resume() {
    if (H.promise().Error) std::rethrow_exception(H.promise().Error);
    return H.promise().Take();
  }

 private:
  explicit TTask(Handle h) : H(h) {}
  Handle H;
};

namespace line_task {

// The bottom of a run: owns the started task and reports how it ended.
struct TDetached {
  struct promise_type {
    std::shared_ptr<TTaskRun> Run;
    template <class Task>
    promise_type(Task&, const std::shared_ptr<TTaskRun>& run) : Run(run) {}
    TDetached get_return_object() {
      Run->Root = std::coroutine_handle<promise_type>::from_promise(*this);
      return {};
    }
    std::suspend_never initial_suspend() noexcept { return {}; }
    std::suspend_never final_suspend() noexcept { return {}; }
    void return_void() {}
    void unhandled_exception() { std::terminate(); }
  };
};

template <class T>
TDetached RunDetached(TTask<T> task, std::shared_ptr<TTaskRun> run) {
  std::exception_ptr error;
  try {
    co_await task;
  } catch (...) {
    error = std::current_exception();
  }
  run->Finish(error);
}

}  // namespace line_task

// Starts the task. An error raised before the task first waits for the line is raised here,
// as by a plain call (so is every error on an inline line); one raised after goes to onError
// on the GUI thread. When the owner's token expires while the task waits, the task is
// dropped where it waits.
// The task's result, if it has one, is not used.
template <class T>
void StartTask(TTask<T> task, std::weak_ptr<void> owner,
               std::function<void(std::exception_ptr)> onError) {
  auto run = std::make_shared<TTaskRun>();
  run->Owner = std::move(owner);
  run->OnError = std::move(onError);
  line_task::RunDetached(std::move(task), run);
  run->Starting = false;
  if (run->StartError) std::rethrow_exception(std::exchange(run->StartError, nullptr));
}

// co_await OnLine(line, job): runs job on the line and gives its result (or raises its
// error) on the GUI thread.
template <class F>
class [[nodiscard]] TOnLine {
 public:
  using TResult = std::invoke_result_t<F&>;
  TOnLine(TLineExecutor& line, F job, TLineExecutor::TJob after = nullptr)
      : Line(line), Job(std::move(job)), After(std::move(after)) {}

  bool await_ready() {
    if (!Line.Inline()) return false;
    // On an inline line the job is a plain call: no suspension, the error raised as is.
    Outcome = std::make_shared<TOutcome>();
    Outcome->Run(Job);
    if (!Outcome->Error && After) After();
    return true;
  }
  template <class P>
  void await_suspend(std::coroutine_handle<P> waiting) {
    Outcome = std::make_shared<TOutcome>();
    auto pending = std::make_shared<TPending>(waiting.promise().Run, waiting);
    // What follows the job runs only when it ended normally, as after a plain call.
    TLineExecutor::TJob after;
    if (After)
      after = [after = std::move(After), outcome = Outcome] {
        if (!outcome->Error) after();
      };
    Line.PostThen([job = std::move(Job), outcome = Outcome]() mutable { outcome->Run(job); },
                  [pending, outcome = Outcome](std::exception_ptr error) {
                    if (error) outcome->Error = error;
                    pending->Deliver();
                  },
                  std::move(after));
  }
  TResult await_resume() {
    if (Outcome->Error) std::rethrow_exception(Outcome->Error);
    if constexpr (!std::is_void_v<TResult>) return std::move(*Outcome->Value);
  }

 private:
  struct TOutcome {
    using TStored = std::conditional_t<std::is_void_v<TResult>, bool, TResult>;
    std::optional<TStored> Value;
    std::exception_ptr Error;
    void Run(F& job) {
      try {
        if constexpr (std::is_void_v<TResult>) {
          job();
          Value.emplace(true);
        } else {
          Value.emplace(job());
        }
      } catch (...) {
        Error = std::current_exception();
      }
    }
  };
  // The waiting task's way back; a completion that never comes (a worker stopped with the
  // job queued) drops the run like one of an owner that has gone.
  struct TPending {
    TPending(std::shared_ptr<TTaskRun> run, std::coroutine_handle<> waiting)
        : Run(std::move(run)), Waiting(waiting) {}
    ~TPending() {
      if (!Handled && Run) Run->Cancel();
    }
    void Deliver() {
      Handled = true;
      if (!Run || Run->Done) return;
      if (Run->Cancelled())
        Run->Cancel();
      else
        Waiting.resume();
    }
    std::shared_ptr<TTaskRun> Run;
    std::coroutine_handle<> Waiting;
    bool Handled = false;
  };

  TLineExecutor& Line;
  F Job;
  TLineExecutor::TJob After;
  std::shared_ptr<TOutcome> Outcome;
};

template <class F>
TOnLine<F> OnLine(TLineExecutor& line, F job) {
  return TOnLine<F>(line, std::move(job));
}
// The same, with the pause the job's exchange prescribes: it runs on the line after the job
// (when the job ended normally) and before any later job, while the result is already back.
template <class F>
TOnLine<F> OnLine(TLineExecutor& line, F job, TLineExecutor::TJob after) {
  return TOnLine<F>(line, std::move(job), std::move(after));
}
