#include "app/TerminalWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/ErrorBox.h"
#include "app/QtUi.h"
#include "comm/Resources.h"
#include "comm/prPort.h"
#include "shell/MainUnit.h"
#include "shell/TerminalUnit.h"
#include "shell/UiServices.h"

namespace {

QString Q(const char* text) { return ToQt(text); }

// The outcome list: every outcome, the failures only, or one outcome.
constexpr unsigned FailureOutcomes =
    TTerminalModel::AllOutcomes & ~(1u << unsigned(TExchangeOutcome::Answered));

// The diagnosis early, where it is seen without scrolling.
const char* const HealthTitles[] = {
    "Порт", "Адрес", "Модуль", "Диагноз", "Обменов", "Ответов", "Нет ответа", "Ошибок КС",
    "Неверная длина", "Исключений", "Запоздалых", "Медиана, мс", "Максимум, мс"};
constexpr int FirstNumberColumn = 4;

QString Ms(double ms) { return ms < 0 ? QString() : QString::number(ms, 'f', 1); }

// Label and control side by side, the label standing for the control on the accessibility bus.
QLabel* LabelFor(QWidget* control, const char* text, QWidget* parent) {
  auto* label = new QLabel(Q(text), parent);
  label->setBuddy(control);
  control->setAccessibleName(Q(text).remove(QLatin1Char(':')).remove(QLatin1Char('&')));
  return label;
}

}  // namespace

TTerminalWindow::TTerminalWindow(TMainForm* form, QWidget* parent, size_t capacity)
    : QWidget(parent, Qt::Window), Form(form), Log(new TTerminalModel(capacity, this)) {
  setObjectName("TerminalWindow");
  setWindowTitle(Q("Терминал"));
  setAttribute(Qt::WA_DeleteOnClose, false);

  seAddress = new QSpinBox(this);
  seAddress->setObjectName("seAddress");
  seAddress->setRange(0, 247);
  seAddress->setSpecialValueText(Q("все"));
  cbOutcome = new QComboBox(this);
  cbOutcome->setObjectName("cbOutcome");
  // Narrow enough for the window beside the main one; its list shows the whole texts.
  cbOutcome->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  cbOutcome->setMinimumContentsLength(14);
  cbOutcome->addItem(Q("все"), TTerminalModel::AllOutcomes);
  cbOutcome->addItem(Q("только ошибки"), FailureOutcomes);
  for (int i = 0; i < ExchangeOutcomeCount; ++i)
    cbOutcome->addItem(QString::fromStdString(OutcomeText(TExchangeOutcome(i))), 1u << unsigned(i));
  btPause = new QPushButton(Q("Пауза"), this);
  btPause->setObjectName("btPause");
  btPause->setCheckable(true);
  btClear = new QPushButton(Q("Очистить"), this);
  btClear->setObjectName("btClear");
  btSave = new QPushButton(Q("Сохранить журнал"), this);
  btSave->setObjectName("btSave");
  for (QPushButton* b : {btPause, btClear, btSave}) b->setAutoDefault(false);

  auto* filters = new QHBoxLayout;
  filters->addWidget(LabelFor(seAddress, "Адрес:", this));
  filters->addWidget(seAddress);
  filters->addWidget(LabelFor(cbOutcome, "Результат:", this));
  filters->addWidget(cbOutcome);
  filters->addStretch(1);
  filters->addWidget(btPause);
  filters->addWidget(btClear);
  filters->addWidget(btSave);

  tvLog = new QTableView(this);
  tvLog->setObjectName("tvLog");
  tvLog->setAccessibleName(Q("Обмены"));
  tvLog->setModel(Log);
  tvLog->setSelectionBehavior(QAbstractItemView::SelectRows);
  tvLog->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tvLog->setWordWrap(false);
  tvLog->verticalHeader()->hide();
  tvLog->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  tvLog->horizontalHeader()->setStretchLastSection(true);
  const QFontMetrics fm = fontMetrics();
  const struct { int Column; const char* Sample; } widths[] = {
      {TTerminalModel::colTime, "00:00:00.000"}, {TTerminalModel::colPort, "/dev/ttyUSB0"},
      {TTerminalModel::colAddress, "Адрес"},    {TTerminalModel::colModel, "KAPPA-01"},
      {TTerminalModel::colRegister, "ANALOGINPUT8"}, {TTerminalModel::colValue, ":= 00000.00000"},
      {TTerminalModel::colOutcome, "ошибка контрольной суммы"}, {TTerminalModel::colResponse, "Ответ, мс"},
      {TTerminalModel::colRequest, "00 00 00 00 00 00 00 00"}};
  for (const auto& w : widths)
    tvLog->setColumnWidth(w.Column, fm.horizontalAdvance(Q(w.Sample)) + 16);

  tvHealth = new QTableWidget(0, int(std::size(HealthTitles)), this);
  tvHealth->setObjectName("tvHealth");
  tvHealth->setAccessibleName(Q("Состояние шины"));
  QStringList titles;
  for (const char* t : HealthTitles) titles << Q(t);
  tvHealth->setHorizontalHeaderLabels(titles);
  tvHealth->verticalHeader()->hide();
  tvHealth->verticalHeader()->setDefaultSectionSize(tvLog->verticalHeader()->defaultSectionSize());
  tvHealth->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tvHealth->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

  edFrame = new QLineEdit(this);
  edFrame->setObjectName("edFrame");
  edFrame->setPlaceholderText(QStringLiteral("01 03 00 1A 00 01"));
  chbNoChecksum = new QCheckBox(Q("Без контрольной суммы"), this);
  chbNoChecksum->setObjectName("chbNoChecksum");
  btSend = new QPushButton(Q("Отправить"), this);
  btSend->setObjectName("btSend");
  btSend->setAutoDefault(false);
  lbFrameHint = new QLabel(this);
  lbFrameHint->setObjectName("lbFrameHint");
  lbFrameHint->setWordWrap(true);

  auto* frame = new QHBoxLayout;
  frame->addWidget(LabelFor(edFrame, "Кадр (hex):", this));
  frame->addWidget(edFrame, 1);
  frame->addWidget(chbNoChecksum);
  frame->addWidget(btSend);

  auto* splitter = new QSplitter(Qt::Vertical, this);
  splitter->setObjectName("spTerminal");
  splitter->addWidget(tvLog);
  splitter->addWidget(tvHealth);
  splitter->setStretchFactor(0, 3);
  splitter->setStretchFactor(1, 1);
  splitter->setChildrenCollapsible(false);
  // Room for the header and five modules below the list.
  const int healthHeight = tvHealth->horizontalHeader()->sizeHint().height() +
                           6 * tvHealth->verticalHeader()->defaultSectionSize();
  splitter->setSizes({560 - healthHeight, healthHeight});

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(filters);
  layout->addWidget(splitter, 1);
  layout->addLayout(frame);
  layout->addWidget(lbFrameHint);
  resize(900, 560);

  connect(seAddress, &QSpinBox::valueChanged, this, [this] { ApplyFilter(); });
  connect(cbOutcome, &QComboBox::currentIndexChanged, this, [this] { ApplyFilter(); });
  connect(btPause, &QPushButton::toggled, this, [this] { Guarded([this] { btPauseClick(); }); });
  connect(btClear, &QPushButton::clicked, this, [this] { Guarded([this] { btClearClick(); }); });
  connect(btSave, &QPushButton::clicked, this, [this] { Guarded([this] { btSaveClick(); }); });
  connect(btSend, &QPushButton::clicked, this, [this] { Guarded([this] { btSendClick(); }); });
  connect(edFrame, &QLineEdit::returnPressed, this, [this] { Guarded([this] { btSendClick(); }); });
  connect(edFrame, &QLineEdit::textEdited, this, [this] { edFrame->setStyleSheet({}); });

  // A few times a second: what the line did meanwhile, and whether a frame may be sent.
  Tick.setInterval(150);
  connect(&Tick, &QTimer::timeout, this, [this] { Guarded([this] { Drain(); }); });
  UpdateSendState();
}

TTerminalWindow::~TTerminalWindow() { Listener.reset(); }

void TTerminalWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The tap is listened to only while the window is shown: hidden, it costs the line nothing.
  if (!Listener) {
    std::shared_ptr<TInbox> inbox = Inbox;
    Listener = std::make_unique<TTapListener>([inbox](const TExchangeRecord& r) {
      std::lock_guard<std::mutex> hold(inbox->Lock);
      // Should the window not come to take them for long, the oldest half goes: the list
      // would drop them all the same.
      if (inbox->Records.size() >= TTerminalModel::DefaultCapacity)
        inbox->Records.erase(inbox->Records.begin(),
                             inbox->Records.begin() + ptrdiff_t(inbox->Records.size() / 2));
      inbox->Records.push_back(r);
    });
  }
  Tick.start();
}

void TTerminalWindow::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  Tick.stop();
  Listener.reset();
}

void TTerminalWindow::PlaceBeside(QWidget* main) {
  if (!main) return;
  const QRect m = main->frameGeometry();
  QScreen* screen = main->screen() ? main->screen() : QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->availableGeometry() : QRect(m.topLeft(), QSize(4000, 4000));
  // The side with more room; the window narrows to it down to a usable width.
  const int right = area.right() - m.right(), left = m.left() - area.left();
  const int room = std::max(right, left);
  const int frame = frameGeometry().width() - width();
  const int narrowest = std::max(MinimumPlacedWidth, minimumSizeHint().width());
  if (frameGeometry().width() > room && room - frame >= narrowest)
    resize(room - frame, height());
  const QSize size = frameGeometry().size();
  QRect r(QPoint(right >= left ? m.right() + 1 : m.left() - size.width(), m.top()), size);
  if (r.right() > area.right()) r.moveRight(area.right());
  if (r.left() < area.left()) r.moveLeft(area.left());
  if (r.bottom() > area.bottom()) r.moveBottom(area.bottom());
  if (r.top() < area.top()) r.moveTop(area.top());
  move(r.topLeft());
}

int TTerminalWindow::ModelOf(const std::string& port, int address) const {
  const int known = Form ? TreeModelAt(*Form, port, address) : 0;
  return known > 0 ? known : Models.Model(port, address);
}

void TTerminalWindow::Drain() {
  std::vector<TExchangeRecord> records;
  {
    std::lock_guard<std::mutex> hold(Inbox->Lock);
    records.swap(Inbox->Records);
  }
  QScrollBar* bar = tvLog->verticalScrollBar();
  const bool atBottom = bar->value() >= bar->maximum();
  for (const TExchangeRecord& r : records) {
    Models.Learn(r);
    BusHealth.Add(r);
    HealthChanged = true;
    // Paused, the list stands still; the health goes on counting.
    if (!Paused) Log->Append(r, ModelOf(r.Port, r.Address));
    if (r.Port != WidestPort) FitPortColumn(r.Port);
  }
  if (!records.empty() && atBottom && !Paused) tvLog->scrollToBottom();
  if (HealthChanged) UpdateHealth();
  UpdateSendState();
}

void TTerminalWindow::FitPortColumn(const std::string& port) {
  const int wanted = tvLog->fontMetrics().horizontalAdvance(QString::fromStdString(port)) + 16;
  if (wanted > tvLog->columnWidth(TTerminalModel::colPort)) {
    tvLog->setColumnWidth(TTerminalModel::colPort, wanted);
    WidestPort = port;
  }
}

void TTerminalWindow::ApplyFilter() {
  Log->SetFilter(seAddress->value() == 0 ? -1 : seAddress->value(),
                 cbOutcome->currentData().toUInt());
  tvLog->scrollToBottom();
}

void TTerminalWindow::btPauseClick() {
  Paused = btPause->isChecked();
  btPause->setText(Paused ? Q("Продолжить") : Q("Пауза"));
}

void TTerminalWindow::btClearClick() {
  Log->Clear();
  BusHealth.Clear();
  UpdateHealth();
}

void TTerminalWindow::btSaveClick() {
  const QString text = Q("Текст (*.txt)"), csv = Q("CSV (*.csv)");
  QString chosen;
  const QString path = QFileDialog::getSaveFileName(this, Q("Сохранить журнал"), QString(),
                                                    text + QStringLiteral(";;") + csv, &chosen);
  if (path.isEmpty()) return;
  const bool asCsv = chosen == csv || path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive);
  if (!(asCsv ? Log->SaveCsv(path) : Log->SaveText(path)))
    Ui().ShowError(ResStr("Не удалось записать файл ") + path.toStdString());
}

void TTerminalWindow::btSendClick() {
  TprPort* port = Form ? SelectedPort(*Form) : nullptr;
  if (!btSend->isEnabled() || !port) return;
  std::vector<uint8_t> bytes;
  if (!ParseHexBytes(edFrame->text().toStdString(), bytes) || bytes.empty()) {
    // As every rejected entry: red text and a beep, nothing is sent.
    edFrame->setStyleSheet(QStringLiteral("color: red"));
    Ui().Beep();
    return;
  }
  const int model = ModelOf(port->PortName(), bytes[0]);
  PostHandFrame(*port, std::move(bytes), !chbNoChecksum->isChecked(), model,
                [window = QPointer<TTerminalWindow>(this)](std::exception_ptr error) {
                  if (window) window->Drain();
                  if (error) ShowError(error);
                });
}

void TTerminalWindow::UpdateSendState() {
  TprPort* port = Form ? SelectedPort(*Form) : nullptr;
  if (port != FactsPort) {
    // Nothing is known of another port's line until it has answered.
    FactsPort = port;
    Facts = {};
  }
  // The line is asked where its exchanges run, one question at a time.
  if (port && !Asking) {
    Asking = true;
    AskLineFacts(*port, [window = QPointer<TTerminalWindow>(this), port](const TLineFacts& facts) {
      if (!window) return;
      window->Asking = false;
      if (window->FactsPort != port) return;
      window->Facts = facts;
      window->ShowSendState();
    });
  }
  ShowSendState();
}

void TTerminalWindow::ShowSendState() {
  const bool calibration = Form && Form->CalibrationEnabled;
  TprPort* port = FactsPort;
  const bool open = port && Facts.Open;
  const bool protocol = port && (Facts.Protocol == ptModbus || Facts.Protocol == ptVela);
  const bool can = calibration && open && protocol;
  for (QWidget* w : std::initializer_list<QWidget*>{edFrame, chbNoChecksum, btSend}) w->setEnabled(can);
  QString hint;
  if (!calibration) hint = Q("Кадр вручную отправляется только при разрешенной калибровке.");
  else if (!open) hint = Q("Выберите порт или модуль, чтобы отправить кадр.");
  else if (!protocol) hint = Q("У протокола DCS нет кадров.");
  else hint = Q("Кадр уйдет на линию порта ") + QString::fromStdString(port->PortName()) +
              Q(" между обменами страницы.");
  if (lbFrameHint->text() != hint) lbFrameHint->setText(hint);
}

void TTerminalWindow::UpdateHealth() {
  HealthChanged = false;
  // An address that never answered and was asked only once or twice is no module (a search
  // probes every address once).
  std::vector<const TModuleHealth*> shown;
  for (const auto& [key, m] : BusHealth.All())
    if (m.Exchanges >= 3 || m.Count(TExchangeOutcome::Timeout) < m.Exchanges ||
        BusHealth.Diagnose(m) != TBusDiagnosis::None)
      shown.push_back(&m);
  tvHealth->setRowCount(int(shown.size()));
  int row = 0;
  for (const TModuleHealth* module : shown) {
    using enum TExchangeOutcome;
    const TModuleHealth& m = *module;
    const int model = ModelOf(m.Port, m.Address);
    const QString cells[] = {
        QString::fromStdString(m.Port), QString::number(m.Address),
        model > 0 ? QString::fromUtf8(ModelNames[model].Name) : QString(),
        QString::fromStdString(BusHealth.Diagnosis(m)), QString::number(m.Exchanges), QString::number(m.Count(Answered)),
        QString::number(m.Count(Timeout)), QString::number(m.Count(BadChecksum)),
        QString::number(m.Count(WrongLength)), QString::number(m.Count(Exception)),
        QString::number(m.Count(Late) + m.Count(WhileSending)), Ms(m.MedianResponseMs()),
        Ms(m.MaxResponseMs)};
    for (int c = 0; c < int(std::size(cells)); ++c) {
      QTableWidgetItem* item = tvHealth->item(row, c);
      if (!item) tvHealth->setItem(row, c, item = new QTableWidgetItem);
      if (item->text() != cells[c]) item->setText(cells[c]);
      if (c == 1 || c >= FirstNumberColumn) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    ++row;
  }
}
