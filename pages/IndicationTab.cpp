#include "pages/IndicationTab.h"

#include "comm/Codecs.h"
#include "pages/ModuleForm.h"

TIndicationTab::TIndicationTab(TModuleForm& page, TContainer* sheet, const TIndicationLayout& layout)
    : Page(page), Modes(layout.Modes), Indicators(layout.Indicators) {
  using namespace rows;
  std::vector<std::string> items;
  for (const auto& mode : Modes) items.push_back(mode.Item);
  // The mode list stands for the three mode registers together: its rules are code.
  Page.BuildRows(sheet, TRowsTable({{"Управление индикацией:",
                                     {List("cbIndControl", "").Items(items).Store(&cbIndControl).OnAction(
                                         [this](TControl& l) { cbIndControlChange(static_cast<TComboBox&>(l)); })}}}));
  BuildIndicators(sheet, layout.HeaderRows);
  if (layout.Channels > 0)
    SettingsRefresh = Page.BuildRows(sheet, DisplaySettingsRows(layout.Channels, layout.SettingsTitle,
                                                                layout.DecimalsLabel));
}

void TIndicationTab::BuildIndicators(TContainer* sheet, const std::vector<TLayoutRow>& headerRows) {
  using namespace rows;
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
    for (size_t i = 0; i < Indicators.size();) {
      const int group = Indicators[i].Group;
      std::vector<int> bits;
      const size_t first = i;
      for (; i < Indicators.size() && Indicators[i].Group == group; ++i) bits.push_back(Indicators[i].Bit);
      row.Parts.push_back(Toggle(kind.Prefix, group == 2 ? kind.Group2 : kind.Group1)
                              .Tags(bits)
                              .Channels(int(bits.size()), int(first) + 1)
                              .StoreAll(kind.Boxes));
    }
    boxes.Rows.push_back(std::move(row));
  }
  IndicatorRefresh = Page.BuildRows(sheet, std::move(boxes));
}

void TIndicationTab::cbIndControlChange(TComboBox& list) {
  const int index = list.ItemIndex();
  if (index >= 0 && index < static_cast<int>(Modes.size())) {
    // No result is checked.
    Page.RunTask(ModeWrite(list, Modes[size_t(index)].Code));
    return;
  }
  list.ReleaseFocus();
}

TTask<> TIndicationTab::ModeWrite(TComboBox& list, uint32_t code) {
  TprModel& d = *Page.Device();
  if (d.ICON3) {
    auto high = Page.Write(d.ICON3, std::to_string((code >> 16) & 0xFF));
    co_await high;
  }
  auto middle = Page.Write(d.ICON2, std::to_string((code >> 8) & 0xFF));
  co_await middle;
  auto low = Page.Write(d.ICON1, std::to_string(code & 0xFF));
  co_await low;
  list.ReleaseFocus();
}

TTask<> TIndicationTab::Refresh() {
  co_await RefreshMode();
  co_await RefreshIndicators();
  if (SettingsRefresh) co_await SettingsRefresh();
}

TTask<> TIndicationTab::RefreshMode() {
  TprModel& d = *Page.Device();
  bool ok = co_await Page.Read(d.ICON1);
  if (ok) ok = co_await Page.Read(d.ICON2);
  if (ok && d.ICON3) ok = co_await Page.Read(d.ICON3);
  int32_t icon1 = 0, icon2 = 0, icon3 = 0;
  ok = ok && d.ICON1->IntegerValue(icon1) && d.ICON2->IntegerValue(icon2) &&
       (!d.ICON3 || d.ICON3->IntegerValue(icon3));
  const uint32_t value = static_cast<uint32_t>(icon1) + 256u * static_cast<uint32_t>(icon2) +
                         65536u * static_cast<uint32_t>(icon3);
  TModuleForm::ShowIndex(*cbIndControl, ok, ok ? ModeIndexOf(Modes, value) : -1);
}

TTask<> TIndicationTab::RefreshIndicators() { co_await IndicatorRefresh(); }

TRowsTable DisplaySettingsRows(int channels, const std::string& title, const std::string& decimalsLabel) {
  using namespace rows;
  // The two fields span the channel columns, so that they do not widen the first one.
  return TRowsTable({{"Строка для индикации:", {Text("edDisplay", "DISPLAY").Span(channels)}},
                     {"Время индикации канала, с:", {Number("edIndTime", "TINDICATION").Span(channels)}},
                     Numbers("", channels),
                     {"Показывать:", {Toggle("chbChInd", "CHINDICATION").Channels(channels)}},
                     {"В % шкалы:", {Toggle("chbChPercent", "IFCH").Bit(0).Channels(channels)}},
                     {decimalsLabel,
                      {BitField("cbDecPoint", "IFCH", 4, 2).Items({"0", "1", "2", "3"}).Channels(channels)}}})
      .Titled(title);
}
