#include "pages/DiscreteForm.h"

TDiscreteForm::TDiscreteForm(TprNode* owner, const TDiscreteLayout& layout) : TModuleForm(owner) {
  TIndicationLayout indication{DiscreteModes(), {}, {}, 0, {}, {}};
  const int groups = 2;
  for (int i = 0; i < groups * layout.IndicatorsPerGroup; ++i)
    indication.Indicators.push_back({1 + i / layout.IndicatorsPerGroup, i % layout.IndicatorsPerGroup});
  TLayoutGrid header;
  if (layout.GroupHeadings.empty()) {
    header.NumberRow("Индикаторы:", groups * layout.IndicatorsPerGroup);
  } else {
    TLayoutRow headings{LabelCell("Индикаторы:")};
    TLayoutRow numbers{EmptyCell()};
    for (const std::string& heading : layout.GroupHeadings) {
      headings.push_back(LabelCell(heading, layout.IndicatorsPerGroup, TCellAlign::Center));
      for (int i = 1; i <= layout.IndicatorsPerGroup; ++i)
        numbers.push_back(LabelCell(std::to_string(i) + ":", 1, TCellAlign::Center));
    }
    header.Row(std::move(headings)).Row(std::move(numbers));
  }
  indication.HeaderRows = std::move(header.Rows);
  AddIndicationTab(indication);
  AddInOutTab(layout);
  AddCountersTab(layout);
}

void TDiscreteForm::AddInOutTab(const TDiscreteLayout& layout) {
  using namespace rows;
  const int n = layout.Channels;
  std::vector<TRow> lines;
  std::vector<TReadItem> order;
  if (layout.Direction) {
    lines.push_back(Numbers("Каналы:", n));
    lines.push_back({"Направление\n - как выходы:", {Toggle("chbInpDirection", "DIRECTION").Channels(n)}});
    order.push_back("DIRECTION");
  }
  const int filters = n / layout.ChannelsPerFilter;
  for (TRow& row : std::vector<TRow>{
           Numbers("Каналы:", n),
           {"Входы:", {BitShow("chbIn", "DIGINPUT").Channels(n)}},
           {"ПВ фильтра:",
            {List("cbFilter", "FILTER")
                 .Channels(filters)
                 .Span(layout.ChannelsPerFilter)}},
           {"Инверсия:", {Toggle("chbInv", "INPUTLOGIC").Channels(n)}},
           {"Защелка \"1\":", {BitShow("chbHLatch", "LHDIGINPUT").Channels(n)}},
           {"Защелка \"0\":", {BitShow("chbLLatch", "LLDIGINPUT").Channels(n)}},
           {"Сброс:", {CommandButton("bbLatchReset", "RSTLATCH").Channels(n).Hint("Сброс защелок")}},
           Numbers("Каналы:", n),
           {"Выходы:", {Toggle("chbOut", "DIGOUTPUT").Channels(n)}},
           {"Выходы PUP:", {Toggle("chbPUP", "PUPDIGOUTPUT").Channels(n)}},
           {"Выходы SAFE:", {Toggle("chbSAFE", "SAFEDIGOUTPUT").Channels(n)}},
           {"Сохраненные:", {BitShow("chbSaved", "SAVOUTPUT").Channels(n)}},
       })
    lines.push_back(std::move(row));
  for (const char* reg : {"DIGINPUT", "INPUTLOGIC", "LHDIGINPUT", "LLDIGINPUT", "DIGOUTPUT",
                          "PUPDIGOUTPUT", "SAFEDIGOUTPUT", "SAVOUTPUT"})
    order.push_back(reg);
  order.push_back({"FILTER", filters});

  // The channel rows, then the output modes.
  auto steps = std::make_shared<std::vector<TRefreshStep>>();
  TContainer* sheet = AddTab("tsInOut", "Входы и выходы", [steps] { return RunSteps(steps); });
  steps->push_back(BuildRows(sheet, TRowsTable(std::move(lines)).ReadOrder(std::move(order))));
  // The two output modes stand under their long labels, apart from the channel columns.
  steps->push_back(BuildRows(
      sheet, TRowsTable({{"При включении питания модуля на выходах установить:", {}},
                        {{}, {BitList("cbOnPUP", "OUTCONTROL").Bit(0).Items({"Выходы PUP", "Сохраненные выходы"}).Store(&cbOnPUP)}},
                        {"При потере связи по сети на выходах установить:", {}},
                        {{}, {BitList("cbOnWD", "OUTCONTROL").Bit(1).Items({"Выходы (текущие)", "Выходы SAFE"}).Store(&cbOnWD)}}})));
}

void TDiscreteForm::AddCountersTab(const TDiscreteLayout& layout) {
  using namespace rows;
  const int n = layout.Channels;
  AddRowsTab("tsCounters", "Счетчики",
             TRowsTable({{"Все счетчики:",
                         {Number("edCounter", "COUNTER").Channels(n),
                          CommandButton("bbResetCounter", "COUNTRESET").Channels(n).Hint("Сброс счетчика")}},
                        {"Вкл.:", {Toggle("chbEnableCounter", "COUNTENABLE").Channels(n)}},
                        {"Фронт:", {BitList("cbFront", "COUNTFRONT").Items({"Фронт", "Спад"}).Channels(n)}},
                        {"Направление:",
                         {BitList("cbDirection", "COUNTDIRECTION").Items({"Прямой", "Обратный"}).Channels(n)}},
                        {"Переполн.:",
                         {BitShow("chbOverflow", "OVFFLAGS").Channels(n),
                          CommandButton("bbOverflowReset", "FLAGRESET").Channels(n).Hint("Сброс переполнения")}}})
                 .ReadOrder({{"COUNTER", n}, "COUNTENABLE", "OVFFLAGS", "COUNTFRONT", "COUNTDIRECTION"})
                 .InColumns());
}
