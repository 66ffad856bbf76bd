#pragma once
// windows-1250, the device's and the settings files' code page, by our own table: the same on
// every platform, and there where the C library has no iconv (Windows).

#include <string>

// Characters without a windows-1250 form become '?'; bytes without a character are dropped.
std::string Cp1250ToUtf8(const std::string& bytes);
std::string Utf8ToCp1250(const std::string& text);

// Makes libxml2 read and write "windows-1250" (alias "CP1250") through the same table.
// Idempotent; the document code calls it before it parses or saves.
void RegisterCp1250WithLibxml();
