#pragma once
// A small main window with the names and places of the real one, for the language engine's
// tests and its fuzz target.

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <memory>

#include "AfPortControls.h"
#include "ComCtrlsAdds.h"
#include "ShapeEx.h"
#include "uIntEdit.h"

struct TMiniMain {
  std::unique_ptr<QWidget> fMain = std::make_unique<QWidget>();
  TShapeEx* seNetwork;
  TShapeEx* seServer;
  QComboBox* cbNetworkMode;
  QRadioButton* rbStaticIP;
  QLineEdit* eDHCPName;
  QTabWidget* pcChannel1;
  QComboBox* cbChannel1Baudrate;
  TIntEdit* ieChannel1ConnectionPort;
  QPushButton* bOpenClose;
  TAfPortComboBox* AfPortComboBox1;
  QPlainTextEdit* Memo1;
  QGroupBox* rgMode;
  QButtonGroup* rgModeButtons;
  TShapeExColorSchema* secsMenu;

  TMiniMain() {
    fMain->setObjectName("fMain");
    fMain->setWindowTitle("kaVRUNE setup v.x.y");
    secsMenu = Named(new TShapeExColorSchema(fMain.get()), "secsMenu");
    auto* pLeft = Named(new QWidget(fMain.get()), "pLeft");
    seNetwork = Named(new TShapeEx(pLeft), "seNetwork");
    seNetwork->SetCaption("Network");
    seServer = Named(new TShapeEx(pLeft), "seServer");
    seServer->SetCaption("Server");

    auto* pNetwork = Named(new QWidget(fMain.get()), "pNetwork");
    cbNetworkMode = Named(new QComboBox(pNetwork), "cbNetworkMode");
    cbNetworkMode->addItems({"Wired Only", "Wireless Only", "Bridging(One Host)"});
    cbNetworkMode->setCurrentIndex(1);
    rbStaticIP = Named(new QRadioButton("Use the following IP configuration", pNetwork), "rbStaticIP");
    eDHCPName = Named(new QLineEdit(pNetwork), "eDHCPName");
    Named(new TIPAddress(pNetwork), "ipIP_addr");

    pcChannel1 = Named(new QTabWidget(fMain.get()), "pcChannel1");
    auto* ts5 = Named(new QWidget, "TabSheet5");
    pcChannel1->addTab(ts5, "Serial Settings");
    cbChannel1Baudrate = Named(new QComboBox(ts5), "cbChannel1Baudrate");
    cbChannel1Baudrate->addItems({"300", "600", "1200", "2400", "4800", "9600", "19200", "38400", "57600",
                                  "115200", "230400", "460800"});
    cbChannel1Baudrate->setCurrentIndex(5);
    auto* tsConnection = Named(new QWidget, "tsChannel1Connection");
    pcChannel1->addTab(tsConnection, "Connection");
    auto* tcp = Named(new QWidget(tsConnection), "pChannel1ConnectionTCP");
    ieChannel1ConnectionPort = Named(new TIntEdit(tcp), "ieChannel1ConnectionPort");

    auto* pConnection = Named(new QWidget(fMain.get()), "pConnection");
    bOpenClose = Named(new QPushButton("Open", pConnection), "bOpenClose");
    AfPortComboBox1 = Named(new TAfPortComboBox(pConnection), "AfPortComboBox1");
    AfPortComboBox1->SetOptions({});  // every number listed, whatever the machine has
    AfPortComboBox1->SetMaxComPorts(2);
    Memo1 = Named(new QPlainTextEdit("Memo1", fMain.get()), "Memo1");
    rgMode = Named(new QGroupBox("Mode", fMain.get()), "rgMode");
    rgModeButtons = new QButtonGroup(rgMode);
    for (const char* text : {"A", "B"}) rgModeButtons->addButton(new QRadioButton(text, rgMode));
    rgModeButtons->buttons()[1]->setChecked(true);
  }

  template <class T>
  static T* Named(T* o, const char* name) {
    o->setObjectName(name);
    return o;
  }
};
