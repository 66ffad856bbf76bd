#pragma once
// The three parts the settings code is built on, for code that uses them together: the libxml2
// documents, the windows-1250 conversion and the text helpers.

#include "uCp1250.h"
#include "uTextUtils.h"
#include "uXmlDocument.h"
