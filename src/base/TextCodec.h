#pragma once
// Names travel in files as single-byte Windows-1252 text; in memory they are UTF-8.
#include <string>

// Every byte maps to one character (the five unassigned bytes to the control
// characters of the same number), so Utf8ToCp1252(Cp1252ToUtf8(b)) == b for any b.
std::string Cp1252ToUtf8(const std::string& bytes);

// Characters without a Windows-1252 code become "?"; malformed UTF-8 bytes too.
std::string Utf8ToCp1252(const std::string& text);
