#pragma once
// The terminal's list of exchanges: a bounded history, newest last, of which the rows passing
// the filter (an address, a set of outcomes) are shown; the oldest go when the history is full.
#include <QAbstractTableModel>
#include <cstdint>
#include <deque>
#include <vector>

#include "comm/ExchangeTap.h"

class TTerminalModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum TColumn { colTime, colPort, colAddress, colModel, colRegister, colValue, colOutcome,
                 colResponse, colRequest, colReply, ColumnCount };
  // A hundred thousand exchanges take about 23 MB (bench_terminal).
  static constexpr size_t DefaultCapacity = 100'000;

  explicit TTerminalModel(size_t capacity = DefaultCapacity, QObject* parent = nullptr);

  // modelIndex: the module's model, for the register names (0: not known).
  void Append(const TExchangeRecord& record, int modelIndex);
  void Clear();
  size_t HistorySize() const { return History.size(); }
  size_t Capacity() const { return Limit; }

  // address -1: every address; outcomes: a bit per TExchangeOutcome.
  static constexpr unsigned AllOutcomes = (1u << ExchangeOutcomeCount) - 1;
  void SetFilter(int address, unsigned outcomes);
  const TExchangeRecord& Record(int row) const;

  // What is listed, one exchange a line as the trace has it, or as CSV with a header line.
  bool SaveText(const QString& path) const;
  bool SaveCsv(const QString& path) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  struct TRow {
    TExchangeRecord Record;
    int Model = 0;
  };
  const TRow& RowAt(int row) const;
  bool Passes(const TRow& row) const;
  QString Cell(const TRow& row, int column) const;

  size_t Limit;
  std::deque<TRow> History;
  uint64_t FirstKept = 0;        // history position of History.front()
  std::deque<uint64_t> Visible;  // history positions of the rows shown
  int Address = -1;
  unsigned Outcomes = AllOutcomes;
};
