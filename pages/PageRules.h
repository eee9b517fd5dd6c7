#pragma once
// Rules shared by the module pages that need no page: the time of day in the locale's long time format, the self-diagnostics text and the indication
// mode codes.
#include <cstdint>
#include <string>
#include <vector>

// A time of day shown with FormatSettings().LongTimeFormat (letters H/HH 24-hour, h/hh 12-hour
// with AP, m/mm, s/ss, z/zzz milliseconds shown as zeros, AP/ap; t and unknown letters show
// nothing; '...' quotes literal text).
std::string FormatTimeOfDay(int hours, int minutes, int seconds);
// The texts of a time of day in that format that differ in width: one per hour (one or two
// digits, AM or PM), with the widest minutes and seconds.
std::vector<std::string> TimeOfDayTexts();
// Parses a text in that format, with the leniency a user expects: one or two digits per
// field, blanks around, seconds optional. Milliseconds are dropped.
bool ParseTimeOfDay(const std::string& text, int& hours, int& minutes, int& seconds);

// "Нет ошибок" or "Код ошибки: " with the error bits (value AND 0x7FFF) in upper-case
// hexadecimal, at least 4 digits.
std::string SelfDiagText(int32_t value);

// One item of an indication mode list: its text and its mode code (ICON1 the lowest byte,
// ICON2 the next, ICON3 the highest).
struct TIndicationMode {
  std::string Item;
  uint32_t Code;
};
// The mode list of the discrete modules.
const std::vector<TIndicationMode>& DiscreteModes();
// The mode list of the analog modules; outputs true for the output module's wording.
const std::vector<TIndicationMode>& AnalogModes(bool outputs);
// The item a mode value shows: 2 gives item 0, else 4 gives item 1, else the first further
// item whose code bits are all set; -1 for none.
int ModeIndexOf(const std::vector<TIndicationMode>& modes, uint32_t value);
