#include "pages/RhoUnit.h"

#include "comm/Resources.h"
#include "models/ValueRules.h"
#include "models/prRho.h"
#include "pages/RhoCalibrateUnit.h"

namespace {
// OUTPUTDGNS bits of each channel.
struct TLoadBits {
  int Broken, Overload;
};
constexpr TLoadBits kLoadBits[2] = {{0, 2}, {4, 6}};
}  // namespace

TRhoForm::TRhoForm(TprNode* owner) : TModuleForm(owner, true) {
  using namespace rows;
  OUTPUTDGNS = Register("OUTPUTDGNS");
  for (int ch = 0; ch < 2; ++ch) {
    OUTTYPE[ch] = ChannelRegister("OUTTYPE", ch);
    OUTPUTCH[ch] = ChannelRegister("OUTPUTCH", ch);
  }

  // One indicator group: a current and a voltage indicator per channel.
  AddIndicationTab({AnalogModes(true),
                    {{1, 0}, {1, 1}, {1, 6}, {1, 7}},
                    {{LabelCell(""), LabelCell("1:", 2, TCellAlign::Center),
                      LabelCell("2:", 2, TCellAlign::Center)},
                     {LabelCell(""), LabelCell("I:", 1, TCellAlign::Center),
                      LabelCell("U:", 1, TCellAlign::Center), LabelCell("I:", 1, TCellAlign::Center),
                      LabelCell("U:", 1, TCellAlign::Center)}},
                    2,
                    "Следующие параметры используются только при индикации выходов:",
                    "Знаков после запятой"});

  TContainer* outputs = AddRowsTab(
      "tsOutputs", "Выходы",
      TRowsTable({{"Уставка:",
                  {Single("edSetPoint", "SETPOINTCH").Chars(12).Channels(2).StoreAll(&edSetPoint)}},
                 {"Текущее значение:",
                  {Show("edCurrentValue", "").Chars(16).Channels(2).StoreAll(&edCurrentValue)}}})
          .InColumns()
          .ReadOrder({[this] { return RefreshOutputs(); }, TReadItem("SETPOINTCH", 2)}));
  BuildRows(outputs, TRowsTable({{"", {Button("bbCalibrate", "Настройка...")
                                           .Store(&bbCalibrate)
                                           .OnAction([this](TControl&) { bbCalibrateClick(); })}}}));
  FollowCalibration(bbCalibrate);

  AddRowsTab(
      "tsOutParams", "Параметры выходов",
      TRowsTable(
          {Numbers("", 2),
           {"Тип выхода:",
            {List("cbOutType", "OUTTYPE")
                 .Channels(2)
                 .StoreAll(&cbOutType)}},
           {"Скорость нарастания:",
            {List("cbSlewRate", "SLEWRATE")
                 .Channels(2)
                 .StoreAll(&cbSlewRate)}},
           {"Выход PUP:", {Single("edPUP", "OUTPUTPUPCH").Chars(12).Channels(2).StoreAll(&edPUP)}},
           {"Выход SAFE:",
            {Single("edSAFE", "OUTPUTSAFECH").Chars(12).Channels(2).StoreAll(&edSAFE)}},
           // Read-only: Enter in it does nothing, so no set-point is changed from a field the
           // user cannot edit.
           {"Сохраненный выход:",
            {Show("edSaved", "SAVEDOUTPUTCH").Chars(12).Channels(2).StoreAll(&edSaved)}},
           {"При включении питания\nна выходе установить:",
            {BitList("cbOnPUP", "OUTPUTCONTROL")
                 .Items({"Выход PUP", "Сохраненный выход"})
                 .Tags({0, 2})
                 .StoreAll(&cbOnPUP)}},
           {"При потере связи по сети\nна выходе установить:",
            {BitList("cbOnWD", "OUTPUTCONTROL")
                 .Items({"Выход (текущий)", "Выход SAFE"})
                 .Tags({1, 3})
                 .StoreAll(&cbOnWD)}}})
          .ReadOrder({TReadItem("SLEWRATE", 2), TReadItem("OUTTYPE", 2), TReadItem("OUTPUTPUPCH", 2),
                      TReadItem("OUTPUTSAFECH", 2), TReadItem("SAVEDOUTPUTCH", 2), "OUTPUTCONTROL"}));
}

TTask<> TRhoForm::RefreshOutputs() {
  // A failed or unreadable diagnostics read flags nothing: the values are shown then.
  int32_t diagnostics = 0;
  const bool read = co_await Read(OUTPUTDGNS);
  if (!read || !OUTPUTDGNS->IntegerValue(diagnostics)) diagnostics = 0;
  bool switchedOff[2];
  for (int ch = 0; ch < 2; ++ch) {
    int32_t type = 0;
    const bool typeRead = co_await Read(OUTTYPE[ch]);
    switchedOff[ch] = typeRead && OUTTYPE[ch]->IntegerValue(type) &&
                      type == RhoOutputOff;
  }
  // Set whether or not the field has the focus: it is read-only.
  for (int ch = 0; ch < 2; ++ch) {
    TEdit& field = *edCurrentValue[size_t(ch)];
    const char* state = switchedOff[ch]                               ? "Канал отключен"
                        : diagnostics & (1 << kLoadBits[ch].Broken)   ? "Обрыв нагрузки"
                        : diagnostics & (1 << kLoadBits[ch].Overload) ? "Перегрузка"
                                                                      : nullptr;
    if (state) {
      ShowText(field, true, ResStr(state), true);
      continue;
    }
    const bool ok = co_await Read(OUTPUTCH[ch]);
    std::string shown;
    ShowComputed(field, ok, ok && FormatValue(*OUTPUTCH[ch], shown), shown, true);
  }
}

void TRhoForm::bbCalibrateClick() {
  TRhoCalibrateForm wizard(Device());
  ShowModuleDialog(wizard);
}
