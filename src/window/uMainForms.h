#pragma once
// The page classes and the generated forms of the pages, for code outside this library that works on their
// controls (tests, tools). Including the forms through this header keeps the including target's
// own form compiler from looking for the .ui files.

#include "uPages.h"
#include "ui_pConnection.h"
#include "ui_pDebug.h"
#include "ui_pEmail.h"
#include "ui_pNetwork.h"
#include "ui_pServer.h"
#include "ui_pServices.h"
#include "ui_pWLAN.h"
#include "ui_pcChannel1.h"
