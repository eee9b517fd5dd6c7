// The pages take exactly the texts the value rules take: every value field of every page of
// every model, given texts around the edges of what its register takes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "models/ValueRules.h"
#include "support/PageRig.h"

namespace {

std::vector<std::string> Candidates(const TRegisterDef& d) {
  switch (ValueKindOf(d)) {
    case TValueKind::Text: return {"Ж", "中", std::string(size_t(d.StrLength), 'B')};
    case TValueKind::Single: return {"1,5", "-2.25", "3.3e37", "3.5e37", "x"};
    case TValueKind::Integer:
    case TValueKind::Code: break;
  }
  int64_t lo = 0, hi = 0;
  NumberRange(d, lo, hi);
  return {std::to_string(lo), std::to_string(hi), std::to_string(hi + 1), "1,5", "7"};
}

TEST(ValueRules, EveryPageFieldTakesWhatItsRegisterTakes) {
  int fields = 0;
  for (int model = 1; model < ModelCount; ++model) {
    TPageRig rig(model);
    rig.Page->FormShow();
    for (size_t tab = 0; tab < rig.Page->pcMain->Sheets().size(); ++tab) {
      rig.ShowTab(int(tab));
      const TContainer* sheet = rig.Page->pcMain->Sheets()[tab];
      for (const auto& c : rig.Page->Controls.Controls()) {
        auto* field = dynamic_cast<TEdit*>(c.get());
        const TControl* p = c->Parent();
        while (p && p != sheet) p = p->Parent();
        if (!field || !p || field->ReadOnly() || !field->Enabled()) continue;
        // The register it writes: what the field shows, written back.
        size_t mark = rig.Mark();
        field->UserEdit(field->Text());
        field->UserKey(13);
        const auto first = rig.Writes(mark);
        if (first.size() != 1) continue;  // a field of its own rule (the time of day)
        const TprDevReg* reg = rig.Model->FindRegister(first[0].first);
        ASSERT_TRUE(reg && reg->Def) << first[0].first;
        ++fields;
        for (const std::string& text : Candidates(*reg->Def)) {
          SCOPED_TRACE(std::string(ModelRow(model).Name) + " " + field->Name() + " " +
                       reg->Name + " '" + text + "'");
          mark = rig.Mark();
          field->UserEdit(text);
          field->UserKey(13);
          EXPECT_EQ(!rig.Writes(mark).empty(), bool(CheckValue(*reg->Def, text)));
          field->UserKey(27);
        }
      }
    }
  }
  EXPECT_GT(fields, 20);
}

}  // namespace
