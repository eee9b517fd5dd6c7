// The "Индикация" tab shared by the module pages: the indication mode list, the indicator
// boxes and, on the analog pages, the settings of the module's display.
#include "comm/Codecs.h"
#include "pages/ModuleForm.h"

void TModuleForm::BuildIndication(TContainer* sheet, const std::vector<TIndicationMode>& modes,
                                  const std::vector<TIndicator>& indicators,
                                  const std::vector<TLayoutRow>& headerRows) {
  using namespace rows;
  Modes = modes;
  Indicators = indicators;
  std::vector<std::string> items;
  for (const auto& mode : modes) items.push_back(mode.Item);
  // The mode list stands for the three mode registers together: its rules are code.
  BuildRows(sheet, TRowsTable({{"Управление индикацией:",
                               {List("cbIndControl", "").Items(items).Store(&cbIndControl).OnAction(
                                   [this](TControl& l) { cbIndControlChange(static_cast<TComboBox&>(l)); })}}}));

  TRowsTable boxes;
  boxes.Titled("Следующие параметры отображаются только при индикации по сети RS-485:");
  for (const TLayoutRow& header : headerRows) {
    TRow row;
    for (const TLayoutCell& cell : header) row.Parts.push_back(Label(cell.Text, cell.ColumnSpan).Aligned(cell.Align));
    boxes.Rows.push_back(std::move(row));
  }
  const struct {
    const char* Label;
    const char* Prefix;
    const char* Group1;
    const char* Group2;
    std::vector<TCheckBox*>* Boxes;
  } kinds[] = {
      {"Включить:", "chbInd", "GR1IND", "GR2IND", &chbInd},
      {"Мерцание:", "chbFlash", "GR1INDFL", "GR2INDFL", &chbFlash},
      {"Фаза:", "chbPhase", "GR1INDPH", "GR2INDPH", &chbPhase},
  };
  for (const auto& kind : kinds) {
    TRow row(kind.Label, {});
    // One part per run of indicators of one group; their tags are the bits.
    for (size_t i = 0; i < indicators.size();) {
      const int group = indicators[i].Group;
      std::vector<int> bits;
      const size_t first = i;
      for (; i < indicators.size() && indicators[i].Group == group; ++i) bits.push_back(indicators[i].Bit);
      row.Parts.push_back(Toggle(kind.Prefix, group == 2 ? kind.Group2 : kind.Group1)
                              .Tags(bits)
                              .Channels(int(bits.size()), int(first) + 1)
                              .StoreAll(kind.Boxes));
    }
    boxes.Rows.push_back(std::move(row));
  }
  IndicatorRefresh = BuildRows(sheet, std::move(boxes));
}

void TModuleForm::cbIndControlChange(TComboBox& list) {
  const int index = list.ItemIndex();
  if (index >= 0 && index < static_cast<int>(Modes.size())) {
    // Highest byte first: the module takes the mode once ICON1 arrives. No result is checked.
    RunTask(IndicationModeWrite(list, Modes[index].Code));
    return;
  }
  list.ReleaseFocus();
}

TTask<> TModuleForm::IndicationModeWrite(TComboBox& list, uint32_t code) {
  if (Module->ICON3) {
    auto high = Write(Module->ICON3, std::to_string((code >> 16) & 0xFF));
    co_await high;
  }
  auto middle = Write(Module->ICON2, std::to_string((code >> 8) & 0xFF));
  co_await middle;
  auto low = Write(Module->ICON1, std::to_string(code & 0xFF));
  co_await low;
  list.ReleaseFocus();
}

TTask<> TModuleForm::RefreshIndicationMode() {
  if (!cbIndControl) co_return;
  TprModel& d = *Module;
  bool ok = co_await Read(d.ICON1);
  if (ok) ok = co_await Read(d.ICON2);
  if (ok && d.ICON3) ok = co_await Read(d.ICON3);
  int32_t icon1 = 0, icon2 = 0, icon3 = 0;
  ok = ok && TryStrToInt(d.ICON1->ValueText, icon1) && TryStrToInt(d.ICON2->ValueText, icon2) &&
       (!d.ICON3 || TryStrToInt(d.ICON3->ValueText, icon3));
  const uint32_t value = static_cast<uint32_t>(icon1) + 256u * static_cast<uint32_t>(icon2) +
                         65536u * static_cast<uint32_t>(icon3);
  ShowIndex(*cbIndControl, ok, ok ? ModeIndexOf(Modes, value) : -1);
}

TTask<> TModuleForm::RefreshIndicators() {
  if (IndicatorRefresh) co_await IndicatorRefresh();
}

TRefreshStep TModuleForm::BuildDisplaySettings(TContainer* sheet, int channels,
                                                        const std::string& title,
                                                        const std::string& decimalsLabel) {
  using namespace rows;
  return BuildRows(
      sheet,
      // The two fields span the channel columns, so that they do not widen the first one.
      TRowsTable({{"Строка для индикации:", {Text("edDisplay", "DISPLAY").Span(channels)}},
                {"Время индикации канала, с:", {Number("edIndTime", "TINDICATION").Span(channels)}},
                Numbers("", channels),
                {"Показывать:", {Toggle("chbChInd", "CHINDICATION").Channels(channels)}},
                {"В % шкалы:", {Toggle("chbChPercent", "IFCH").Bit(0).Channels(channels)}},
                {decimalsLabel,
                 {BitField("cbDecPoint", "IFCH", 4, 2).Items({"0", "1", "2", "3"}).Channels(channels)}}})
          .Titled(title));
}

TContainer* TModuleForm::AddIndicationTab(const TIndicationTab& tab) {
  TContainer* sheet = AddTab("tsIndication", "Индикация", nullptr);
  BuildIndication(sheet, tab.Modes, tab.Indicators, tab.HeaderRows);
  TRefreshStep settings;
  if (tab.Channels > 0)
    settings = BuildDisplaySettings(sheet, tab.Channels, tab.SettingsTitle, tab.DecimalsLabel);
  RefreshSteps.back() = [this, settings] { return RefreshIndication(settings); };
  return sheet;
}

TTask<> TModuleForm::RefreshIndication(TRefreshStep settings) {
  co_await RefreshIndicationMode();
  co_await RefreshIndicators();
  if (settings) co_await settings();
}
