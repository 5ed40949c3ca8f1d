#include "app/TextCatalog.h"

#include <cstdio>

namespace {

// Rows are indexed by id: row i holds text id i. Rows 0 and 149 only mark the
// ends of the table; lookups never return them.
constexpr TextCatalogEntry kTable[kTextCatalogSize] = {
    {0, "Erste Text ID", "First Text ID", "Eerste tekst ID"},
    {1, "Info Dialog schließen", "close info dialog", "info dialoog sluiten"},
    {2, "E-Mail an mich senden", "send e-mail to me", "e-mail naar mij sturen"},
    {3, "Kadrimix Homepage öffnen", "open Kadrimix Homepage", "Kadrimix homepage openen"},
    {4, "anderes farbiges Bild", "another colored picture", "ander gekleurd plaatje"},
    {5, "Kadrimix beenden", "close Kadrimix", "Kadrimix afsluiten"},
    {6, "Konvertierung starten", "start converting", "converteren starten"},
    {7, "Konvertierung stoppen", "stop converting", "converteren stoppen"},
    {8, "Eingabe AVI auswählen", "select input AVI", "invoer AVI selecteren"},
    {9, "Ausgabe AVI auswählen", "select output AVI", "uitvoer AVI selecteren"},
    {10, "Versionsinformation", "version information", "versie informatie"},
    {11, "Vorschau starten/stoppen", "start/stop preview", "voorbeeld starten/stoppen"},
    {12, "Vorschau Position", "preview position", "voorbeeld positie"},
    {13, "AVI rückwärts konvertieren", "convert AVI reverse", "AVI achterstevoren converteren"},
    {14, "AVI horizontal spiegeln", "horizontal mirror AVI", "AVI horizontaal spiegelen"},
    {15, "oberen Teil spiegeln", "mirror upper part", "bovenste deel spiegelen"},
    {16, "unteren Teil spiegeln", "mirror lower part", "onderste deel spiegelen"},
    {17, "AVI vertikal spiegeln", "vertical mirror AVI", "AVI verticaal spiegelen"},
    {18, "linken Teil spiegeln", "mirror left part", "linker deel spiegelen"},
    {19, "rechten Teil spiegeln", "mirror right part", "rechter deel spiegelen"},
    {20, "Vorschau während der Konvertierung aktivieren", "activate preview during converting",
     "voorbeeld tijdens het converteren activeren"},
    {21, "prüfen, ob AVI interlaced ist", "check, if AVI is interlaced",
     "controleren, of AVI interlaced is"},
    {22, "Overlay AVI auswählen und Parameter setzen. 1 ist die höchste Priorität",
     "select overlay AVI and set parameter. 1 is the highest priority",
     "overlay AVI selecteren en parameters instellen. 1 is de hoogste prioriteit"},
    {23, "Codec für die konvertierte Ausgabe AVI auswählen",
     "select codec for converted output AVI",
     "codec voor de geconverteerde uitvoer AVI selecteren"},
    {24, "Fortschritt der Konvertierung", "converting progress", "voortgang van het converteren"},
    {25, "Nur ein farbiges Bild", "Only a colored picture", "Alleen een gekleurd plaatje"},
    {26, "Einstellungen laden", "load settings", "instellingen inlezen"},
    {27, "Einstellungen speichern", "save settings", "instellingen opslaan"},
    {28, "allgemeine Einstellungen", "general settings", "algemene instellingen"},
    {29, "E&NDE", "&END", "STO&PPEN"},
    {30, "In&fo", "In&fo", "In&fo"},
    {31, "&Einstellungen", "Setu&p", "Voork&euren"},
    {32, "Star&t", "Star&t", "Star&t"},
    {33, "S&topp", "S&top", "S&top"},
    {34, "Ein&gabe AVI", "&Input AVI", "In&voer AVI"},
    {35, "&Ausgabe AVI", "&Output AVI", "&Uitvoer AVI"},
    {36, "Rück&warts", "Re&verse", "&Achterstevoren"},
    // Half-mirror buttons: right, left, upper, lower, each in its language's own initial.
    {37, "&R", "&R", "&R"},
    {38, "&L", "&L", "&L"},
    {39, "&O", "&U", "&B"},
    {40, "&U", "&D", "&O"},
    {41, "&Speichern", "&Save", "Op&slaan"},
    {42, "La&den", "Lo&ad", "&Inlezen"},
    {43, "Hal&bbilder", "I&nterlace", "&Halfbeelden"},
    {44, "Spiegeln &horizontal", "Mirror &horizontal", "Spiegelen hori&zontaal"},
    {45, "Spiegeln &vertikal", "&Mirror vertical", "Spie&gelen verticaal"},
    {46, "Vorschau a&ktivieren", "Ena&ble preview", "Voorbeel&d activeren"},
    {47, "Fortschritt", "Progress", "Voortgang"},
    {48, "Aktion", "Action", "Actie"},
    {49, "Optionen", "Options", "Opties"},
    {50, "Projektdatei", "Project File", "Projectbestand"},
    {51, "keine Kompression", "no compression", "geen compressie"},
    {52, "Codec auswählen", "Select codec", "Codec selecteren"},
    {53, "kein AVI ausgewählt", "no AVI selected", "geen AVI geselecteerd"},
    {54, "FEHLER:\r\nOpen AVI File", "ERROR:\r\nOpen AVI file", "FOUT:\r\nOpenen AVI bestand"},
    {55, "FEHLER:\r\nKein Video Stream im AVI File", "ERROR:\r\nNo video stream in AVI file",
     "FOUT:\r\nGeen videostream in AVI bestand"},
    {56, "FEHLER: GetVideoStreamInfo\r\n", "ERROR: GetVideoStreamInfo\r\n",
     "FOUT: GetVideoStreamInfo\r\n"},
    {57, "FEHLER: StartVideoRetrieve\r\nUnbekannter Codec (I)\r\n",
     "ERROR: StartVideoRetrieve\r\nUnknown codec (I)\r\n",
     "FOUT: StartVideoRetrieve\r\nOnbekende codec (I)\r\n"},
    {58, "FEHLER: GetVideoFrame\r\nUnbekannter Codec (II)\r\n",
     "ERROR: GetVideoFrame\r\nUnknown codec (II)\r\n",
     "FOUT: GetVideoFrame\r\nOnbekende codec (II)\r\n"},
    {59, "FEHLER:\r\nUnbekannter Codec", "ERROR:\r\nUnknown codec", "FOUT:\r\nOnbekende codec"},
    {60, "Format", "Format", "Formaat"},
    {61, "Bilder", "Frames", "Frames"},
    {62, "Sek", "sec", "sec"},
    {63, "Dauer", "Duration", "Duur"},
    // This one really ends in "\n\r", in every language.
    {64, "FEHLER: Format nicht unterstützt\n\r", "ERROR: Format not supported\n\r",
     "FOUT: Formaat wordt niet ondersteund\n\r"},
    {65, "FEHLER: GetVideoFrame (letztes Bild)\r\nAVI File zu groß\r\n",
     "ERROR: GetVideoFrame (last frame)\r\nAVI File too big\r\n",
     "FOUT: GetVideoFrame (laatste frame)\r\nAVI bestand te groot\r\n"},
    {66, "Bild", "Frame", "Frame"},
    {67, "Zeit", "Time", "Tijd"},
    {68, "Konvertierung beendet\r\nDauer", "Converting finished\r\nDuration",
     "Converteren voltooid\r\nDuur"},
    {69, "Konvertierung abgebrochen\r\nDauer", "Converting aborted\r\nDuration",
     "Converteren afgebroken\r\nDuur"},
    {70, "Kadrimix Projekt laden", "Load Kadrimix project", "Kadrimix project inlezen"},
    {71, "Kadrimix Projekt speichern", "Save Kadrimix project", "Kadrimix project opslaan"},
    {72, "FEHLER File Open:\r\nProjekt kann nicht gelesen werden",
     "ERROR File Open:\r\nProject could not be read",
     "FOUT File Open:\r\nProject kan niet gelezen worden"},
    {73, "FEHLER File Read:\r\nProjekt kann nicht gelesen werden",
     "ERROR File Read:\r\nProject could not be read",
     "FOUT File Read:\r\nProject kan niet gelezen worden"},
    {74, "FEHLER File Read:\r\nProjekt File fehlerhaft", "ERROR File Read:\r\nProject file corrupt",
     "FOUT File Read:\r\nProject bestand beschadigd"},
    {75, "FEHLER File Read:\r\nProjekt File Version fehlerhaft",
     "ERROR File Read:\r\nProject file wrong version",
     "FOUT File Read:\r\nProject bestand heeft verkeerde versie"},
    {76, "FEHLER File Open:\r\nProjekt kann nicht geschrieben werden",
     "ERROR File Open:\r\nProject could not be written",
     "FOUT File Open:\r\nProject kan niet opgeslagen worden"},
    {77, "FEHLER File Write:\r\nProjekt kann nicht geschrieben werden",
     "ERROR File Write:\r\nProject could not be written",
     "FOUT File Write:\r\nProject kan niet opgeslagen worden"},
    {78, "Aktuelles Projekt speichern?", "Save actual project?", "Actueel project opslaan?"},
    {79, "Unbekannt", "Unknown", "Onbekend"},
    {80, "Eingabe AVI auswählen", "Select input AVI", "Invoer AVI selecteren"},
    {81, "Ausgabe AVI auswählen", "Select output AVI", "Uitvoer AVI selecteren"},
    {82, "Schließen und Overlay Einstellungen übernehmen (ESC für Abbruch)",
     "Close and accept overlay settings (ESC for abort)",
     "Sluiten en overlay instellingen overnemen (ESC voor afbreken)"},
    {83, "Horizontale Overlay Position setzen; Cursortasten für Feineinstellung",
     "Set horizontale overlay position; use cursor for fine adjustment",
     "Horizontale overlay positie instellen; cursortoetsen voor fijnafstelling"},
    {84, "Vertikale Overlay Position setzen; Cursortasten für Feineinstellung",
     "Set vertical overlay position; use cursor for fine adjustment",
     "Verticale overlay positie instellen; cursortoetsen voor fijnafstelling"},
    {85, "Horizontale Overlay Größe setzen; Cursortasten für Feineinstellung",
     "Set horizontale overlay size; use cursor for fine adjustment",
     "Horizontale overlay grootte instellen; cursortoetsen voor fijnafstelling"},
    {86, "Vertikale Overlay Größe setzen; Cursortasten für Feineinstellung",
     "Set vertical overlay size; use cursor for fine adjustment",
     "Verticale overlay grootte instellen; cursortoetsen voor fijnafstelling"},
    {87, "Overlay Position setzen; Cursortasten für Feineinstellung",
     "Set overlay poistion; use cursor for fine adjustment",
     "Overlay positie instellen; cursortoetsen voor fijnafstelling"},
    {88, "Position des Basis AVI setzen; Cursortasten für Feineinstellung",
     "Set position of the base AVI; use cursor for fine adjustment",
     "Positie van de basis AVI instellen; cursortoetsen voor fijnafstelling"},
    {89, "Overlay AVI auswählen", "Select overlay AVI", "Overlay AVI selecteren"},
    {90, "Overlay AVI entfernen", "Clear overlay AVI", "Overlay AVI wissen"},
    {91, "Overlay Seitenverhältnis verwenden", "Use overlay ratio",
     "Overlay beeldverhouding gebruiken"},
    {92, "Overlay Größe nicht ändern (Split Screen Funktion)",
     "Don't resize overlay (split screen function)",
     "Overlay grootte niet wijzigen (split screen functie)"},
    {93, "Horizontale Overlayposition (in Punkten; 0=linker Rand)",
     "Horizontale overlayposition (in dots; 0=left border)",
     "Horizontale overlaypositie (in punten; 0=linkerrand)"},
    {94, "Vertikale Overlayposition (in Punkten; 0=oberer Rand)",
     "Vertical overlayposition (in dots; 0=top border)",
     "Verticale overlaypositie (in punten; 0=bovenrand)"},
    {95, "Horizontale Overlay Größe in Punkten", "Horizontale overlay size in dots",
     "Horizontale overlay grootte in punten"},
    {96, "Vertikale Overlay Größe in Punkten", "Verticale overlay size in dots",
     "Verticale overlay grootte in punten"},
    {97, "Aktuelle Overlay AVI Bild Nummer [Zeit=%s sec.]",
     "Actual overlay frame number [Time=%s sec.]",
     "Actuele overlay AVI framenummer [Tijd=%s sec.]"},
    {98, "Aktuelle Basis AVI Bild Nummer [Zeit=%s sec.]", "Actual base frame number [Time=%s sec.]",
     "Actuele basis AVI framenummer [Tijd=%s sec.]"},
    {99, "Overlay Startposition setzen", "Set overlay start position",
     "Overlay startpositie instellen"},
    {100, "Overlay Endposition setzen", "Set overlay end position",
     "Overlay eindpositie instellen"},
    {101, "Overlay Bild Startnummer [Zeit=%s sec.]", "Overlay frame start number [Time=%s sec.]",
     "Overlay frame startnummer [Tijd=%s sec.]"},
    {102, "Overlay Bild Endnummer [Zeit=%s sec.]", "Overlay frame end number [Time=%s sec.]",
     "Overlay frame eindnummer [Tijd=%s sec.]"},
    {103, "Basis AVI Startposition setzen", "Set base AVI start position",
     "Basis AVI startpositie instellen"},
    {104, "Basis AVI Bild Startnummer [Zeit=%s sec.]",
     "Basic AVI frame start number [Time=%s sec.]", "Basis AVI frame startnummer [Tijd=%s sec.]"},
    {105, "Overlay Rahmen auswählen (Größe und Farbe)", "Select ovelay border (size and color)",
     "Overlay rand selecteren (grootte en kleur)"},
    {106, "Overlay beschneiden", "Crop overlay", "Overlay bijsnijden"},
    {107, "Schnelle Overlay Positionierung", "Quick overlay positioning",
     "Snelle overlay positionering"},
    {108, "Overlay Position und Größe", "Overlay position and size", "Overlay positie en grootte"},
    {109, "Overlay Start und Ende", "Overlay start and end", "Overlay start en einde"},
    {110, "Verschiedenes", "Miscellaneous", "Diversen"},
    {111, "Start des Overlays im Basis AVI", "Start of the overlay within the base AVI",
     "Start van de overlay in de basis AVI"},
    {112, "S&tart", "Set Sta&rt", "Startpu&nt"},
    {113, "&Position", "&Position", "&Positie"},
    {114, "&Start", "&Start", "&Start"},
    {115, "&Ende", "&End", "&Einde"},
    {116, "Ra&hmen", "&Border", "&Rand"},
    {117, "&Beschneiden", "&Crop", "&Bijsnijden"},
    {118, "Overlay &AVI", "Overlay &AVI", "Overlay &AVI"},
    {119, "Overlay ent&fernen", "C&lear overlay", "Overlay &wissen"},
    {120, "Position &X", "Position &X", "Positie &X"},
    {121, "Position &Y", "Position &Y", "Positie &Y"},
    {122, "&Größe X", "S&ize X", "&Grootte X"},
    {123, "G&röße Y", "Si&ze Y", "Groo&tte Y"},
    {124, "Seiten&verhältnis beibehalten", "&Keep ratio", "&Verhouding behouden"},
    {125, "&Originalgröße", "&Original size", "&Originele grootte"},
    {126, "Pos&ition", "Positio&n", "Pos&itie"},
    {127, "Setzen", "Set", "Instellen"},
    {128, "FEHLER:\r\nStartposition muss kleiner oder gleich der Endposition sein",
     "ERROR:\r\nStartposition must be lower or equal then endposition",
     "FOUT:\r\nStartpositie moet kleiner dan of gelijk aan de eindpositie zijn"},
    {129, "FEHLER:\r\nEndposition muss größer oder gleich der Startposition sein",
     "ERROR:\r\nEndposition must be greater or equal then startposition",
     "FOUT:\r\nEindpositie moet groter dan of gelijk aan de startpositie zijn"},
    {130, "Overlay AVI auswählen", "Select overlay AVI", "Overlay AVI selecteren"},
    {131, "Schließen und Farbeinstellungen übernehmen (ESC für Abbruch)",
     "Close and accept color settings (ESC for abort)",
     "Sluiten en kleurinstellingen overnemen (ESC voor afbreken)"},
    {132, "Grundfarbe ROT einstellen", "Adjust base color RED", "Basiskleur ROOD instellen"},
    {133, "Aktueller Wert der Grundfarbe ROT", "Actual value of the base color RED",
     "Actuele waarde van de basiskleur ROOD"},
    {134, "Grundfarbe GRÜN einstellen", "Adjust base color GREEN", "Basiskleur GROEN instellen"},
    {135, "Aktueller Wert der Grundfarbe GRÜN", "Actual value of the base color GREEN",
     "Actuele waarde van de basiskleur GROEN"},
    {136, "Grundfarbe BLAU einstellen", "Adjust base color BLUE", "Basiskleur BLAUW instellen"},
    {137, "Aktueller Wert der Grundfarbe BLAU", "Actual value of the base color BLUE",
     "Actuele waarde van de basiskleur BLAUW"},
    {138, "Rahmengröße in Punkten (0=kein Rahmen)", "Frame size in dots (0=no frame)",
     "Randgrootte in punten (0=geen rand)"},
    {139, "Aktueller Wert der Rahmengröße", "Actual value of the frame size",
     "Actuele waarde van de randgrootte"},
    {140, "Rahmen Eigenschaften", "Frame properties", "Randeigenschappen"},
    {141, "Rahmengröße", "Frame size", "Randgrootte"},
    {142, "Rahmenfarbe", "Frame color", "Randkleur"},
    {143, "Schließen und Einstellungen übernehmen (ESC für Abbruch)",
     "Close and accept settings (ESC for abort)",
     "Sluiten en instellingen overnemen (ESC voor afbreken)"},
    {144, "Beschneiden in Punkten (0=kein Beschneiden)", "Crop in dots (0=no crop)",
     "Bijsnijden in punten (0=niet bijsnijden)"},
    {145, "Aktueller Wert", "Actual value", "Actuele waarde"},
    {146, "Beschnittrahmen", "Crop frame", "Bijsnijkader"},
    {147, "Beschnittrahmen", "Crop frame", "Bijsnijkader"},
    {148, "Vordefinierte Overlay Position auswählen", "Select predefined overlay position",
     "Voorgedefinieerde overlay positie selecteren"},
    {149, "Letzte Text ID", "Last Text ID", "Laatste tekst ID"},
};

constexpr TextCatalogEntry kAddedTable[kAddedTextCount] = {
    {1001, "K&ompressor:", "C&ompressor:", "C&ompressor:"},
    {1002, "Kompressions&qualität:", "Compression &quality:", "Compressiek&waliteit:"},
    {1003, "&Keyframe alle", "&Key frame every", "&Keyframe elke"},
    {1004, "Bilder", "frames", "frames"},
    {1005, "&Datenrate", "&Data rate", "&Datasnelheid"},
    {1006, "&Abbrechen", "&Cancel", "&Annuleren"},
    {1007, "Kompressoren, die in eine %s-Ausgabe passen.", "Compressors that %s output can hold.",
     "Compressoren die in %s-uitvoer passen."},
    {1008, "variable Bildrate", "variable frame rate", "variabele framerate"},
    {1009, "Bildaufbau", "Scan", "Beeldopbouw"},
    {1010, "progressiv", "progressive", "progressief"},
    {1011, "Halbbilder (oberes zuerst)", "interlaced (top field first)",
     "halfbeelden (bovenste eerst)"},
    {1012, "Halbbilder (unteres zuerst)", "interlaced (bottom field first)",
     "halfbeelden (onderste eerst)"},
    {1013, "unbekannt", "unknown", "onbekend"},
};

constexpr std::int32_t kFirstTextId = 0;
constexpr std::int32_t kLastTextId = kTextCatalogSize - 1;

constexpr std::int32_t kGerman = 1;
constexpr std::int32_t kEnglish = 2;
constexpr std::int32_t kDutch = 3;

constexpr const char* kInvalidLanguage = "invalid language setting";

// Receives the "not found" messages of every catalogue. A failed lookup under a
// language without such a message returns it as it stands.
char messageBuffer[256] = "invalid language setting";

} // namespace

void CTextCatalog::Init(std::int32_t language) {
    entryCount_ = kTextCatalogSize;
    language_ = language;
}

const TextCatalogEntry* CTextCatalog::Find(std::int32_t id) const {
    if (id > kFirstTextId && id < kLastTextId) {
        for (std::int32_t i = 0; i < entryCount_; ++i) {
            if (kTable[i].id == id) {
                return &kTable[i];
            }
        }
    }
    if (entryCount_ > 0 && id >= kFirstAddedTextId && id < kFirstAddedTextId + kAddedTextCount) {
        return &kAddedTable[id - kFirstAddedTextId];
    }
    return nullptr;
}

const char* CTextCatalog::GetText(std::int32_t id) const {
    if (const TextCatalogEntry* found = Find(id)) {
        switch (language_) {
        case kGerman:
            return found->german;
        case kEnglish:
            return found->english;
        case kDutch:
            return found->dutch;
        default:
            return kInvalidLanguage;
        }
    }

    if (language_ == kGerman) {
        std::snprintf(messageBuffer, sizeof messageBuffer, "FEHLER: Text ID (%i) nicht gefunden",
                      static_cast<int>(id));
    } else if (language_ == kEnglish) {
        std::snprintf(messageBuffer, sizeof messageBuffer, "ERROR: TEXT ID (%i) not found",
                      static_cast<int>(id));
    }
    return messageBuffer;
}

const TextCatalogEntry* CTextCatalog::Table() {
    return kTable;
}

const TextCatalogEntry* CTextCatalog::AddedTable() {
    return kAddedTable;
}

CTextCatalog& TextCatalog() {
    static CTextCatalog catalog;
    return catalog;
}
