// The unit's questions, as its menus print them: the line it waits at for each setting, by menu
// and prompt key. Units of the family print these words; a unit that asks otherwise (another
// firmware) asks questions the engine does not know, and is answered only after the longest
// pause its line has shown.
//
// "{v}" is the value the unit shows (any text on the line), "{n}" a number. Where units ask
// one question in two ways, both forms are here: the address "IP Address (192.168.1.254) ? " or
// a number at a time, "IP Address : (192) ", ".(168) " ... A form that is the beginning of another
// one is never whole, so only the longer is kept (the netmask's with its "?").

#include <map>
#include <utility>

#include "uKaVruneModelText.h"

namespace {

using TForms = std::vector<std::string>;

// The next numbers of an address asked one number at a time.
const std::string AddressPart = ".({n}) ";

TForms Address(const std::string& label) { return {label + " ({v}) ? ", label + " : ({n}) ", AddressPart}; }
TForms Value(const std::string& label) { return {label + " ({v}) ? "}; }

// Menu ("Channel" for both channels) and prompt key -> the forms.
const std::map<std::pair<std::string, std::string>, TForms>& Forms() {
  static const std::map<std::pair<std::string, std::string>, TForms> forms = {
      // Server configuration
      {{"basic_parameters", "IP_Address"}, Address("IP Address")},
      {{"basic_parameters", "Set_Gateway_IP_Address"},
       {"Set Gateway IP Address ({v}) ? ", "Gateway IP addr ({n}) ", "Gateway IP addr : ({n}) ", AddressPart}},
      // Units that print it without its "?" stop at a beginning of it: answered after a longer wait.
      {{"basic_parameters", "Netmask"}, {"Netmask: number of host bits ({n}) ? "}},
      {{"basic_parameters", "Network_mode"}, Value("Network mode (0=wired only, 1=wireless only, 2=bridging)")},
      {{"basic_parameters", "Enter_new_Password"}, {"Change telnet config password ({v}) ? ", "Enter new Password ? "}},
      // The name the unit holds ("not set" for none), then the choice: two parts, the first one
      // ending as a whole question does.
      {{"basic_parameters", "Enter_new_DHCP_device_Name"},
       {"Change DHCP device name ({v}) ? ({v}) ? ", "Enter new DHCP device Name ({v}) ? "}},

      // Channel 1 and 2
      {{"Channel", "Baudrate"}, Value("Baudrate")},
      {{"Channel", "I_F_Mode"}, Value("I/F Mode")},
      {{"Channel", "Flow"}, Value("Flow")},
      {{"Channel", "Port_No"}, Value("Port No")},
      {{"Channel", "ConnectMode"}, Value("ConnectMode")},
      {{"Channel", "Datagram_Type"}, Value("Datagram Type")},
      {{"Channel", "Send_as_Broadcast"}, Value("Send as Broadcast")},
      {{"Channel", "Send_______in_Modem_Mode"}, Value("Send '+++' in Modem Mode")},
      {{"Channel", "Show_IP_addr_after__RING"}, Value("Show IP addr after 'RING'")},
      {{"Channel", "Auto_increment_source_port"}, Value("Auto increment source port")},
      {{"Channel", "Remote_IP_Address"}, Address("Remote IP Address")},
      {{"Channel", "Remote_Port"}, Value("Remote Port")},
      {{"Channel", "DisConnMode"}, Value("DisConnMode")},
      {{"Channel", "Terminal_name"}, Value("Terminal name")},
      {{"Channel", "Password"}, Value("Password")},
      {{"Channel", "FlushMode"}, Value("FlushMode")},
      // The minutes, then ":" alone where the seconds are typed.
      {{"Channel", "DisConnTime"}, {"DisConnTime ({v}) ? ", ":"}},
      {{"Channel", "SendChar_1"}, Value("SendChar 1")},
      {{"Channel", "SendChar_2"}, Value("SendChar 2")},
      {{"Channel", "Pack_Cntrl"}, Value("Pack Cntrl")},
      {{"Channel", "Start_Char"}, Value("Start Char")},
      {{"Channel", "Change_address_table"}, {"Change address table ({v}) ? ", "Dev addr {n} ({v}) ? "}},

      // WLAN
      {{"WLAN", "Topology"}, Value("Topology (0=Infrastructure, 1=Ad-Hoc)")},
      {{"WLAN", "Network_name"}, Value("Network name")},
      {{"WLAN", "Channel"}, Value("Channel")},
      {{"WLAN", "Security_suite"}, Value("Security suite (0=none, 1=WEP, 2=WPA, 3=WPA2/802.11i)")},
      {{"WLAN", "Authentication"}, Value("Authentication (0=open/none or PSK, 1=shared)")},
      {{"WLAN", "Encryption"}, Value("Encryption (WEP: 1=64, 2=128 bits; WPA: 0=TKIP, 1=TKIP+WEP; WPA2: 0..4)")},
      {{"WLAN", "Key_type_0"}, Value("Key type 0=hex, 1=passphrase")},
      {{"WLAN", "Enter_Key"}, {"Change Key ({v}) ? ", "Enter Key ? ", "Display current key ({v}) ? "}},
      {{"WLAN", "TX_Key_index"}, Value("TX Key index")},
      // The fallback, then the rate.
      {{"WLAN", "TX_Data_rate"},
       {"TX Data rate (fixed=0, auto fallback=1) ({v}) ? ",
        "Rate (0=1, 1=2, 2=5.5, 3=11, 4=18, 5=24, 6=36, 7=54 Mbps) ({v}) ? "}},
      {{"WLAN", "Enable_power_management"}, Value("Enable power management")},

      // Expert settings
      {{"Expert", "TCP_Keepalive_time_in_s"}, Value("TCP Keepalive time in s (1s - 65s; 0s=disable)")},
      {{"Expert", "ARP_Cache_timeout_in_s"}, Value("ARP Cache timeout in s (1s - 600s)")},
      {{"Expert", "CPU_performance"}, Value("CPU performance (0=Regular, 1=Low, 2=High)")},
      {{"Expert", "Disable_Monitor_Mode___bootup"}, Value("Disable Monitor Mode @ bootup")},
      {{"Expert", "HTTP_Port_Number"}, Value("HTTP Port Number")},
      {{"Expert", "SMTP_Port_Number"}, Value("SMTP Port Number")},
      {{"Expert", "MTU_Size"}, Value("MTU Size")},
      {{"Expert", "Ethernet_connection_type"},
       Value("Ethernet connection type (0=auto, 2=10Mb/HD, 3=10Mb/FD, 4=100Mb/HD, 5=100Mb/FD)")},

      // Security
      {{"Security", "Disable_SNMP"}, Value("Disable SNMP")},
      {{"Security", "SNMP_Community_Name"}, Value("SNMP Community Name")},
      {{"Security", "Disable_Telnet_Setup"}, Value("Disable Telnet Setup")},
      {{"Security", "Disable_TFTP_Firmware_Update"}, Value("Disable TFTP Firmware Update")},
      {{"Security", "Disable_Port_77FEh"}, Value("Disable Port 77FEh")},
      {{"Security", "Disable_Web_Server"}, Value("Disable Web Server")},
      {{"Security", "Disable_Web_Setup"}, Value("Disable Web Setup")},
      {{"Security", "Disable_ECHO_ports"}, Value("Disable ECHO ports")},
      {{"Security", "Enable_Encryption"}, Value("Enable Encryption")},
      {{"Security", "Key_length_in_bits"}, Value("Key length in bits")},
      {{"Security", "Enter_Key"}, {"Change Key ({v}) ? ", "Enter Key ? "}},
      {{"Security", "Enable_Enhanced_Password"}, Value("Enable Enhanced Password")},
      {{"Security", "Enter_Password"}, {"Change the Password ({v}) ? ", "Enter Password ? "}},
      {{"Security", "Disable_Port_77F0h"}, Value("Disable Port 77F0h")},
  };
  return forms;
}

}  // namespace

void settings_text::AttachQuestions(std::vector<TSettingRow>& rows) {
  for (TSettingRow& row : rows) {
    if (!row.Writable()) continue;
    const std::string menu = row.Section.rfind("Channel_", 0) == 0 ? std::string("Channel") : row.Section;
    const auto it = Forms().find({menu, row.PromptKey});
    if (it != Forms().end()) row.Asks = it->second;
  }
}
