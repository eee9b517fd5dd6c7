#pragma once
// The "Индикация" tab shared by the module pages: the indication mode list (three mode
// registers behind one list), the indicator boxes of the two indicator groups and, on the
// analog pages, the settings of the module's display.
#include <cstdint>
#include <string>
#include <vector>

#include "comm/LineTask.h"
#include "pages/PageRules.h"
#include "pages/Rows.h"
#include "shell/Controls.h"

class TModuleForm;

// A front-panel indicator: its group register pair and its bit there.
struct TIndicator {
  int Group;  // 1 or 2
  int Bit;    // the boxes' tag
};

// What one page's "Индикация" tab holds.
struct TIndicationLayout {
  std::vector<TIndicationMode> Modes;
  // In indicator order.
  std::vector<TIndicator> Indicators;
  // Above the boxes: the column labels, one row each.
  std::vector<TLayoutRow> HeaderRows;
  // Channels of the display settings; 0: the page has none.
  int Channels = 0;
  std::string SettingsTitle;
  std::string DecimalsLabel;
};

// The display settings of the analog modules, under title: edDisplay (DISPLAY), edIndTime
// (TINDICATION), and per channel chbChInd (CHINDICATION bit), chbChPercent (IFCHn bit 0) and
// cbDecPoint (IFCHn bits 4 and 5, items "0" to "3") in a row labelled decimalsLabel. They read
// DISPLAY, TINDICATION, CHINDICATION, IFCH1..IFCHn.
TRowsTable DisplaySettingsRows(int channels, const std::string& title,
                               const std::string& decimalsLabel);

class TIndicationTab {
 public:
  // Builds the tab's controls on the page's sheet: the mode list, the indicator boxes, then
  // the display settings when the layout has channels.
  TIndicationTab(TModuleForm& page, TContainer* sheet, const TIndicationLayout& layout);

  TComboBox* cbIndControl = nullptr;
  // Indicator boxes in indicator order (index 0 is indicator 1).
  std::vector<TCheckBox*> chbInd, chbFlash, chbPhase;

  // The mode, the indicators, then the display settings when there are any.
  TTask<> Refresh();
  // ICON1, ICON2 (and ICON3 where the model has it), each only while the one before succeeded.
  TTask<> RefreshMode();
  // The group registers present: GR1IND, GR2IND, GR1INDFL, GR2INDFL, GR1INDPH, GR2INDPH.
  TTask<> RefreshIndicators();

  void cbIndControlChange(TComboBox& list);

 private:
  void BuildIndicators(TContainer* sheet, const std::vector<TLayoutRow>& headerRows);
  // Highest byte first: the module takes the mode once ICON1 arrives.
  TTask<> ModeWrite(TComboBox& list, uint32_t code);

  TModuleForm& Page;
  const std::vector<TIndicationMode> Modes;
  const std::vector<TIndicator> Indicators;
  TRefreshStep IndicatorRefresh;
  TRefreshStep SettingsRefresh;
};
