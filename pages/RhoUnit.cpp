#include "pages/RhoUnit.h"

#include "comm/Codecs.h"
#include "comm/Resources.h"
#include "pages/RhoCalibrateUnit.h"

namespace {
// Output values are shown in mA or V with three decimals.
bool ThreeDecimals(const std::string& valueText, std::string& shown) {
  double value = 0;
  return TryStrToFloat(valueText, value) && FormatFixed(value, 3, shown);
}

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
      TRowsSpec({{"Уставка:",
                  {Single("edSetPoint", "SETPOINTCH").Fixed(3).Chars(12).Channels(2).StoreAll(&edSetPoint)}},
                 {"Текущее значение:",
                  {Show("edCurrentValue", "").Chars(16).Channels(2).StoreAll(&edCurrentValue)}}})
          .InColumns()
          .ReadOrder({[this] { RefreshOutputs(); }, TReadItem("SETPOINTCH", 2)}));
  BuildRows(outputs, TRowsSpec({{"", {Button("bbCalibrate", "Настройка...")
                                           .Store(&bbCalibrate)
                                           .OnAction([this](TControl&) { bbCalibrateClick(); })}}}));
  FollowCalibration(bbCalibrate);

  AddRowsTab(
      "tsOutParams", "Параметры выходов",
      TRowsSpec(
          {Numbers("", 2),
           {"Тип выхода:",
            {List("cbOutType", "OUTTYPE")
                 .Items({"мА, 0...20", "мА, 4...20 ", "В, 0...10", "В, 0...5", "Канал отключен"})
                 .Codes({0, 1, 2, 3, kOutputSwitchedOff})
                 .Other(4)
                 .Channels(2)
                 .StoreAll(&cbOutType)}},
           {"Скорость нарастания:",
            {List("cbSlewRate", "SLEWRATE")
                 .Items({"Немедленно", "0,0625 В/с; 0,125 мА/с", "0,125 В/с; 0,25 мА/с",
                         "0,25 В/с; 0,5 мА/с", "0,5 В/с; 1 мА/с", "1 В/с; 2 мА/с", "2 В/с; 4 мА/с",
                         "4 В/с; 8 мА/с", "8 В/с; 16 мА/с", "16 В/с; 32 мА/с", "32 В/с; 64 мА/с",
                         "64 В/с; 128 мА/с", "128 В/с; 256 мА/с", "256 В/с; 512 мА/с",
                         "512 В/с; 1024 мА/с", "1024 В/с; 2048 мА/с"})
                 .Channels(2)
                 .StoreAll(&cbSlewRate)}},
           {"Выход PUP:", {Single("edPUP", "OUTPUTPUPCH").Fixed(3).Chars(12).Channels(2).StoreAll(&edPUP)}},
           {"Выход SAFE:",
            {Single("edSAFE", "OUTPUTSAFECH").Fixed(3).Chars(12).Channels(2).StoreAll(&edSAFE)}},
           // Read-only: Enter in it does nothing, so no set-point is changed from a field the
           // user cannot edit.
           {"Сохраненный выход:",
            {Computed("edSaved", "SAVEDOUTPUTCH", ThreeDecimals).Chars(12).Channels(2).StoreAll(&edSaved)}},
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

void TRhoForm::RefreshOutputs() {
  // A failed or unreadable diagnostics read flags nothing: the values are shown then.
  int32_t diagnostics = 0;
  if (!Read(OUTPUTDGNS) || !TryStrToInt(OUTPUTDGNS->ValueText, diagnostics)) diagnostics = 0;
  bool switchedOff[2];
  for (int ch = 0; ch < 2; ++ch) {
    int32_t type = 0;
    switchedOff[ch] = Read(OUTTYPE[ch]) && TryStrToInt(OUTTYPE[ch]->ValueText, type) &&
                      type == kOutputSwitchedOff;
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
    const bool ok = Read(OUTPUTCH[ch]);
    std::string shown;
    ShowComputed(field, ok, ok && ThreeDecimals(OUTPUTCH[ch]->ValueText, shown), shown, true);
  }
}

void TRhoForm::bbCalibrateClick() {
  TRhoCalibrateForm wizard(Device());
  ShowModuleDialog(wizard);
}
