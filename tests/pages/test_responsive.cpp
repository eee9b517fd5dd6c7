// The page's work waits for the line without blocking: the page against one simulated module,
// its exchanges queued on a line whose jobs the test runs one by one (fake clock, no threads),
// and the line worker's own thread.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "comm/LineWorker.h"
#include "pages/RhoCalibrateUnit.h"
#include "support/PageRig.h"

namespace {

// The page rig with the port's exchanges on a line the test steps through.
struct TSteppedRig : TPageRig {
  explicit TSteppedRig(int model = 1) : TPageRig(model) { Port.Executor = &Line; }
  ~TSteppedRig() { Port.Executor = nullptr; }
  // Runs queued jobs until the page's cycle has ended (its timer is on again) or the line
  // has nothing left.
  void FinishCycle() {
    while (!Page->MainTimer.Enabled() && Line.RunOne()) {
    }
  }
  TManualLine Line;
};

// What a whole cycle of the first tab reads when nothing interrupts it.
std::vector<std::string> UninterruptedCycle(int model) {
  TPageRig plain(model);
  const size_t mark = plain.Mark();
  plain.Page->FormShow();
  return plain.Reads(mark);
}

TEST(Responsive, AWriteCommittedMidCycleGoesBetweenTwoReadsAndTheCycleGoesOn) {
  TSteppedRig rig;
  const size_t mark = rig.Mark();
  rig.Page->FormShow();
  // Nothing has touched the line yet: the page's work waits in the queue.
  EXPECT_EQ(rig.Mark(), mark);
  // The open check and three reads have run; the fourth read is with the line.
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(rig.Line.RunOne());
  ASSERT_EQ(rig.Reads(mark).size(), 3u);
  ASSERT_EQ(rig.Line.Pending(), 1u);
  rig.Page->edName->UserEdit("Насос");
  rig.Page->edName->UserKey(13);
  // The write comes after the read in flight and before the next one; the field keeps its
  // text and the focus until it is written.
  EXPECT_TRUE(rig.Page->edName->Focused());
  rig.FinishCycle();
  const std::vector<TSeenFrame> seen = rig.Seen(mark);
  ASSERT_GT(seen.size(), 5u);
  EXPECT_FALSE(seen[3].Write);
  EXPECT_TRUE(seen[4].Write);
  EXPECT_EQ(seen[4].Register, "MNAME");
  EXPECT_EQ(rig.Module->Text("MNAME"), "Насос");
  EXPECT_FALSE(rig.Page->edName->Focused());
  // The cycle read what it reads uninterrupted, in the same order.
  EXPECT_EQ(rig.Reads(mark), UninterruptedCycle(1));
  // Two commits in a row are written in the order committed.
  const size_t second = rig.Mark();
  rig.Page->edWD->UserEdit("7");
  rig.Page->edWD->UserKey(13);
  rig.Page->edName->UserEdit("Кран");
  rig.Page->edName->UserKey(13);
  rig.Line.RunAll();
  using WriteList = std::vector<std::pair<std::string, std::string>>;
  ASSERT_EQ(rig.Writes(second).size(), 2u);
  EXPECT_EQ(rig.Writes(second)[0], (WriteList::value_type{"NETWDT", "7"}));
  EXPECT_EQ(rig.Writes(second)[1].first, "MNAME");
}

TEST(Responsive, AHiddenPageShowsNothingOfTheReplyInFlightAndReadsNoMore) {
  TSteppedRig rig;
  rig.Module->SetInt("NETWDT", 42);
  rig.Page->FormShow();
  rig.FinishCycle();
  rig.Page->MainTimer.Tick();
  // The cycle has sent a read and waits for it; then the page is hidden (another node is
  // selected). Its line work ends with the exchange in flight.
  ASSERT_TRUE(rig.Line.RunOne());
  ASSERT_TRUE(rig.Line.RunOne());
  const std::string shown = rig.Page->edWD->Text();
  rig.Module->SetInt("NETWDT", 43);
  rig.Page->FormHide();
  const size_t mark = rig.Mark();
  rig.Line.RunAll();
  EXPECT_LE(rig.Mark() - mark, 1u);
  EXPECT_EQ(rig.Page->edWD->Text(), shown);
  EXPECT_FALSE(rig.Page->MainTimer.Enabled());
  // Shown again: fresh values.
  rig.Page->FormShow();
  rig.FinishCycle();
  EXPECT_EQ(rig.Page->edWD->Text(), "43");
}

// The dialog is gone before its closing writes have run: they still end the tuning mode and
// put back the settings the preparation changed.
TEST(Responsive, TheWizardsClosingWritesOutliveTheDialog) {
  TSteppedRig rig(4);
  rig.Module->SetInt("OUTTYPE1", 3);
  rig.Module->SetInt("SLEWRATE1", 5);
  {
    TRhoCalibrateForm wizard(rig.Model);
    wizard.FormShow();
    wizard.btForwardClick();
    rig.Line.RunAll();
    ASSERT_EQ(wizard.ActivePage(), TRhoCalibrateForm::tsValue);
    wizard.btCancelClick();
    ASSERT_TRUE(wizard.Close(TModalResult::Cancel));
  }
  const size_t mark = rig.Mark();
  rig.Line.RunAll();
  using WriteList = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(rig.Writes(mark), (WriteList{{"TUNINGENABLE", "0"}, {"OUTTYPE1", "3"}, {"SLEWRATE1", "5"}}));
  EXPECT_EQ(rig.Ui.Dialogs, 0);
}

TEST(Responsive, APageFreedWhileItsExchangeIsQueuedIsNeverResumed) {
  for (const bool run : {true, false}) {
    SCOPED_TRACE(run ? "the job runs after the page has gone" : "the job is dropped");
    TSteppedRig rig;
    rig.Page->FormShow();
    ASSERT_TRUE(rig.Line.RunOne());
    ASSERT_GT(rig.Line.Pending(), 0u);
    rig.Device->Page = nullptr;
    delete rig.Page;
    rig.Page = nullptr;
    // The sanitizers catch any touch of the freed page.
    if (run)
      rig.Line.RunAll();
    else
      rig.Line.Drop();
    EXPECT_EQ(rig.Line.Pending(), 0u);
    EXPECT_EQ(rig.Ui.Dialogs, 0);
  }
}

TEST(Responsive, ALostLineComesBackAndThePagePollsWithoutAClick) {
  TSteppedRig rig;
  rig.Page->FormShow();
  rig.FinishCycle();
  rig.Sim->Unplugged = true;
  rig.Page->MainTimer.Tick();
  rig.Line.RunAll();
  // Shown once, polling stopped, the failure display and the notice under the caption.
  EXPECT_EQ(rig.Ui.Dialogs, 1);
  EXPECT_FALSE(rig.Page->MainTimer.Enabled());
  EXPECT_TRUE(rig.LiveLooking(0).empty());
  EXPECT_NE(rig.Page->lbNotice.find(rig.Port.PortName()), std::string::npos);
  // Tries about once a second, quietly, while the device is away.
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(rig.Page->ReconnectTimer.Enabled());
    EXPECT_EQ(rig.Page->ReconnectTimer.Interval, 1000);
    rig.Clock.Now = rig.Page->ReconnectTimer.DueAtMs();
    rig.Page->ReconnectTimer.Tick();
    rig.Line.RunAll();
  }
  EXPECT_EQ(rig.Ui.Dialogs, 1);
  EXPECT_FALSE(rig.Page->lbNotice.empty());
  // Plugged in again: the next try opens the line with the port's settings, and the page
  // polls by itself.
  rig.Sim->Unplugged = false;
  const size_t mark = rig.Mark();
  rig.Clock.Now = rig.Page->ReconnectTimer.DueAtMs();
  rig.Page->ReconnectTimer.Tick();
  rig.FinishCycle();
  EXPECT_TRUE(rig.Page->lbNotice.empty());
  EXPECT_FALSE(rig.Page->ReconnectTimer.Enabled());
  EXPECT_TRUE(rig.Page->MainTimer.Enabled());
  EXPECT_EQ(rig.Reads(mark), UninterruptedCycle(1));
  EXPECT_FALSE(rig.LiveLooking(0).empty());
  EXPECT_EQ(rig.Ui.Dialogs, 1);
  // Hidden (another node selected): no more tries.
  rig.Sim->Unplugged = true;
  rig.Page->MainTimer.Tick();
  rig.Line.RunAll();
  ASSERT_TRUE(rig.Page->ReconnectTimer.Enabled());
  rig.Page->FormHide();
  EXPECT_FALSE(rig.Page->ReconnectTimer.Enabled());
}

// The GUI thread's queue, as a test holds it.
struct TQueuedGui : TGuiPoster {
  void Post(std::function<void()> action) override {
    std::lock_guard<std::mutex> hold(Lock);
    Actions.push_back(std::move(action));
  }
  std::vector<std::function<void()>> Take() {
    std::lock_guard<std::mutex> hold(Lock);
    return std::exchange(Actions, {});
  }
  std::mutex Lock;
  std::vector<std::function<void()>> Actions;
};

TEST(Responsive, TheWorkerRunsJobsInOrderOnItsThreadAndStopsAfterTheJobInFlight) {
  TQueuedGui gui;
  std::promise<void> started, release;
  std::shared_future<void> released = release.get_future().share();
  std::vector<int> completed;
  bool secondRan = false;
  std::thread::id jobThread;
  {
    TLineWorker worker(gui);
    worker.Post(
        [&] {
          jobThread = std::this_thread::get_id();
          started.set_value();
          released.wait();
        },
        [&](std::exception_ptr) { completed.push_back(1); });
    worker.Post([&] { secondRan = true; }, [&](std::exception_ptr) { completed.push_back(2); });
    started.get_future().wait();
    // The window closes mid-exchange: what is queued goes, the exchange in flight ends.
    worker.Stop();
    EXPECT_EQ(worker.Pending(), 1u);
    release.set_value();
  }
  EXPECT_NE(jobThread, std::this_thread::get_id());
  EXPECT_FALSE(secondRan);
  // Completions run where the GUI thread runs them, never on the worker.
  EXPECT_TRUE(completed.empty());
  for (auto& action : gui.Take()) action();
  EXPECT_EQ(completed, std::vector<int>{1});
}

TEST(Responsive, TheWorkerHandsAResultBackBeforeThePauseAndTheNextJobWaitsForIt) {
  TQueuedGui gui;
  std::mutex lock;
  std::vector<std::string> line;
  size_t completionsAtPause = 0;
  std::promise<void> secondDone;
  {
    TLineWorker worker(gui);
    const auto note = [&](const char* what) {
      std::lock_guard<std::mutex> hold(lock);
      line.push_back(what);
    };
    worker.PostThen([&] { note("read"); }, [](std::exception_ptr) {},
                    [&] {
                      completionsAtPause = gui.Take().size();
                      note("pause");
                    });
    worker.Post([&] { note("next"); secondDone.set_value(); }, [](std::exception_ptr) {});
    secondDone.get_future().wait();
  }
  EXPECT_EQ(completionsAtPause, 1u);
  EXPECT_EQ(line, (std::vector<std::string>{"read", "pause", "next"}));
}
}  // namespace
