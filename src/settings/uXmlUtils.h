#pragma once
// The three parts the settings code is built on, for code that uses them together: the libxml2
// documents, the windows-1250 conversion and the text helpers.

#include "uCp1250.h"
#include "uTextUtils.h"
#include "uXmlDocument.h"

// What the dump reader leaves in a read document in place of a line it could not read (noise on
// the line), and what every reader of such a document knows it by.
constexpr const char* ErrorLineMarker = "xxxxx_ERROR_LINE_xxxxx";
