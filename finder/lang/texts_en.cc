// finder's texts in U.S. English.
#include "desktop/lang_table.h"

namespace zelt_lang {
namespace {

// Sorted by number. Registry paths keep doubled backslashes (collapsed
// before use); the key of 141 followed by "\BRD" is keeper's own key.
constexpr ZeltLangString kStrings[] = {
    {1, "Device Discovery"},
    {2, "Help"},
    {3, "Cancel"},
    {4, "OK"},
    {6, "TCP/IP search"},
    {7, "Local subnet"},
    {8, "Address range"},
    {9, "From:"},
    {10, "To:"},
    {12, "Products"},
    {13, "Search"},
    {14, "Device Name"},
    {15, "IP Address"},
    {16, "Start"},
    {17, "Stop"},
    {18, "Location"},
    {19, "Searching for devices..."},
    {24, "The IPv4 address range is not valid: the end must not lie before "
         "the start, and 255.255.255.255 cannot be searched."},
    {26, "Discovery Settings"},
    {40, "Advanced..."},
    {41, "Manual Selection..."},
    {42, "IPX search"},
    {43, "Location:"},
    {44, "Device name:"},
    {45, "IP address:"},
    {46, "Error"},
    {47, "The list already holds 64 devices. No more devices can be added "
         "by hand."},
    {49, "The selected device could not be saved in the settings."},
    {50, "Devices found:"},
    {51, "Enter a device name."},
    {52, "The device name can have at most 32 characters."},
    {53, "The location can have at most 64 characters."},
    {54, "0.0.0.0 is not a valid address."},
    {59, "Model"},
    {60, "This device is already in the list."},
    {67, "Tarn Print Server"},
    {68, "Tarn Print Server Pro"},
    {69, "Manual Selection"},
    {70, "Discovery Settings"},
    {71, "Select a device and press OK, or double-click it."},
    {87, "IPX address:"},
    {88, "The IPX network number must have exactly 8 hexadecimal digits."},
    {89, "The IPX node number must have exactly 12 hexadecimal digits."},
    {90, "The IPX network number must not contain spaces."},
    {91, "The IPX node number must not contain spaces."},
    {92, "The IPX network number may contain only hexadecimal digits "
         "(0-9, A-F)."},
    {93, "The IPX node number is not valid. Use 12 hexadecimal digits that "
         "are not all zero."},
    {98, "Choose TCP/IP search, IPX search or both."},
    {111, "Choose at least one product."},
    {119, "255.255.255.255 is not a valid device address."},
    {133, "The IPv6 address is not valid."},
    {134, "IPv4"},
    {135, "IPv6"},
    {136, "Choose IPv4, IPv6 or both for the TCP/IP search."},
    {137, "Enter a valid IPv6 address. The address of only zeros cannot be "
          "used."},
    {138, "The IPv6 address range is not valid: the end must not lie "
          "before the start."},
    {139, "Software\\\\TALLIS\\\\Corvane TALLIS Client"},
    {141, "Software\\\\TALLIS\\\\Corvane TALLIS Client"},
    {142, "Software\\\\TALLIS\\\\Corvane Device Finder\\\\Other"},
    {143, "Software\\\\TALLIS\\\\Corvane Device Finder\\\\Discovery2"},
    {144, "Software\\\\TALLIS\\\\Corvane Device Finder\\\\Discovery"},
    {149, "Software\\\\TALLIS\\\\Corvane TALLIS Client\\\\Discovery"},
    {172, "help/finder.html"},
    {190, "SNMP Settings..."},
    {192, "V1/V2"},
    {193, "V3"},
    {205, "SNMP Version"},
    {206, "The ID file cannot be read. Choose another file."},
    {207, "HMAC-MD5"},
    {208, "HMAC-SHA"},
    {209, "None"},
    {210, "CBC-DES"},
    {211, "The device does not answer with these SNMPv3 settings."},
    {217, "Device Information"},
    {224, "libidfile.so"},
    {246, "The device does not answer with this community name."},
    {263, "SNMP Settings"},
    {264, "The community name must not begin with a space."},
    {310, "CFB-AES-128"},
    {324, "LaunchLD"},
    {400, "finder-timeout.ini"},
    {12031, "Corvane"},
    {12032, "series"},
    // Texts of the SNMP settings dialog.
    {13001, "SNMP version"},
    {13002, "V1,V2"},
    {13003, "V3"},
    {13004, "V1,V2 /V3"},
    {13005, "Community name:"},
    {13006, "SNMPv3 credentials"},
    {13007, "User ID file:"},
    {13008, "User name / password:"},
    {13009, "User name:"},
    {13010, "Authentication protocol:"},
    {13011, "Authentication password:"},
    {13012, "Privacy protocol:"},
    {13013, "Privacy password:"},
    {13014, "Browse..."},
    {13015, "Restore Default"},
    {13016, "ID Files (*.id)"},
    {13017, "&Yes"},
    {13018, "&No"},
    {13019, "IPX is not available on this system."},
    {13020, "Show all products"},
    {13021, "Show one line"},
    {13022, "The help page %s cannot be opened. Check that the program is "
            "installed completely and that a web browser is set up."},
    {13023, "The device page %s cannot be opened. Check that a web browser "
            "is set up."},
};

static_assert(IsSorted(kStrings), "the table must be sorted by number");

}  // namespace

const ZeltLangString* Strings(uint32_t* count) {
  *count = static_cast<uint32_t>(std::size(kStrings));
  return kStrings;
}

uint32_t LanguageId() { return 1033; }

}  // namespace zelt_lang
