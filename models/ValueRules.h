#pragma once
// The rules for the values of a register, one per kind of value, beside the register facts
// they act on: which texts a register takes (its range, the codes of its list, its length in
// bytes in the modules' code page, a number with either decimal separator), how a value read is
// shown, and when two value texts stand for the same value. The window's pages, the
// command-line tool and the simulator all decide by these.
#include <cstdint>
#include <string>

#include "models/RegisterDefs.h"

class TprDevReg;

// What a register holds, from its row: a plain integer, a code of its list, a single-precision
// number or a text.
enum class TValueKind { Integer, Code, Single, Text };
TValueKind ValueKindOf(const TRegisterDef& def);

// Why a value is refused.
enum class TValueFault {
  None,
  NotANumber,   // no number of the register's kind (an integer register given "1.5")
  OutOfRange,   // outside the register's range, or beyond single precision's
  NotInList,    // a code that no item of the register's list stands for
  Unencodable,  // a character the modules' code page has no byte for
  TooLong,      // more bytes in that code page than the register holds
};

// The verdict on a value text, with the number it stands for.
struct TValueCheck {
  TValueFault Fault = TValueFault::None;
  int64_t Integer = 0;  // Integer and Code
  double Real = 0;      // Single
  explicit operator bool() const { return Fault == TValueFault::None; }
};

// Whether the register takes the text. A list register takes the codes of its items; `force`
// lets one of its other codes through where the list shows such codes as an item of their own.
TValueCheck CheckValue(const TRegisterDef& def, const std::string& text, bool force = false);
// Whether the text is an integer lo..hi; the number in `value`.
TValueFault CheckInteger(const std::string& text, int64_t lo, int64_t hi, int64_t& value);
// The same for a number a module holds for an integer or code register (the value at the
// register's width, signed where its type is).
TValueFault CheckNumber(const TRegisterDef& def, int64_t value, bool force = false);
// The same for a single-precision number: finite and of magnitude up to 3.4e37.
TValueFault CheckSingle(double value);
// What the register takes, in a few words of English for the command line ("an integer
// 1..247", "one of 0, 1, 2", ...), for the fault found.
std::string ValueExpected(const TRegisterDef& def, TValueFault fault, bool force = false);
// CheckValue with the words of ValueExpected in `why` on refusal.
bool CheckValueText(const TRegisterDef& def, const std::string& text, std::string& why,
                    bool force = false);

// The text of a read value with `decimals` fixed decimals (kAsRead: the value text as read);
// false when the value read has no number to show (not finite, or no number at all).
bool FormatValue(const TprDevReg& reg, int decimals, std::string& shown);
// FormatValue with the decimals of the register's row.
bool FormatValue(const TprDevReg& reg, std::string& shown);
// The failure display of a value that could not be read, and that of a value read that has no
// number to show.
std::string NoValueText();
std::string BadValueText();
// What a read value shows: NoValueText() when the read failed, BadValueText() when it has no
// number to show, else its text with the decimals given (or the row's).
std::string ShownValue(const TprDevReg& reg, bool read, int decimals);
std::string ShownValue(const TprDevReg& reg, bool read);

// Two value texts of a register that stand for the same value (5.5 and 5.50000 alike; a text
// padded to the register's length alike).
bool SameValue(const TRegisterDef& def, const std::string& a, const std::string& b);
