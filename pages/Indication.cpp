// The indication mode list and the indicator boxes shared by the module pages that have an
// "Индикация" tab.
#include "comm/Codecs.h"
#include "pages/ModuleForm.h"

void TModuleForm::BuildIndication(TContainer* sheet, const std::vector<TIndicationMode>& modes,
                                  const std::vector<TIndicator>& indicators,
                                  const std::vector<TLayoutRow>& headerRows) {
  Modes = modes;
  Indicators = indicators;
  std::vector<std::string> items;
  for (const auto& mode : modes) items.push_back(mode.Item);
  cbIndControl = Controls.Add<TComboBox>("cbIndControl", sheet, items);
  BindList(cbIndControl, [this](TComboBox& l) { cbIndControlChange(l); });
  sheet->Layout.AddGrid().Row({LabelCell("Управление индикацией:"), ControlCell(cbIndControl)});

  const struct {
    const char* Prefix;
    std::vector<TCheckBox*>* Row;
    void (TModuleForm::*Group1)(TCheckBox&);
    void (TModuleForm::*Group2)(TCheckBox&);
  } rows[] = {
      {"chbInd", &chbInd, &TModuleForm::chb1IndClick, &TModuleForm::chb2IndClick},
      {"chbFlash", &chbFlash, &TModuleForm::chb1FlashClick, &TModuleForm::chb2FlashClick},
      {"chbPhase", &chbPhase, &TModuleForm::chb1PhaseClick, &TModuleForm::chb2PhaseClick},
  };
  for (const auto& r : rows) {
    for (size_t i = 0; i < indicators.size(); ++i) {
      auto* box = Controls.Add<TCheckBox>(r.Prefix + std::to_string(i + 1), sheet);
      box->Tag = indicators[i].Bit;
      const auto handler = indicators[i].Group == 2 ? r.Group2 : r.Group1;
      BindBox(box, [this, handler](TCheckBox& b) { (this->*handler)(b); });
      r.Row->push_back(box);
    }
  }
  TLayoutGrid& grid =
      sheet->Layout.AddGrid("Следующие параметры отображаются только при индикации по сети RS-485:");
  for (const TLayoutRow& header : headerRows) grid.Row(header);
  auto cells = [](const std::vector<TCheckBox*>& boxes) {
    return std::vector<TControl*>(boxes.begin(), boxes.end());
  };
  grid.ChannelRow("Включить:", cells(chbInd));
  grid.ChannelRow("Мерцание:", cells(chbFlash));
  grid.ChannelRow("Фаза:", cells(chbPhase));
}

void TModuleForm::cbIndControlChange(TComboBox& list) {
  const int index = list.ItemIndex();
  if (index >= 0 && index < static_cast<int>(Modes.size())) {
    // Highest byte first: the module takes the mode once ICON1 arrives. No result is checked.
    const uint32_t code = Modes[index].Code;
    if (Module->ICON3) Write(Module->ICON3, std::to_string((code >> 16) & 0xFF));
    Write(Module->ICON2, std::to_string((code >> 8) & 0xFF));
    Write(Module->ICON1, std::to_string(code & 0xFF));
  }
  list.ReleaseFocus();
}

void TModuleForm::RefreshIndicationMode() {
  if (!cbIndControl) return;
  TprModel& d = *Module;
  bool ok = Read(d.ICON1) && Read(d.ICON2) && (!d.ICON3 || Read(d.ICON3));
  int32_t icon1 = 0, icon2 = 0, icon3 = 0;
  ok = ok && TryStrToInt(d.ICON1->ValueText, icon1) && TryStrToInt(d.ICON2->ValueText, icon2) &&
       (!d.ICON3 || TryStrToInt(d.ICON3->ValueText, icon3));
  const uint32_t value = static_cast<uint32_t>(icon1) + 256u * static_cast<uint32_t>(icon2) +
                         65536u * static_cast<uint32_t>(icon3);
  ShowIndex(*cbIndControl, ok, ok ? ModeIndexOf(Modes, value) : -1);
}

void TModuleForm::ShowIndicatorRow(const std::vector<TCheckBox*>& row, int group, bool ok,
                                   const std::string& valueText) {
  for (size_t i = 0; i < row.size() && i < Indicators.size(); ++i)
    if (Indicators[i].Group == group) ShowBit(*row[i], ok, valueText, row[i]->Tag);
}

void TModuleForm::RefreshIndicators() {
  TprModel& d = *Module;
  const struct {
    TprDevReg* Reg;
    const std::vector<TCheckBox*>* Row;
    int Group;
  } steps[] = {
      {d.GR1IND, &chbInd, 1},   {d.GR2IND, &chbInd, 2},     {d.GR1INDFL, &chbFlash, 1},
      {d.GR2INDFL, &chbFlash, 2}, {d.GR1INDPH, &chbPhase, 1}, {d.GR2INDPH, &chbPhase, 2},
  };
  for (const auto& step : steps) {
    if (!step.Reg) continue;  // the models with one indicator group
    const bool ok = Read(step.Reg);
    ShowIndicatorRow(*step.Row, step.Group, ok, ok ? step.Reg->ValueText : "");
  }
}

void TModuleForm::chb1IndClick(TCheckBox& box) { BitToggle(box, Module->GR1IND); }
void TModuleForm::chb2IndClick(TCheckBox& box) { BitToggle(box, Module->GR2IND); }
void TModuleForm::chb1FlashClick(TCheckBox& box) { BitToggle(box, Module->GR1INDFL); }
void TModuleForm::chb2FlashClick(TCheckBox& box) { BitToggle(box, Module->GR2INDFL); }
void TModuleForm::chb1PhaseClick(TCheckBox& box) { BitToggle(box, Module->GR1INDPH); }
void TModuleForm::chb2PhaseClick(TCheckBox& box) { BitToggle(box, Module->GR2INDPH); }
