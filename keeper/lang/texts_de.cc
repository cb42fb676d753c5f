// keeper's texts in German.
#include "desktop/lang_table.h"

namespace zelt_lang {
namespace {

// Sorted by number. Registry paths, file names and the instance name are
// the same in every language.
constexpr ZeltLangString kStrings[] = {
    {1, "&Datei"},
    {2, "&Daten sichern"},
    {3, "Daten &wiederherstellen"},
    {4, "&Automatische Sicherung..."},
    {5, "&Beenden"},
    {6, "&Bearbeiten"},
    {7, "&Alle ausw\xC3\xA4hlen"},
    {8, "Auswahl &aufheben"},
    {9, "&Ansicht"},
    {10, "\xC3\x9C&" "ber Tarn Box Keeper..."},
    {11, "&Aktualisieren"},
    {12, "E&xtras"},
    {13, "Ger\xC3\xA4te &suchen..."},
    {14, "&Einstellungen..."},
    {15, "OK"},
    {16, "Sichert die Dokumentboxen von Multifunktionsdruckern im Netzwerk "
         "und stellt sie wieder her."},
    {17, "Sicherung"},
    {19, "Tarn Box Keeper"},
    {20, "Wiederherstellung"},
    {21, "Zieldatei:"},
    {22, "Gefundene Ger\xC3\xA4te"},
    {24, "&Hilfe"},
    {26, "Abbrechen"},
    {27, "IP-Adresse"},
    {28, "Name"},
    {29, "Tarn Box Keeper f\xC3\xBCr Linux"},
    {30, "Modell"},
    {31, "Standort"},
    {32, "Administratorkennwort des Ger\xC3\xA4ts eingeben:"},
    {33, "Ger\xC3\xA4tekennwort"},
    {34, "Bereit"},
    {35, "Automatische Sicherung beenden"},
    {36, "Durchsuchen..."},
    {38, "Gr\xC3\xB6\xC3\x9F" "e"},
    {39, "Automatische Sicherung"},
    {40, "Startzeit:"},
    {41, "Wiederholung:"},
    {42, "Festlegen"},
    {43, "Sicherung"},
    {44, "Sicherung l\xC3\xA4uft"},
    {45, "Sicherung wird vorbereitet..."},
    {46, "Wiederherstellung wird vorbereitet..."},
    {47, "Wiederherstellung"},
    {48, "Wiederherstellung l\xC3\xA4uft"},
    {49, "M\xC3\xB6" "chten Sie die Sicherung abbrechen?"},
    {50, "M\xC3\xB6" "chten Sie die Wiederherstellung abbrechen? Bereits "
         "wiederhergestellte Boxen bleiben auf dem Ger\xC3\xA4t."},
    {51, "Die Sicherung wurde erfolgreich abgeschlossen."},
    {52, "Die Sicherung ist fehlgeschlagen."},
    {53, "Die Sicherung wurde abgebrochen."},
    {54, "Die Wiederherstellung wurde erfolgreich abgeschlossen."},
    {55, "Die Wiederherstellung ist fehlgeschlagen."},
    {56, "Die Wiederherstellung wurde abgebrochen."},
    {57, "Das Datum dieses Computers ist ung\xC3\xBCltig oder liegt nach dem "
         "18. Januar 2038. Korrigieren Sie das Datum und versuchen Sie es "
         "erneut."},
    {58, "Die Startzeit ist bereits vorbei.\nW\xC3\xA4hlen Sie eine "
         "sp\xC3\xA4tere Startzeit."},
    {59, "Das ausgew\xC3\xA4hlte Ger\xC3\xA4t konnte nicht in den "
         "Einstellungen gespeichert werden."},
    {60, "W\xC3\xA4hlen Sie zuerst ein Ger\xC3\xA4t in der Liste aus."},
    {61, "W\xC3\xA4hlen Sie mindestens eine Box aus."},
    {62, "Verbinden Sie sich mit einem Ger\xC3\xA4t und geben Sie eine "
         "Zieldatei ein, die auf \".zip\" endet."},
    {63, "M\xC3\xB6" "chten Sie wirklich alle Boxen auf dem Ger\xC3\xA4t "
         "l\xC3\xB6schen? Alle Dokumente darin gehen verloren."},
    {64, "Der Name der Zieldatei ist ung\xC3\xBCltig. Geben Sie vor \".zip\" "
         "einen Namen ein und beginnen oder beenden Sie keinen Ordnernamen "
         "mit einem Leerzeichen."},
    {65, "Der Ordner konnte nicht angelegt werden, weil der Ort "
         "schreibgesch\xC3\xBCtzt ist."},
    {66, "Der Ordner konnte nicht angelegt werden."},
    {67, "Das Ger\xC3\xA4t antwortet nicht."},
    {68, "Das Kennwort ist ung\xC3\xBCltig."},
    {74, "Die Datei ist bereits vorhanden. M\xC3\xB6" "chten Sie sie "
         "ersetzen?"},
    {75, "Ein Dateiname darf keines dieser Zeichen enthalten:\n"
         "\\ * ? \" < > |"},
    {81, "Freier Speicher auf"},
    {82, ":"},
    {83, "Wiederherstellungsmodus"},
    {84, "Was soll mit Dokumenten geschehen, die bereits auf dem Ger\xC3\xA4t "
         "vorhanden sind?"},
    {85, "Dokumente mit gleichem Namen \xC3\xBC" "berschreiben"},
    {86, "Behalten und die wiederhergestellten mit Nummer hinzuf\xC3\xBCgen"},
    {87, "Wiederherstellungsmodus"},
    {88, "Fehler"},
    {89, "Alle Boxen l\xC3\xB6schen"},
    {90, "Daten werden gepackt"},
    {91, "Daten werden entpackt"},
    {92, "Daten werden heruntergeladen"},
    {93, "Daten werden hochgeladen"},
    {94, "Vorbereitung"},
    {95, "Abschluss"},
    {96, "Daten werden umgewandelt"},
    {97, "Copyright \xC2\xA9 Corvane"},
    {98, "M\xC3\xB6" "chten Sie die automatische Sicherung beenden?"},
    {99, "Alle Rechte vorbehalten."},
    {102, "Die Datei ist kein Sicherungsarchiv dieses Programms oder kann "
          "nicht gelesen werden."},
    {103, "Das Ger\xC3\xA4t ist mit einem anderen Auftrag besch\xC3\xA4" "ftigt. "
          "Versuchen Sie es sp\xC3\xA4ter erneut."},
    {107, "Ausgew\xC3\xA4hlt: "},
    {108, "Abbrechen"},
    {110, "Verbindung zum Ger\xC3\xA4t wird hergestellt..."},
    {111, "Alle Boxen werden gel\xC3\xB6scht..."},
    {113, "Dokumente:"},
    {114, "Ein interner Fehler ist aufgetreten."},
    {115, "Das Ger\xC3\xA4t wird von einem anderen Benutzer verwendet."},
    {116, "Der Boxspeicher des Ger\xC3\xA4ts ist nicht aktiv."},
    {117, "Das Ger\xC3\xA4t hat nicht rechtzeitig geantwortet."},
    {118, "Das Ger\xC3\xA4t konnte nicht freigegeben werden."},
    {120, "Tarn-Speicher &initialisieren..."},
    {121, "Eine automatische Sicherung ist eingerichtet. Wenn Sie das "
          "Programm schlie\xC3\x9F" "en, wird sie beendet."},
    {125, "Pr\xC3\xBC" "fen Sie die Netzwerkverbindung und die Adresse des "
          "Ger\xC3\xA4ts."},
    {126, "Auf dem Datentr\xC3\xA4ger dieses Computers ist nicht genug "
          "Platz."},
    {128, "Das Ger\xC3\xA4t hat die Anfrage abgelehnt."},
    {129, "Die Verbindung zum Ger\xC3\xA4t wurde zur\xC3\xBC" "ckgesetzt."},
    {131, "Es ist nicht genug Arbeitsspeicher vorhanden."},
    {132, "Das Netzwerk ist nicht erreichbar."},
    {136, "Der Zugriff auf den Ordner oder die Datei wurde verweigert."},
    {137, "Die Datei ist bereits vorhanden."},
    {138, "Das Ger\xC3\xA4t unterst\xC3\xBCtzt diesen Vorgang oder dieses "
          "Archiv nicht."},
    {139, "Der Ordner ist nicht vorhanden."},
    {140, "Dieses Ger\xC3\xA4temodell oder diese Archivversion wird nicht "
          "unterst\xC3\xBCtzt."},
    {141, "Beenden"},
    {142, "Auf dem Ger\xC3\xA4t ist nicht genug Platz."},
    {143, "Einmal"},
    {144, "T\xC3\xA4glich"},
    {145, "W\xC3\xB6" "chentlich"},
    {146, "Monatlich"},
    {147, "Wenn ausgew\xC3\xA4hlte Boxen gel\xC3\xB6scht werden"},
    {148, "Sicherung fortsetzen"},
    {149, "Automatische Sicherung beenden"},
    {150, "Protokoll anzeigen"},
    {151, "Protokoll der automatischen Sicherung"},
    {152, "Zeitplan"},
    {153, "Ger\xC3\xA4tename:"},
    {154, "Adresse:"},
    {155, "Wenn ausgew\xC3\xA4hlte Boxen gel\xC3\xB6scht werden:"},
    {157, "Nr."},
    {158, "Boxname"},
    {159, "Lauf"},
    {160, "Gestartet:"},
    {161, "Boxen in diesem Lauf:"},
    {162, "Diese Boxen wurden auf dem Ger\xC3\xA4t gel\xC3\xB6scht:"},
    {163, "Archivgr\xC3\xB6\xC3\x9F" "e:"},
    {164, "Erfolgreich abgeschlossen."},
    {165, "Beendet."},
    {166, "Fehlgeschlagen."},
    {167, "Der Lauf ist fehlgeschlagen und wird wiederholt:\n%s"},
    {168, "Ergebnis:"},
    {169, "Beendet am:"},
    {170, "Gesamtgr\xC3\xB6\xC3\x9F" "e der Archive:"},
    {171, "Ausgew\xC3\xA4hlte Boxen wurden auf dem Ger\xC3\xA4t "
          "gel\xC3\xB6scht.\nDie automatische Sicherung wurde beendet."},
    {172, "Die Sicherung wird erneut versucht."},
    {173, "Die Sicherung ist bei jedem Versuch fehlgeschlagen. Die "
          "automatische Sicherung wurde beendet."},
    {174, "N\xC3\xA4" "chste Sicherung:"},
    {175, "Zu viele Dokumente in %s: Ein Ordner oder eine Box fasst "
          "h\xC3\xB6" "chstens 400."},
    {176, "Zu viele Ordner in Box %s: Eine Box fasst h\xC3\xB6" "chstens 100."},
    {177, "Sichern"},
    {178, "Wiederherstellen"},
    {179, "Netzwerkpfade k\xC3\xB6nnen nicht verwendet werden. W\xC3\xA4hlen "
          "Sie einen Ordner auf diesem Computer."},
    {180, "Geben Sie den vollst\xC3\xA4ndigen Pfad der Datei ein, beginnend "
          "mit \"/\"."},
    {181, "Der Pfad ist ung\xC3\xBCltig. Er darf weder * ? \" < > | \\ noch "
          "\"//\" enthalten."},
    {182, "Vollst\xC3\xA4ndige Sicherung"},
    {183, "Inkrementelle Sicherung"},
    {184, "Zeit"},
    {185, "Typ:"},
    {186, "Letzte Sicherung"},
    {187, "Sicherungszeit"},
    {188, "Sicherungseigenschaften"},
    {189, "Einstellungen"},
    {190, "Sicherungsart:"},
    {191, "Alle Boxen"},
    {192, "Boxen:"},
    {193, "W\xC3\xA4hlen Sie die Art der Sicherung:"},
    {194, "Dieses Konto darf den Boxdienst nicht verwenden."},
    {195, "Der Boxdienst ist auf dem Ger\xC3\xA4t ausgeschaltet."},
    {196, "Der Dienst l\xC3\xA4uft auf dem Ger\xC3\xA4t nicht."},
    {199, "Die Ger\xC3\xA4tesuche ist bereits ge\xC3\xB6" "ffnet."},
    {200, "Dieses Archiv stammt von einem Ger\xC3\xA4t einer anderen Serie "
          "und kann auf diesem Ger\xC3\xA4t nicht wiederhergestellt werden."},
    {201, "Das Konto darf diesen Vorgang nicht ausf\xC3\xBChren."},
    {204, "Version"},
    {205, "Das Ger\xC3\xA4t ist m\xC3\xB6glicherweise noch gesperrt; geben Sie "
          "es am Bedienfeld frei."},
    {206, "Verwendet Qt, zlib, OpenSSL, libcurl, pugixml und Net-SNMP."},
    {207, "OK"},
    {208, "Abbrechen"},
    {209, "Die Bibliothek f\xC3\xBCr die Ger\xC3\xA4tesuche konnte nicht "
          "geladen werden. Installieren Sie das Programm erneut."},
    {211, "keeper-about.png"},
    {212, "ZELT_Discovery.bin"},
    {9999, "Deutsch"},
    {10000, "Software\\\\TALLIS\\\\Corvane TALLIS Client\\\\BRD"},
    {10001, "help/keeper.html"},
    {10002, "finder"},
    {10005, "Software\\\\TALLIS\\\\Corvane TALLIS Client\\\\Running"},
    {10009, "Verbinden Sie sich erneut mit dem Ger\xC3\xA4t und wiederholen "
            "Sie den Vorgang."},
    {10011, "zelt-keeper-instance"},
    {10012, "Die Sicherung wurde vom Benutzer abgebrochen."},
    {10013, "Die Wiederherstellung wurde vom Benutzer abgebrochen."},
    {10014, "Vom Benutzer beendet."},
    {10016, "&Suchen"},
    {10018, "SNMP-Version"},
    {10019, "Software\\\\TALLIS\\\\Corvane TALLIS Client\\\\BRD"},
    {10020, "Im Boxspeicher des Ger\xC3\xA4ts ist nicht genug Platz."},
    {10021, "Auf dem Speicherlaufwerk des Ger\xC3\xA4ts ist nicht genug "
            "Platz."},
    {10022, "Verbindung zum Ger\xC3\xA4t wird hergestellt, bitte warten..."},
    {12000, "libcipherlib.so"},
    {12002, "libdigestlib.so"},
    {12004, "Das Archiv wurde im sicheren Modus erstellt und kann im "
            "aktuellen Sicherheitsmodus des Ger\xC3\xA4ts nicht "
            "wiederhergestellt werden."},
    {12005, "keeper.ini"},
    {12006, "Das Kennwort muss zuerst am Ger\xC3\xA4t ge\xC3\xA4ndert werden."},
    {12007, "Das Kennwort ist abgelaufen."},
    {12008, "Das Kennwort entspricht nicht den Regeln des Ger\xC3\xA4ts."},
    {12009, "Das Konto ist gesperrt."},
    {12010, "libauthdlg.so"},
    {13000, "Sicherungsarchive (*.zip)"},
    {13001, "Sicherungsarchiv ausw\xC3\xA4hlen"},
    {13002, "Zieldatei ausw\xC3\xA4hlen"},
    {13003, "Box"},
    {13004, "Suchen in:"},
    {13005, "Datei&name:"},
    {13006, "Dateityp:"},
    {13007, "&Speichern"},
    {13008, "\xC3\x96&" "ffnen"},
    {13009, "&Ja"},
    {13010, "&Nein"},
    {13011, "Die Hilfeseiten konnten nicht ge\xC3\xB6" "ffnet werden. Sie "
            "geh\xC3\xB6ren nach %s."},
    {13012, "Die Kennwortabfrage konnte nicht ge\xC3\xB6" "ffnet werden. "
            "Installieren Sie das Programm erneut."},
    {13013, "Mit dem Ger\xC3\xA4t verbunden"},
    {13014, "Nicht verbunden"},
    {13015, "Der Ordner ist nicht vorhanden. M\xC3\xB6" "chten Sie ihn anlegen?"},
};

static_assert(IsSorted(kStrings), "the table must be sorted by number");

}  // namespace

const ZeltLangString* Strings(uint32_t* count) {
  *count = static_cast<uint32_t>(std::size(kStrings));
  return kStrings;
}

uint32_t LanguageId() { return 1031; }

}  // namespace zelt_lang
