#pragma once
// Module texts (module name, display text, version) travel one byte per character in
// Windows-1251, the code page of the texts that modules configured from Russian Windows hold;
// ASCII is the same in both. The program works in UTF-8, so every text is converted on its way
// to and from the wire, and a field's length in characters is its length on the wire.
#include <string>

// UTF-8 text to wire bytes. False when the text holds a character the code page has no byte
// for (or is not valid UTF-8); bytes is then unspecified.
bool EncodeWireText(const std::string& text, std::string& bytes);
// Wire bytes to UTF-8. The one byte the code page leaves undefined shows as U+FFFD.
std::string DecodeWireText(const std::string& bytes);
