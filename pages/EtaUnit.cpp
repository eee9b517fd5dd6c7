#include "pages/EtaUnit.h"

namespace {
TAnalogInputForm::TAnalogInputs EtaInputs() {
  TAnalogInputForm::TAnalogInputs inputs;
  inputs.Channels = 8;
  inputs.ColdJunction = true;
  // Indicators 1..4 are the odd bits of group 1, indicators 5..8 the even bits of group 2.
  for (int bit : {1, 3, 5, 7}) inputs.Indicators.push_back({1, bit});
  for (int bit : {0, 2, 4, 6}) inputs.Indicators.push_back({2, bit});
  inputs.DecimalsLabel = "Знаков\nпосле\nзапятой:";
  return inputs;
}
}  // namespace

TEtaForm::TEtaForm(TprNode* owner) : TAnalogInputForm(owner, EtaInputs()) {
  using namespace rows;
  // One line per channel; reading line by line gives MAPENABLE, then LBS, HBS, LBT and HBT of
  // channel 1, of channel 2 and on.
  TRowsTable scaling({{"", {Label(""), Label("Разрешение:"), Label("Границы:", 4).Aligned(TCellAlign::Center)}},
                     {"", {Label(""), Label(""), Label("Источник:", 2).Aligned(TCellAlign::Center),
                           Label("Результат:", 2).Aligned(TCellAlign::Center)}},
                     {"", {Label(""), Label(""), Label("Нижняя:"), Label("Верхняя:"), Label("Нижняя:"),
                           Label("Верхняя:")}}});
  for (int ch = 0; ch < Inputs().Channels; ++ch) {
    auto channel = [ch](TPart part) { return part.Tags({ch}).Channels(1, ch + 1); };
    scaling.Rows.push_back(
        {std::to_string(ch + 1) + ":",
         {channel(Toggle("chbEnableScale", "MAPENABLE")).StoreAll(&chbEnableScale),
          channel(Single("edLMarginSource", "LBS")).Chars(12).StoreAll(&edLMarginSource),
          channel(Single("edHMarginSource", "HBS")).Chars(12).StoreAll(&edHMarginSource),
          channel(Single("edLMarginTarget", "LBT")).Chars(12).StoreAll(&edLMarginTarget),
          channel(Single("edHMarginTarget", "HBT")).Chars(12).StoreAll(&edHMarginTarget)}});
  }
  AddRowsTab("tsScaling", "Масштабирование", std::move(scaling));
}
