#pragma once
// The about box: the program's name and version, the maker lines and a link that the
// desktop's URL handler opens. "ОК" and Escape close it.
#include <QDialog>
#include <optional>

#include "shell/AboutUnit.h"

class QFrame;
class QLabel;
class QPushButton;

class TAboutView : public QDialog {
  Q_OBJECT
 public:
  // The program's own version unless one is given.
  explicit TAboutView(QWidget* parent = nullptr,
                      std::optional<TVersionParts> version = StampedVersion());

  TAboutForm Form;
  QFrame* pnDescription;
  QLabel* imProgramIcon;
  QLabel* lbProductName1;
  QLabel* lbProductName2;
  QLabel* lbVerInfo;
  QLabel* lbMaker1;
  QLabel* lbMaker2;
  QLabel* lbMaker3;
  QLabel* lbURL;
  QPushButton* btOK;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormShow();
  void LayOut();
};
