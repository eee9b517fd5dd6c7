#include "pages/AnalogUnit.h"

#include "comm/Resources.h"
#include "models/ValueRules.h"
#include "shell/UiServices.h"

TAnalogInputForm::TAnalogInputForm(TprNode* owner, TAnalogInputs inputs)
    : TModuleForm(owner, true), Description(std::move(inputs)) {
  TLayoutGrid header;
  header.NumberRow("Индикаторы:", int(Description.Indicators.size()));
  AddIndicationTab({AnalogModes(false), Description.Indicators, header.Rows, Description.Channels,
                    "Следующие параметры используются только при индикации входов:",
                    Description.DecimalsLabel});
  AddInputsTab();
  AddInputParametersTab();
}

void TAnalogInputForm::AddInputsTab() {
  using namespace rows;
  TContainer* sheet = AddTab("tsInputs", "Входы", [this] { return RefreshInputs(); });
  // The fields are the channel texts of RefreshInputs, not the view of one register each.
  BuildRows(sheet, TRowsTable({{"Измеренное значение:",
                               {Show("edInputValue", "").Channels(Description.Channels).Chars(26)
                                    .StoreAll(&edInputValue)}}})
                       .InColumns());
  std::vector<TRow> rest;
  if (Description.ColdJunction)
    rest.push_back({"Температура холодного спая:",
                    {Show("edCoolJunction", "").Chars(10).Store(&edCoolJunction)}});
  rest.push_back({"", {Button("bbCalibrate", "Настройка...").Store(&bbCalibrate).OnAction(
                          [this](TControl&) { bbCalibrateClick(); })}});
  BuildRows(sheet, TRowsTable(std::move(rest)));
  FollowCalibration(bbCalibrate);
}

void TAnalogInputForm::AddInputParametersTab() {
  using namespace rows;
  const int n = Description.Channels;
  AddRowsTab("tsInputParameters", "Параметры входов",
             TRowsTable({{"Тип датчика:", {List("cbInpType", "INPTYPE").Channels(n)
                                              .StoreAll(&cbInpType)}},
                        {"Приоритет:", {List("cbPriority", "PRIOR").Channels(n)
                                            .StoreAll(&cbPriority)}},
                        {"Код фильтра:", {List("cbFilter", "FILTER").Channels(n)
                                              .StoreAll(&cbFilter)}}})
                 .InColumns()
                 .ReadOrder({{"PRIOR", n}, {"INPTYPE", n}, {"FILTER", n}}));
}

void TAnalogInputForm::bbCalibrateClick() { Ui().Beep(); }

TTask<uint32_t> TAnalogInputForm::ChannelMask(const char* prefix, bool (*test)(int32_t)) {
  uint32_t mask = 0;
  for (int ch = 0; ch < Description.Channels; ++ch) {
    TprDevReg* reg = ChannelRegister(prefix, ch);
    int32_t value = 0;
    const bool ok = co_await Read(reg);
    if (ok && reg->IntegerValue(value) && test(value)) mask |= 1u << ch;
  }
  co_return mask;
}

TTask<uint32_t> TAnalogInputForm::FlagMask(TprDevReg* reg) {
  int32_t value = 0;
  const bool ok = co_await Read(reg);
  co_return ok && reg->IntegerValue(value) ? static_cast<uint32_t>(value) : 0;
}


TTask<> TAnalogInputForm::RefreshInputs() {
  const uint32_t off = co_await ChannelMask("PRIOR", [](int32_t v) { return v == 0; });
  const uint32_t thermocouples =
      co_await ChannelMask("INPTYPE", [](int32_t v) { return v >= kThermocoupleType; });
  const uint32_t broken = co_await FlagMask(Register("TCOD"));
  const uint32_t over = co_await FlagMask(Register("OVRD"));
  const uint32_t under = co_await FlagMask(Register("UNRD"));
  for (int ch = 0; ch < Description.Channels; ++ch) {
    const uint32_t bit = 1u << ch;
    std::string text;
    // The first state that applies; the value is read only when none does.
    if (off & bit)
      text = ResStr("Канал отключен");
    else if (broken & bit)
      text = ResStr("Обрыв датчика");
    else if (over & bit)
      text = ResStr("Верхняя граница диапазона");
    else if (under & bit)
      text = ResStr("Нижняя граница диапазона");
    else {
      TprDevReg* input = ChannelRegister("ANALOGINPUT", ch);
      const bool ok = co_await Read(input);
      // Degrees with fixed decimals; other values as the register's row shows them.
      text = thermocouples & bit ? ShownValue(*input, ok, kThermocoupleDecimals)
                                 : ShownValue(*input, ok);
    }
    // Read-only: set whether or not the field has the focus.
    edInputValue[size_t(ch)]->SetText(text);
  }
  if (!edCoolJunction) co_return;
  TprDevReg* cjt = Register("CJT");
  const bool ok = co_await Read(cjt);
  edCoolJunction->SetText(ShownValue(*cjt, ok));
}
