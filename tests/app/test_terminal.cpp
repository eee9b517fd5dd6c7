// The terminal window: its list's bounded history, filter and saved log; the hand-made frame
// only while calibration is enabled.
#include <gtest/gtest.h>

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>

#include "app/TerminalWindow.h"
#include "comm/prPort.h"
#include "support/PortRig.h"
#include "support/QtApp.h"

namespace {

using enum TExchangeOutcome;

TExchangeRecord Exchange(int address, TExchangeOutcome outcome) {
  TExchangeRecord r;
  r.Port = "/dev/ttyS0";
  r.Address = address;
  r.Request = {uint8_t(address), 0x03, 0x00, 0x1A, 0x00, 0x01, 0xA5, 0x5A};
  if (outcome == Answered) r.Reply = {uint8_t(address), 0x03, 0x02, 0x00, 0x05, 0x11, 0x22};
  r.Outcome = outcome;
  return r;
}

QStringList Lines(const QString& path) {
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
  QStringList lines;
  QTextStream in(&file);
  while (!in.atEnd()) lines << in.readLine();
  return lines;
}

TEST(TerminalModel, BoundedHistoryFilterAndSavedLog) {
  TestApp();
  TTerminalModel model(10);
  // Twenty-five exchanges, every third one to address 2 and unanswered.
  for (int i = 0; i < 25; ++i) {
    TExchangeRecord r = i % 3 ? Exchange(1, Answered) : Exchange(2, Timeout);
    r.Number = uint64_t(i + 1);
    model.Append(r, 1);
  }
  ASSERT_EQ(model.HistorySize(), 10u);
  ASSERT_EQ(model.rowCount(), 10);
  EXPECT_EQ(model.Record(0).Number, 16u);  // the oldest went
  EXPECT_EQ(model.Record(9).Number, 25u);

  struct TFilter {
    int Address;
    unsigned Outcomes;
    int Rows;
  };
  const TFilter filters[] = {
      {2, TTerminalModel::AllOutcomes, 4},  // 16, 19, 22 and 25
      {-1, 1u << unsigned(Timeout), 4},
      {1, 1u << unsigned(Timeout), 0},
      {-1, TTerminalModel::AllOutcomes, 10},
  };
  for (const TFilter& f : filters) {
    model.SetFilter(f.Address, f.Outcomes);
    EXPECT_EQ(model.rowCount(), f.Rows) << f.Address << " " << f.Outcomes;
  }
  // A filtered list stays within the history as the oldest go.
  model.SetFilter(2, TTerminalModel::AllOutcomes);
  for (int i = 0; i < 10; ++i) model.Append(Exchange(1, Answered), 1);
  EXPECT_EQ(model.rowCount(), 0);
  model.Append(Exchange(2, Timeout), 1);
  EXPECT_EQ(model.rowCount(), 1);

  model.SetFilter(-1, TTerminalModel::AllOutcomes);
  QTemporaryDir dir;
  const QString text = dir.filePath("log.txt"), csv = dir.filePath("log.csv");
  ASSERT_TRUE(model.SaveText(text));
  ASSERT_TRUE(model.SaveCsv(csv));
  const QStringList textLines = Lines(text), csvLines = Lines(csv);
  ASSERT_EQ(textLines.size(), model.rowCount());
  ASSERT_EQ(csvLines.size(), model.rowCount() + 1);
  EXPECT_TRUE(csvLines[0].startsWith(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString()));
  // Each line carries the register and both frames in hex, as the list shows them.
  for (int row = 0; row < model.rowCount(); ++row) {
    const QString request = model.data(model.index(row, TTerminalModel::colRequest), Qt::DisplayRole).toString();
    const QString name = model.data(model.index(row, TTerminalModel::colRegister), Qt::DisplayRole).toString();
    EXPECT_EQ(name, "NETWDT");
    for (const QString& line : {textLines[row], csvLines[row + 1]}) {
      EXPECT_TRUE(line.contains(request)) << line.toStdString();
      EXPECT_TRUE(line.contains(name)) << line.toStdString();
    }
  }
  model.Clear();
  EXPECT_EQ(model.rowCount(), 0);
  EXPECT_EQ(model.HistorySize(), 0u);
}

// A frame typed by hand goes only while calibration is enabled; it gets its checksum and its
// reply is listed, decoded.
TEST(TerminalWindow, HandFrameOnlyWithCalibration) {
  TestApp();
  TPortRig rig;
  rig.Bus->AddModel(1, 3);
  ASSERT_TRUE(rig.Start());
  TTerminalWindow window(&rig.Form);
  window.show();
  window.Drain();
  EXPECT_FALSE(window.btSend->isEnabled());
  rig.Form.SetCalibrationEnabled(true);
  window.Drain();
  ASSERT_TRUE(window.btSend->isEnabled());
  const size_t before = rig.Sim->Frames.size();
  window.edFrame->setText("03 03 00 1A 00 01");
  window.btSend->click();
  ASSERT_EQ(rig.Sim->Frames.size(), before + 1);
  EXPECT_EQ(rig.Sim->Frames.back().size(), 8u);  // with its CRC-16
  TTerminalModel& log = *window.Model();
  ASSERT_GE(log.rowCount(), 1);
  const TExchangeRecord& r = log.Record(log.rowCount() - 1);
  EXPECT_EQ(r.Outcome, Answered);
  EXPECT_EQ(log.data(log.index(log.rowCount() - 1, TTerminalModel::colRegister), Qt::DisplayRole), "NETWDT");
  // Not hex: nothing goes.
  window.edFrame->setText("03 0Z");
  window.btSend->click();
  EXPECT_EQ(rig.Sim->Frames.size(), before + 1);
}

}  // namespace
