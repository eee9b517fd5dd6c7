#pragma once
// The rows engine: turns a tab declared as register rows (pages/Rows.h) into its controls,
// their layout grid, their binding and the tab's refresh step. It resolves every register
// when the rows are built, keeps the bindings and the order the refresh reads in, and leaves
// what a control does and how it shows a value to its host (the module page), so that it can
// be driven without a page.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "comm/LineTask.h"
#include "pages/Rows.h"
#include "shell/Controls.h"

class TprDevReg;
class TprModel;
struct TRegisterDef;

// One control shown after each read of its register.
struct TRowBinding {
  std::shared_ptr<const TPart> Part;
  TControl* Control;
  TprDevReg* Reg;
  int Bit;
};

// What the engine asks of the page it builds for.
class TRowsHost {
 public:
  // The register of the name; raises std::logic_error when the model lacks it.
  virtual TprDevReg* Register(const std::string& name) const = 0;
  // Hooks a new control to its part's rule (entry, click, change). reg is nullptr for a part
  // with no register; bit is the bit of a bit part.
  virtual void BindPart(const std::shared_ptr<const TPart>& part, TControl* control, TprDevReg* reg,
                        int bit) = 0;
  // Shows a bound control after its register's read (ok: the read succeeded).
  virtual void ShowBound(const TRowBinding& binding, bool ok) = 0;
  // co_await Read(reg): the read's success; the value is in reg->ValueText.
  virtual TTask<bool> Read(TprDevReg* reg) = 0;

 protected:
  ~TRowsHost() = default;
};

class TRowsEngine {
 public:
  // model: the device whose registers the rows name (nullptr: rows cannot be built); owner:
  // who the rows belong to, named in the text of a build error (read when one is raised).
  TRowsEngine(TRowsHost& host, TControlSet& controls, const TprModel* model,
              const std::string& owner);
  ~TRowsEngine();
  TRowsEngine(const TRowsEngine&) = delete;
  TRowsEngine& operator=(const TRowsEngine&) = delete;

  // Creates the rows' controls on the sheet with their layout (one grid) and bindings, and
  // returns the refresh of the rows. Raises std::logic_error for a row naming a register the
  // model lacks, a register of the explicit order no row shows, or a shown register missing
  // from that order.
  TRefreshStep Build(TContainer* sheet, TRowsTable table);

  // The tab and row label of the first row showing the register ("RS-485: Адрес"), in the
  // user's language; empty when no row shows it.
  std::string RegisterCaption(const std::string& registerName) const;

 private:
  struct TPlan;
  // Per row and part: the part's controls in channel order (none for a label).
  using TPlaced = std::vector<std::vector<std::vector<TControl*>>>;

  void PlaceRow(TContainer* sheet, TRow& row, bool ownOrder, TPlan& plan,
                std::vector<std::vector<TControl*>>& placed);
  // The part's controls, bound, and their reads noted in the plan.
  std::vector<TControl*> PlacePart(TContainer* sheet, const TRow& row,
                                   const std::shared_ptr<const TPart>& part, bool ownOrder,
                                   TPlan& plan);
  TControl* CreateControl(TContainer* sheet, const TPart& part, const std::string& name,
                          TprDevReg* reg);
  // Checks a part against its register's facts and takes the list its codes stand for.
  void TakeRegisterFacts(TPart& part) const;
  // The explicit read order, checked against the registers the rows show.
  void OrderReads(const std::vector<TReadItem>& order, TPlan& plan) const;
  static void LayOut(TContainer* sheet, const TRowsTable& table, const TPlaced& placed);
  void NoteCaption(const std::string& registerName, const std::string& tab, std::string label,
                   int channel);
  TTask<> Refresh(const TPlan& plan);
  TprDevReg* ChannelRegister(const std::string& prefix, int tag) const;
  [[noreturn]] void Fail(const std::string& what) const;

  TRowsHost& Host;
  TControlSet& Controls;
  const TprModel* Model;
  const std::string& Owner;
  std::vector<std::unique_ptr<const TPlan>> Plans;
  // Where a row first shows each register, as the rows were built.
  struct TRegisterCaption {
    std::string Register, Tab, Label;
    int Channel;  // 0: none
  };
  std::vector<TRegisterCaption> Captions;
};
