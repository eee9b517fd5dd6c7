#include "app/TerminalModel.h"

#include <QColor>
#include <QFile>
#include <QTextStream>

#include "app/QtUi.h"
#include "models/BusTrace.h"

namespace {

// A tint per outcome; a reply that came whole keeps the list's own colours.
QColor OutcomeColour(TExchangeOutcome outcome) {
  switch (outcome) {
    case TExchangeOutcome::Answered: return {};
    case TExchangeOutcome::Timeout: return QColor(255, 222, 222);
    case TExchangeOutcome::BadChecksum: return QColor(255, 206, 158);
    case TExchangeOutcome::WrongLength: return QColor(255, 243, 166);
    case TExchangeOutcome::Exception: return QColor(206, 226, 255);
    case TExchangeOutcome::Late: return QColor(228, 212, 255);
    case TExchangeOutcome::WhileSending: return QColor(255, 200, 232);
  }
  return {};
}

const char* const ColumnTitles[TTerminalModel::ColumnCount] = {
    "Время", "Порт", "Адрес", "Модуль", "Регистр", "Значение", "Результат", "Ответ, мс",
    "Запрос", "Ответ"};

QString CsvField(const QString& text) {
  if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"'))) return text;
  QString quoted = text;
  quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
  return QLatin1Char('"') + quoted + QLatin1Char('"');
}

}  // namespace

TTerminalModel::TTerminalModel(size_t capacity, QObject* parent)
    : QAbstractTableModel(parent), Limit(std::max<size_t>(capacity, 1)) {}

void TTerminalModel::Append(const TExchangeRecord& record, int modelIndex) {
  if (History.size() == Limit) {
    // The oldest exchange goes, and its row if it is shown.
    if (!Visible.empty() && Visible.front() == FirstKept) {
      beginRemoveRows({}, 0, 0);
      Visible.pop_front();
      endRemoveRows();
    }
    History.pop_front();
    ++FirstKept;
  }
  History.push_back({record, modelIndex});
  if (!Passes(History.back())) return;
  const int row = int(Visible.size());
  beginInsertRows({}, row, row);
  Visible.push_back(FirstKept + History.size() - 1);
  endInsertRows();
}

void TTerminalModel::Clear() {
  beginResetModel();
  FirstKept += History.size();
  History.clear();
  Visible.clear();
  endResetModel();
}

void TTerminalModel::SetFilter(int address, unsigned outcomes) {
  beginResetModel();
  Address = address;
  Outcomes = outcomes;
  Visible.clear();
  for (size_t i = 0; i < History.size(); ++i)
    if (Passes(History[i])) Visible.push_back(FirstKept + i);
  endResetModel();
}

bool TTerminalModel::Passes(const TRow& row) const {
  return (Address < 0 || row.Record.Address == Address) &&
         (Outcomes & (1u << unsigned(row.Record.Outcome))) != 0;
}

const TTerminalModel::TRow& TTerminalModel::RowAt(int row) const {
  return History[size_t(Visible[size_t(row)] - FirstKept)];
}

const TExchangeRecord& TTerminalModel::Record(int row) const { return RowAt(row).Record; }

int TTerminalModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(Visible.size());
}

int TTerminalModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QString TTerminalModel::Cell(const TRow& row, int column) const {
  const TExchangeRecord& r = row.Record;
  switch (column) {
    case colTime: return QString::fromStdString(TimeOfDayText(r));
    case colPort: return QString::fromStdString(r.Port);
    case colAddress: return r.Address >= 0 ? QString::number(r.Address) : QString();
    case colModel: return row.Model > 0 ? QString::fromUtf8(ModelNames[row.Model].Name) : QString();
    case colRegister: return QString::fromStdString(DecodeExchange(r, row.Model).Register);
    case colValue: {
      const TExchangeMeaning m = DecodeExchange(r, row.Model);
      const QString value = QString::fromStdString(m.Value);
      return m.Write && !value.isEmpty() ? QStringLiteral(":= ") + value : value;
    }
    case colOutcome: {
      QString text = QString::fromStdString(OutcomeText(r.Outcome));
      if (r.Outcome == TExchangeOutcome::Exception) text += QLatin1Char(' ') + QString::number(r.ExceptionCode);
      return text;
    }
    case colResponse: return QString::fromStdString(ResponseText(r));
    case colRequest: return QString::fromStdString(HexBytes(r.Request));
    case colReply: return QString::fromStdString(HexBytes(r.Reply));
  }
  return {};
}

QVariant TTerminalModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const TRow& row = RowAt(index.row());
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      return Cell(row, index.column());
    case Qt::BackgroundRole:
      if (QColor c = OutcomeColour(row.Record.Outcome); c.isValid()) return c;
      return {};
    case Qt::ForegroundRole:
      // The tints are light: dark text on them whatever the theme.
      if (OutcomeColour(row.Record.Outcome).isValid()) return QColor(Qt::black);
      return {};
    case Qt::TextAlignmentRole:
      if (index.column() == colAddress || index.column() == colResponse)
        return int(Qt::AlignRight | Qt::AlignVCenter);
      return {};
  }
  return {};
}

QVariant TTerminalModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
      section >= ColumnCount)
    return {};
  return ToQt(ColumnTitles[section]);
}

bool TTerminalModel::SaveText(const QString& path) const {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) return false;
  QTextStream out(&file);
  for (int i = 0; i < rowCount(); ++i)
    out << QString::fromStdString(TraceLine(RowAt(i).Record, RowAt(i).Model)) << '\n';
  out.flush();
  return file.error() == QFile::NoError;
}

bool TTerminalModel::SaveCsv(const QString& path) const {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) return false;
  QTextStream out(&file);
  for (int c = 0; c < ColumnCount; ++c)
    out << (c ? "," : "") << CsvField(headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
  out << '\n';
  for (int i = 0; i < rowCount(); ++i) {
    const TRow& row = RowAt(i);
    for (int c = 0; c < ColumnCount; ++c) out << (c ? "," : "") << CsvField(Cell(row, c));
    out << '\n';
  }
  out.flush();
  return file.error() == QFile::NoError;
}
