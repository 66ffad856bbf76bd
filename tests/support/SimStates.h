#pragma once
// Device states for tests: the simulator's defaults and states with every setting at an edge of
// its range, and the read document the engine makes of their dump.

#include <string>

#include "SimModel.h"
#include "SimProfile.h"
#include "uKaVruneDumpReader.h"
#include "uXmlUtils.h"

// Every number at the low or the high end of the device's range, hex bytes 00 or FF, texts empty
// or as long as the device takes. Channel 1 works over TCP with every conditional question asked,
// channel 2 over UDP with the address table; the WLAN uses WEP so that its key questions come.
inline TSimSettings EdgeState(bool high) {
  TSimSettings s = SimDefaults();
  auto set = [&](const char* section, const char* key, const std::string& low, const std::string& hi) {
    s.Set(section, key, high ? hi : low);
  };
  set("basic_parameters", "IP_Address", "0.0.3.0", "223.255.255.254");
  set("basic_parameters", "Set_Gateway_IP_Address", "0.0.0.0", "223.255.255.1");
  set("basic_parameters", "Netmask", "0.0.0.0", "255.255.255.252");
  set("basic_parameters", "Network_mode", "0", "2");
  set("basic_parameters", "Enter_new_DHCP_device_Name", "", "abcdefghijklmno");
  for (const char* ch : {"Channel_1", "Channel_2"}) {
    set(ch, "Baudrate", "300", "460800");
    set(ch, "I_F_Mode", "0", "FF");
    set(ch, "Flow", "0", "FF");
    set(ch, "Port_No", "0", "65535");
    set(ch, "Remote_IP_Address", "0.0.0.0", "255.255.255.255");
    set(ch, "Remote_Port", "0", "65535");
  }
  set("Channel_1", "ConnectMode", "C3", "F3");
  set("Channel_1", "Send_______in_Modem_Mode", "N", "Y");
  set("Channel_1", "Show_IP_addr_after__RING", "N", "Y");
  set("Channel_1", "Auto_increment_source_port", "N", "Y");
  set("Channel_1", "DisConnMode", "50", "FF");
  set("Channel_1", "Terminal_name", "", "terminal-name-of-31-characters!");
  set("Channel_1", "Password", "", "p");
  set("Channel_1", "FlushMode", "0", "FF");
  set("Channel_1", "DisConnTime", "0:0", "23:59");
  set("Channel_1", "SendChar_1", "0", "FF");
  set("Channel_1", "SendChar_2", "0", "FF");
  set("Channel_1", "Pack_Cntrl", "0", "FF");
  set("Channel_1", "Start_Char", "0", "FF");
  set("Channel_2", "ConnectMode", "CC", "4C");
  set("Channel_2", "Datagram_Type", "FD", "FD");
  set("Channel_2", "Send_as_Broadcast", "N", "N");
  set("Channel_2", "Change_address_table", "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0",
      "255 255 255 255 255 255 255 255 255 255 255 255 255 255 255 255");
  set("WLAN", "Topology", "0", "1");
  set("WLAN", "Network_name", "", "ssid-that-is-32-characters-long!");
  set("WLAN", "Channel", "1", "11");
  set("WLAN", "Security_suite", "1", "1");
  set("WLAN", "Authentication", "0", "1");
  set("WLAN", "Encryption", "1", "2");
  set("WLAN", "Key_type_0", "0", "1");
  set("WLAN", "TX_Key_index", "1", "4");
  set("WLAN", "TX_Data_rate", "0:0", "7:1");
  // Ad-Hoc asks no power management: the flag keeps its default so that clones can match.
  set("WLAN", "Enable_power_management", "N", "N");
  set("Expert", "TCP_Keepalive_time_in_s", "0", "65");
  set("Expert", "ARP_Cache_timeout_in_s", "1", "600");
  set("Expert", "CPU_performance", "0", "2");
  set("Expert", "Disable_Monitor_Mode___bootup", "N", "Y");
  set("Expert", "HTTP_Port_Number", "0", "65535");
  set("Expert", "SMTP_Port_Number", "0", "65535");
  set("Expert", "MTU_Size", "512", "1400");
  set("Expert", "Ethernet_connection_type", "0", "5");
  // With SNMP disabled the community name is not asked; the high state asks it.
  set("Security", "Disable_SNMP", "Y", "N");
  for (const char* flag : {"Disable_Telnet_Setup", "Disable_TFTP_Firmware_Update", "Disable_Port_77FEh",
                           "Disable_Web_Server", "Disable_Web_Setup", "Disable_ECHO_ports", "Enable_Encryption",
                           "Enable_Enhanced_Password", "Disable_Port_77F0h"})
    set("Security", flag, "N", "Y");
  set("Security", "SNMP_Community_Name", "", "community-name-of-31-characters");
  return s;
}

// Every on/off setting differs from the one printed before it, so that a flag read from or written
// to its neighbour's key shows. Channel 1 works over TCP so that its three flags are printed.
inline TSimSettings AlternatingFlagsState() {
  TSimSettings s = SimDefaults();
  s.Set("Channel_1", "ConnectMode", "C0");
  s.Set("Channel_1", "Send_______in_Modem_Mode", "Y");
  s.Set("Channel_1", "Show_IP_addr_after__RING", "N");
  s.Set("Channel_1", "Auto_increment_source_port", "Y");
  s.Set("WLAN", "Enable_power_management", "Y");
  s.Set("Expert", "Disable_Monitor_Mode___bootup", "Y");
  // In the dump's sense, on and off by turns: SNMP on, telnet setup off, TFTP on, ...
  const char* security[][2] = {
      {"Disable_SNMP", "N"},       {"Disable_Telnet_Setup", "Y"}, {"Disable_TFTP_Firmware_Update", "N"},
      {"Disable_Port_77FEh", "Y"}, {"Disable_Web_Server", "N"},   {"Disable_Web_Setup", "Y"},
      {"Disable_ECHO_ports", "N"}, {"Enable_Encryption", "N"},    {"Enable_Enhanced_Password", "Y"},
      {"Disable_Port_77F0h", "Y"}};
  for (const auto& [key, value] : security) s.Set("Security", key, value);
  return s;
}

// A device as an installer leaves it, for the pictures of the pages: a fixed address with a
// gateway, channel 1 a TCP server at 115200 baud, channel 2 sending UDP datagrams to one host,
// the WLAN with WPA2.
inline TSimSettings ShowcaseState() {
  TSimSettings s = SimDefaults();
  s.Set("basic_parameters", "IP_Address", "192.168.10.20");
  s.Set("basic_parameters", "Set_Gateway_IP_Address", "192.168.10.1");
  s.Set("basic_parameters", "Network_mode", "2");
  s.Set("basic_parameters", "Enter_new_DHCP_device_Name", "line-3-press");
  s.Set("Channel_1", "Baudrate", "115200");
  s.Set("Channel_1", "Terminal_name", "press-3");
  s.Set("Channel_2", "Baudrate", "19200");
  s.Set("Channel_2", "ConnectMode", "CC");
  s.Set("Channel_2", "Datagram_Type", "1");
  s.Set("Channel_2", "Remote_IP_Address", "192.168.10.50");
  s.Set("Channel_2", "Remote_Port", "10002");
  s.Set("WLAN", "Network_name", "workshop");
  s.Set("WLAN", "Security_suite", "3");
  s.Set("Expert", "MTU_Size", "1400");
  return s;
}

// The read document the dump reader makes of the device's dump in this state; wlan: of a model
// that has WLAN.
inline PXmlDocument DumpDocument(const TSimSettings& settings, bool wlan = true) {
  PXmlDocument doc = TXmlDocument::CreateFromText(TXmlDocument::ReadDocumentText);
  TXmlElement root = doc->Root(), section;
  TSimProfile model = SimProfileFor("standard", 0);
  model.Wlan = wlan;
  for (const std::string& line : SimDumpLines(settings, model)) ParseDumpLine(Cp1250ToUtf8(Trim(line)), root, section);
  return doc;
}
