// finder's texts in German.
#include "desktop/lang_table.h"

namespace zelt_lang {
namespace {

// Sorted by number. Registry paths, file names, the event name, protocol
// names and the version labels are the same in every language.
constexpr ZeltLangString kStrings[] = {
    {1, "Ger\xC3\xA4tesuche"},
    {2, "Hilfe"},
    {3, "Abbrechen"},
    {4, "OK"},
    {6, "TCP/IP-Suche"},
    {7, "Lokales Subnetz"},
    {8, "Adressbereich"},
    {9, "Von:"},
    {10, "Bis:"},
    {12, "Produkte"},
    {13, "Suche"},
    {14, "Ger\xC3\xA4tename"},
    {15, "IP-Adresse"},
    {16, "Starten"},
    {17, "Anhalten"},
    {18, "Standort"},
    {19, "Ger\xC3\xA4te werden gesucht..."},
    {24, "Der IPv4-Adressbereich ist ung\xC3\xBCltig: Das Ende darf nicht vor "
         "dem Anfang liegen, und 255.255.255.255 kann nicht durchsucht "
         "werden."},
    {26, "Sucheinstellungen"},
    {40, "Erweitert..."},
    {41, "Manuelle Auswahl..."},
    {42, "IPX-Suche"},
    {43, "Standort:"},
    {44, "Ger\xC3\xA4tename:"},
    {45, "IP-Adresse:"},
    {46, "Fehler"},
    {47, "Die Liste enth\xC3\xA4lt bereits 64 Ger\xC3\xA4te. Es k\xC3\xB6nnen "
         "keine weiteren Ger\xC3\xA4te von Hand hinzugef\xC3\xBCgt werden."},
    {49, "Das ausgew\xC3\xA4hlte Ger\xC3\xA4t konnte nicht in den "
         "Einstellungen gespeichert werden."},
    {50, "Gefundene Ger\xC3\xA4te:"},
    {51, "Geben Sie einen Ger\xC3\xA4tenamen ein."},
    {52, "Der Ger\xC3\xA4tename darf h\xC3\xB6" "chstens 32 Zeichen lang sein."},
    {53, "Der Standort darf h\xC3\xB6" "chstens 64 Zeichen lang sein."},
    {54, "0.0.0.0 ist keine g\xC3\xBCltige Adresse."},
    {59, "Modell"},
    {60, "Dieses Ger\xC3\xA4t ist bereits in der Liste."},
    {67, "Tarn Print Server"},
    {68, "Tarn Print Server Pro"},
    {69, "Manuelle Auswahl"},
    {70, "Sucheinstellungen"},
    {71, "W\xC3\xA4hlen Sie ein Ger\xC3\xA4t und klicken Sie auf OK, oder "
         "doppelklicken Sie es."},
    {87, "IPX-Adresse:"},
    {88, "Die IPX-Netzwerknummer muss genau 8 Hexadezimalziffern haben."},
    {89, "Die IPX-Knotennummer muss genau 12 Hexadezimalziffern haben."},
    {90, "Die IPX-Netzwerknummer darf keine Leerzeichen enthalten."},
    {91, "Die IPX-Knotennummer darf keine Leerzeichen enthalten."},
    {92, "Die IPX-Netzwerknummer darf nur Hexadezimalziffern (0-9, A-F) "
         "enthalten."},
    {93, "Die IPX-Knotennummer ist ung\xC3\xBCltig. Verwenden Sie 12 "
         "Hexadezimalziffern, die nicht alle null sind."},
    {98, "W\xC3\xA4hlen Sie die TCP/IP-Suche, die IPX-Suche oder beide."},
    {111, "W\xC3\xA4hlen Sie mindestens ein Produkt."},
    {119, "255.255.255.255 ist keine g\xC3\xBCltige Ger\xC3\xA4te" "adresse."},
    {133, "Die IPv6-Adresse ist ung\xC3\xBCltig."},
    {134, "IPv4"},
    {135, "IPv6"},
    {136, "W\xC3\xA4hlen Sie f\xC3\xBCr die TCP/IP-Suche IPv4, IPv6 oder "
          "beide."},
    {137, "Geben Sie eine g\xC3\xBCltige IPv6-Adresse ein. Die Adresse aus "
          "lauter Nullen kann nicht verwendet werden."},
    {138, "Der IPv6-Adressbereich ist ung\xC3\xBCltig: Das Ende darf nicht "
          "vor dem Anfang liegen."},
    {139, "Software\\\\TALLIS\\\\Corvane TALLIS Client"},
    {141, "Software\\\\TALLIS\\\\Corvane TALLIS Client"},
    {142, "Software\\\\TALLIS\\\\Corvane Device Finder\\\\Other"},
    {143, "Software\\\\TALLIS\\\\Corvane Device Finder\\\\Discovery2"},
    {144, "Software\\\\TALLIS\\\\Corvane Device Finder\\\\Discovery"},
    {149, "Software\\\\TALLIS\\\\Corvane TALLIS Client\\\\Discovery"},
    {172, "help/de/finder.html"},
    {190, "SNMP-Einstellungen..."},
    {192, "V1/V2"},
    {193, "V3"},
    {205, "SNMP-Version"},
    {206, "Die ID-Datei kann nicht gelesen werden. W\xC3\xA4hlen Sie eine "
          "andere Datei."},
    {207, "HMAC-MD5"},
    {208, "HMAC-SHA"},
    {209, "Keine"},
    {210, "CBC-DES"},
    {211, "Das Ger\xC3\xA4t antwortet mit diesen SNMPv3-Einstellungen "
          "nicht."},
    {217, "Ger\xC3\xA4teinformationen"},
    {224, "libidfile.so"},
    {246, "Das Ger\xC3\xA4t antwortet mit diesem Community-Namen nicht."},
    {263, "SNMP-Einstellungen"},
    {264, "Der Community-Name darf nicht mit einem Leerzeichen beginnen."},
    {310, "CFB-AES-128"},
    {324, "LaunchLD"},
    {400, "finder-timeout.ini"},
    {12031, "Corvane"},
    {12032, "Serie"},
    {13001, "SNMP-Version"},
    {13002, "V1,V2"},
    {13003, "V3"},
    {13004, "V1,V2 /V3"},
    {13005, "Community-Name:"},
    {13006, "SNMPv3-Anmeldedaten"},
    {13007, "Benutzer-ID-Datei:"},
    {13008, "Benutzername / Kennwort:"},
    {13009, "Benutzername:"},
    {13010, "Authentifizierungsprotokoll:"},
    {13011, "Authentifizierungskennwort:"},
    {13012, "Datenschutzprotokoll:"},
    {13013, "Datenschutzkennwort:"},
    {13014, "Durchsuchen..."},
    {13015, "Standard wiederherstellen"},
    {13016, "ID-Dateien (*.id)"},
    {13017, "&Ja"},
    {13018, "&Nein"},
    {13019, "IPX steht auf diesem System nicht zur Verf\xC3\xBCgung."},
    {13020, "Alle Produkte anzeigen"},
    {13021, "Nur eine Zeile anzeigen"},
    {13022, "Die Hilfeseite %s kann nicht ge\xC3\xB6" "ffnet werden. Pr\xC3\xBC" "fen "
            "Sie, ob das Programm vollst\xC3\xA4ndig installiert und ein "
            "Webbrowser eingerichtet ist."},
    {13023, "Die Ger\xC3\xA4teseite %s kann nicht ge\xC3\xB6" "ffnet werden. "
            "Pr\xC3\xBC" "fen Sie, ob ein Webbrowser eingerichtet ist."},
};

static_assert(IsSorted(kStrings), "the table must be sorted by number");

}  // namespace

const ZeltLangString* Strings(uint32_t* count) {
  *count = static_cast<uint32_t>(std::size(kStrings));
  return kStrings;
}

uint32_t LanguageId() { return 1031; }

}  // namespace zelt_lang
