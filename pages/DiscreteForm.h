#pragma once
// The page of the two discrete modules: "Индикация", "Входы и выходы" and "Счетчики" after the
// common tabs, declared once as register rows. What differs between the models is data.
#include <string>
#include <vector>

#include "pages/ModuleForm.h"

struct TDiscreteLayout {
  // Channels of every channel register, and counters.
  int Channels;
  // Channels may work as outputs: a direction block heads "Входы и выходы".
  bool Direction;
  // Channels one filter list covers (FILTER1 the first of them).
  int ChannelsPerFilter;
  // Indicators per group (group 1 first); their tag is the position in the group.
  int IndicatorsPerGroup;
  // Headings of the two indicator groups, each numbered from "1:" under it; none: the
  // indicators are numbered through.
  std::vector<std::string> GroupHeadings;
};

class TDiscreteForm : public TModuleForm {
 public:
  TDiscreteForm(TprNode* owner, const TDiscreteLayout& layout);

  // cbOnPUP and cbOnWD: bits 0 and 1 of OUTCONTROL.
  TComboBox* cbOnPUP = nullptr;
  TComboBox* cbOnWD = nullptr;

 private:
  void AddInOutTab(const TDiscreteLayout& layout);
  void AddCountersTab(const TDiscreteLayout& layout);

};
