#include "shell/CompUnit.h"

#include "comm/Resources.h"

const std::string& SupportedModulesText() {
  // Fixed text, not built from the model table: it names the variants of each model.
  static const std::string text =
      "  Эта версия программы поддерживает:\n"
      "\n"
      "  - KAPPA-01: 16-канальный модуль двунаправленного ввода-вывода дискретных сигналов.\n"
      "\n"
      "  - ETA-03, ETA-03X: 8-канальные модули ввода аналоговых сигналов тока, напряжения и "
      "термопар.\n"
      "\n"
      "  - BETA-02A, BETA-02B, BETA-02C: 8-канальные модули ввода-вывода дискретных сигналов.\n"
      "\n"
      "  - RHO-05, RHO-05X: 2-канальные модули вывода аналоговых сигналов тока и напряжения.\n"
      "\n"
      "  - IOTA-04, IOTA-04X: 3-канальные модули ввода аналоговых сигналов термосопротивлений.";
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

void TCompForm::FormResize() {
  WordWrap = false;
  Changed();
  WordWrap = true;
  Changed();
}
