#include "app/ConfigDialogs.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/QtUi.h"
#include "shell/ConfigUnit.h"

namespace {
QString Q(const std::string& text) { return ToQt(text); }
// Texts already looked up (values, captions composed of looked-up parts) go to Qt as they are.
QString Plain(const std::string& text) { return QString::fromStdString(text); }
}  // namespace

// --- progress --------------------------------------------------------------------------------

TConfigProgressDialog::TConfigProgressDialog(TConfigProgressForm& model,
                                             std::function<void(std::function<void()>)> work,
                                             QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      Model(model),
      Work(std::move(work)) {
  setObjectName("ConfigProgress");
  setWindowTitle(Q(Model.Caption));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  MainGauge = new QProgressBar(this);
  MainGauge->setObjectName("MainGauge");
  MainGauge->setAccessibleName(Q(Model.Caption));
  MainGauge->setMinimumWidth(360);
  layout->addWidget(MainGauge);
  lbAction = new QLabel(this);
  lbAction->setObjectName("lbAction");
  // Room for a model, its address and a register name, so the window never jumps.
  lbAction->setMinimumWidth(lbAction->fontMetrics().horizontalAdvance(
      QStringLiteral("KAPPA-01 (address 247): OUTPUTSAFECH2") + QStringLiteral("MM")));
  layout->addWidget(lbAction);
  btCancel = new QPushButton(Q(TConfigProgressForm::CancelCaption), this);
  btCancel->setObjectName("btCancel");
  btCancel->setAutoDefault(false);
  layout->addWidget(btCancel, 0, Qt::AlignHCenter);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  connect(btCancel, &QPushButton::clicked, this, [this] {
    Model.btCancelClick();
    btCancel->setEnabled(false);
  });
  Model.OnChange = [this] { Sync(); };
  // Steps are recorded on the line's thread; the window shows them from its event loop.
  Model.OnStep = [this] {
    QMetaObject::invokeMethod(this, [this] { Model.OnChange(); }, Qt::QueuedConnection);
  };
  Sync();
}

TConfigProgressDialog::~TConfigProgressDialog() {
  Model.OnChange = nullptr;
  Model.OnStep = nullptr;
}

void TConfigProgressDialog::Sync() {
  MainGauge->setRange(0, std::max(1, Model.GaugeMax));
  const auto [action, position] = Model.Shown();
  MainGauge->setValue(std::min(position, std::max(1, Model.GaugeMax)));
  lbAction->setText(Plain(action));
}

void TConfigProgressDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (Started) return;
  Started = true;
  // Started from the event loop of the modal display, not from inside show().
  QMetaObject::invokeMethod(
      this,
      [this] {
        Work([this] {
          Done = true;
          Sync();
          accept();
        });
      },
      Qt::QueuedConnection);
}

void TConfigProgressDialog::reject() {
  // The work ends between two exchanges; the dialog closes when it has.
  if (!Done) {
    Model.btCancelClick();
    btCancel->setEnabled(false);
    return;
  }
  QDialog::reject();
}

// --- comparison ------------------------------------------------------------------------------

TConfigCompareDialog::TConfigCompareDialog(TConfigCompareForm& model, QWidget* parent)
    : QDialog(parent), Model(model) {
  setObjectName("ConfigCompare");
  const bool result = Model.ShowingResult;
  setWindowTitle(
      Q(result ? TConfigCompareForm::ResultCaption : TConfigCompareForm::CompareCaption));
  auto* layout = new QVBoxLayout(this);
  lbFile = new QLabel(Q("Файл:") + " " + Plain(Model.FileName), this);
  lbFile->setObjectName("lbFile");
  layout->addWidget(lbFile);

  tvDifferences = new QTreeWidget(this);
  tvDifferences->setObjectName("tvDifferences");
  tvDifferences->setAccessibleName(
      Q(result ? TConfigCompareForm::ResultCaption : TConfigCompareForm::CompareCaption));
  tvDifferences->setRootIsDecorated(false);
  tvDifferences->setUniformRowHeights(true);
  tvDifferences->setSelectionMode(QAbstractItemView::SingleSelection);
  QStringList headers{Q(TConfigCompareForm::ColRegister), Q(TConfigCompareForm::ColCaption),
                      Q(TConfigCompareForm::ColFile)};
  headers << Q(result ? TConfigCompareForm::ColResult : TConfigCompareForm::ColModule);
  tvDifferences->setHeaderLabels(headers);
  layout->addWidget(tvDifferences, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  btWrite = new QPushButton(Q(TConfigCompareForm::WriteButton), this);
  btWrite->setObjectName("btWrite");
  btCancel = new QPushButton(
      Q(result ? TConfigCompareForm::CloseButton : TConfigCompareForm::CancelButton), this);
  btCancel->setObjectName(result ? "btClose" : "btCancel");
  buttons->addWidget(btWrite);
  buttons->addWidget(btCancel);
  layout->addLayout(buttons);
  btWrite->setVisible(!result);
  btWrite->setDefault(!result);
  btCancel->setDefault(result);
  connect(btWrite, &QPushButton::clicked, this, &QDialog::accept);
  connect(btCancel, &QPushButton::clicked, this, result ? &QDialog::accept : &QDialog::reject);
  setTabOrder(tvDifferences, btWrite);
  setTabOrder(btWrite, btCancel);

  Fill();
  connect(tvDifferences, &QTreeWidget::itemChanged, this,
          [this](QTreeWidgetItem* item, int column) {
            if (column != 0 || !(item->flags() & Qt::ItemIsUserCheckable)) return;
            const auto g = size_t(item->data(0, Qt::UserRole).toInt());
            const auto r = size_t(item->data(0, Qt::UserRole + 1).toInt());
            Model.Groups[g].Rows[r].Ticked = item->checkState(0) == Qt::Checked;
            btWrite->setEnabled(Model.Ticked() > 0);
          });
  btWrite->setEnabled(Model.Ticked() > 0);
  tvDifferences->setFocus();
  resize(std::max(600, sizeHint().width()), 420);
}

void TConfigCompareDialog::Fill() {
  const bool result = Model.ShowingResult;
  const QSignalBlocker block(tvDifferences);
  tvDifferences->clear();
  QTreeWidgetItem* first = nullptr;
  for (size_t g = 0; g < Model.Groups.size(); ++g) {
    const TCompareGroup& group = Model.Groups[g];
    auto* title = new QTreeWidgetItem(tvDifferences, QStringList{Plain(group.Title())});
    title->setFirstColumnSpanned(true);
    title->setFlags(Qt::ItemIsEnabled);
    QFont bold = title->font(0);
    bold.setBold(true);
    title->setFont(0, bold);
    int shown = 0;
    for (size_t r = 0; r < group.Rows.size(); ++r) {
      const TCompareRow& row = group.Rows[r];
      if (result && !row.Ticked) continue;
      auto* item = new QTreeWidgetItem(
          tvDifferences, QStringList{Plain(row.Register), Plain(row.Caption), Plain(row.FileValue),
                                     Plain(result ? row.Result : row.ModuleValue)});
      item->setData(0, Qt::UserRole, int(g));
      item->setData(0, Qt::UserRole + 1, int(r));
      if (!result) {
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(0, row.Ticked ? Qt::Checked : Qt::Unchecked);
      } else if (!row.Holds) {
        item->setForeground(3, QBrush(Qt::red));
      }
      if (!first) first = item;
      ++shown;
    }
    if (shown == 0 && group.Note.empty()) {
      const char* text = result && !group.Rows.empty() ? TConfigCompareForm::NothingWritten
                                                       : TConfigCompareForm::NoDifference;
      auto* none = new QTreeWidgetItem(tvDifferences, QStringList{Q(text)});
      none->setFirstColumnSpanned(true);
      none->setFlags(Qt::ItemIsEnabled);
    }
  }
  for (int c = 0; c < tvDifferences->columnCount(); ++c) tvDifferences->resizeColumnToContents(c);
  if (first) tvDifferences->setCurrentItem(first);
}

void InstallConfigDialogs() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  SetConfigWorkRunner([](TConfigProgressForm& model, const TConfigWork& work) {
    QWidget* parent = QApplication::activeModalWidget() ? QApplication::activeModalWidget()
                                                        : QApplication::activeWindow();
    TConfigProgressDialog dialog(model, work, parent);
    dialog.exec();
  });
}
