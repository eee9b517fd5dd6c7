// Selecting a port or a module puts that port's line settings on the shared line.
#include <gtest/gtest.h>

#include "comm/Clock.h"
#include "comm/prPort.h"
#include "shell/MainUnit.h"
#include "shell/prNode.h"
#include "sim/SimBackend.h"

TEST(SelectLineSettings, EachPortsSettingsGoOnTheLineWhenItsNodeIsSelected) {
  TFakeClock clock;
  TClockGuard guard(&clock);
  auto backend = std::make_unique<TSimBackend>(std::make_shared<TSimBus>());
  TSimBackend* sim = backend.get();
  TComPort line(std::move(backend));
  TMainForm form(line);
  form.EnumPorts = [](std::vector<std::string>& list) { list = {"/dev/ttyA", "/dev/ttyB"}; };
  ASSERT_TRUE(form.FormShowFirst());
  TTreeNode* a = form.Root()->Children.at(0).get();
  TTreeNode* b = form.Root()->Children.at(1).get();
  TTreeNode* onA = form.AddDevice(a, 1, 1);
  TTreeNode* onB = form.AddDevice(b, 2, 5);
  static_cast<TprPort*>(b->Data)->BaudRate = "115200";  // as the port page leaves it

  form.Select(onA);
  EXPECT_EQ(sim->Line.BaudRate, br9600);
  // A fresh line returns from a read at once; the port's automatic time-outs wait for replies.
  EXPECT_GT(sim->Timeouts.ReadTotalConstant, 0);
  form.Select(onB);
  EXPECT_EQ(sim->Line.BaudRate, br115200);
  form.Select(a);
  EXPECT_EQ(sim->Line.BaudRate, br9600);
}
