#include "shell/CompUnit.h"

#include "comm/Resources.h"
#include "models/RegisterDefs.h"
#include "shell/MainUnit.h"

std::string SupportedModulesText() {
  // One paragraph per model of the model table, with the variants each comes in.
  std::string text = ResStr("  Эта версия программы поддерживает:");
  for (int i = 1; i < ModelCount; ++i)
    text += std::string("\n\n  - ") + ModelNames[i].Variants + ": " + ResStr(ModelNames[i].Summary);
  return text;
}

std::string UnknownModuleText(int modelCode) {
  const std::string code = modelCode >= 0 ? std::to_string(modelCode) : "?";
  return FillIn(ResStr("  Модуль сообщил код модели %s.\n"
                       "\n"
                       "  Эта версия программы не поддерживает модули с таким кодом: их настройки "
                       "здесь недоступны. Поддерживаемые модели перечислены на странице \"Мой "
                       "компьютер\"."),
                {code});
}

TCompForm::TCompForm(TprNode* owner) : TprForm(owner), mMain(SupportedModulesText()) {}

void TCompForm::bbAddNetPortClick() {
  if (TMainForm* main = MainForm()) main->AddNetworkPortClick();
}

void TCompForm::FormResize() {
  WordWrap = false;
  Changed();
  WordWrap = true;
  Changed();
}
