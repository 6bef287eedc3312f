#include "EnglishMessages.h"

#include <cstring>
#include <iterator>
#include <regex>
#include <utility>

namespace pelmora::python {
namespace {

using Phrase = std::pair<const char*, const char*>;

// Polish phrases and their English, longest first where one holds another.
// The calculation's refusals:
const Phrase kRefusals[] = {
    {"Zabrakło pamięci na obliczenie refleksów; zmniejsz komórkę lub zakres kątów.",
     "Not enough memory to calculate the reflections; reduce the cell or the angular range."},
    {"Obliczenie refleksów nie powiodło się: ", "The reflection calculation failed: "},
    {"Nieprawidłowy zakres kątowy: ", "Invalid angle range: "},
    {"; kąt minimalny musi być mniejszy od maksymalnego.", "; the minimum angle must be below the maximum."},
    {"Nieprawidłowy rozmiar ziarna (gsize) D = ", "Invalid grain size (gsize) D = "},
    {": szerokość piku wymaga D większego od zera.", ": the peak width needs D greater than zero."},
    {"Nieprawidłowa wartość: czynnik temperaturowy B = ", "Invalid value: temperature factor B = "},
    {"Nieprawidłowy czynnik temperaturowy atomu ", "Invalid temperature factor of atom "},
    {"; nie może być ujemny.", "; it must not be negative."},
    {"; nie może być ujemne.", "; it must not be negative."},
    {"Nieprawidłowa wartość: stosunek natężeń Kα2/Kα1 (ratio) = ", "Invalid value: Kα2/Kα1 intensity ratio (ratio) = "},
    {"Nieprawidłowa wartość: ", "Invalid value: "},
    {"współczynnik absorpcji (absorption)", "absorption coefficient (absorption)"},
    {"rozmiar szczeliny detektora (detslit)", "detector slit size (detslit)"},
    {"pole przekroju wiązki (beamarea)", "beam cross-section area (beamarea)"},
    {"prędkość pomiaru (measurespeed)", "scanning speed (measurespeed)"},
    {"promień dyfraktometru (difradius)", "diffractometer radius (difradius)"},
    {"; musi być większa od zera.", "; it must be greater than zero."},
    {": musi być większa od zera.", ": it must be greater than zero."},
    {"Nieprawidłowa poprawka na rozpuszczalnik: ", "Invalid solvent correction: "},
    {"; k musi leżeć w [0, 1], B nie może być ujemne.", "; k must lie in [0, 1] and B must not be negative."},
    {"Nieprawidłowa komórka elementarna: objętość ", "Invalid unit cell: volume "},
    {"Nieprawidłowa długość fali ", "Invalid wavelength "},
    {": musi być dodatnia (0 = brak drugiej linii).", ": it must not be negative (0 = no second line)."},
    {"Zbyt wiele refleksów do obliczenia (około ", "Too many reflections to calculate (about "},
    {"): potrzeba by do ", "): it would need up to "},
    {" GB pamięci, a obliczenie może zająć najwyżej ", " GB of memory, and a calculation may take at most "},
    {" GB (trzy czwarte pamięci komputera); zmniejsz komórkę lub zakres kątów.",
     " GB (three quarters of the computer's memory); make the cell or the angle range smaller."},
    {"Nieprawidłowe współrzędne atomu ", "Invalid coordinates of atom "},
    {"Nieprawidłowe obsadzenie atomu ", "Invalid occupancy of atom "},
    {"; musi być większe od 0 i nie większe od 1.", "; it must be greater than 0 and at most 1."},
    {"alfa = ", "alpha = "},
};

// Opening and writing files, the structure readers, measured patterns:
const Phrase kFiles[] = {
    {"Nie można otworzyć pliku", "Cannot open the file"},
    {"Nieznany format pliku", "Unknown file format"},
    {"Nieznany typ komórki", "Unknown cell type"},
    {"Plik skompresowany (gzip) jest uszkodzony lub zbyt duży", "The compressed (gzip) file is damaged or too large"},
    {"Plik zawiera zbyt wiele atomów: po rozmnożeniu przez centrowanie komórka miałaby ponad ",
     "The file holds too many atoms: with the centring the cell would have more than "},
    {" atomów.", " atoms."},
    {"Nie można zapisać pliku ", "Cannot write the file "},
    {"nie można utworzyć pliku tymczasowego", "cannot create a temporary file"},
    {"nie można zastąpić pliku", "cannot replace the file"},
    {"nie można otworzyć", "cannot open it"},
    {"błąd zapisu", "write error"},
    {"Wtyczka formatu ", "The format plug-in "},
    {" nie zapisała pliku ", " did not write the file "},
    {" nie zapisuje dyfraktogramów (brak pelmora_SaveChart).", " writes no patterns (no pelmora_SaveChart)."},
    // the structure readers
    {"Plik CIF: nie udało się go odczytać (", "CIF file: it could not be read ("},
    {"nie udało się go odczytać (", "it could not be read ("},
    {"Plik CIF: ", "CIF file: "},
    {"Plik PDB: ", "PDB file: "},
    {"Plik mmCIF: ", "mmCIF file: "},
    {"nie udało się go odczytać", "it could not be read"},
    {"brak komórki elementarnej i atomów", "no unit cell and no atoms"},
    {"brak komórki elementarnej (rekordu CRYST1)", "no unit cell (no CRYST1 record)"},
    {"brak komórki elementarnej (", "no unit cell ("},
    {"brak atomów (pętli _atom_site)", "no atoms (no _atom_site loop)"},
    {"brak atomów (rekordów ATOM i HETATM)", "no atoms (no ATOM or HETATM records)"},
    {"brak atomów: każdy ma w pliku obsadzenie 0", "no atoms: every one has occupancy 0 in the file"},
    {"brak atomów: pętla atomów nie podaje żadnego atomu", "no atoms: the atom loop lists none"},
    {"brak atomów (", "no atoms ("},
    {"brak nagłówka bloku danych (data_)", "no data block header (data_)"},
    {"brak bloku danych (data_)", "no data block (data_)"},
    {"brak bloku danych \"", "no data block \""},
    {"\"; bloki pliku: ", "\"; the file's blocks: "},
    {"blok danych \"", "data block \""},
    {"\" nie podaje komórki elementarnej", "\" gives no unit cell"},
    {"brak operatorów symetrii", "no symmetry operators"},
    {"błąd składni w wierszu ", "syntax error in line "},
    {"błąd składni: ", "syntax error: "},
    {"błąd w wierszu ", "error in line "},
    {"komórka elementarna o krawędzi nie większej od zera", "a unit cell with an edge of zero or less"},
    {"kąty komórki elementarnej nie tworzą komórki", "the cell angles make no cell"},
    {"liczba wartości w pętli (loop_) nie jest wielokrotnością liczby jej pól",
     "the number of values in a loop (loop_) is not a multiple of its fields"},
    {"nazwa bloku danych powtarza się", "a data block name repeats"},
    {"nieczytelna lub zerowa stała komórki elementarnej", "an unreadable or zero cell constant"},
    {"nieczytelna wartość ", "unreadable value "},
    {"nieczytelna współrzędna ", "unreadable coordinate "},
    {"nieczytelne współrzędne (", "unreadable coordinates ("},
    {"nieprawidłowe obsadzenie ", "invalid occupancy "},
    {"operatory symetrii nie tworzą grupy (brak x,y,z)", "the symmetry operators make no group (no x,y,z)"},
    {"operatory symetrii nie tworzą grupy (brak iloczynu ", "the symmetry operators make no group (no product "},
    {"pole tekstowe (;) nie jest zamknięte", "a text field (;) is not closed"},
    {"pętla atomów nie ma pól ", "the atom loop has no fields "},
    {"tekst w apostrofach nie jest zamknięty", "a text in apostrophes is not closed"},
    {"tekst w cudzysłowie nie jest zamknięty", "a text in quotes is not closed"},
    {"współrzędne atomów nie stoją w jednej pętli", "the atoms' coordinates are not in one loop"},
    {"za dużo atomów: komórka zawiera ich więcej niż ", "too many atoms: the cell holds more than "},
    {"za dużo atomów: więcej niż ", "too many atoms: more than "},
    {" pozycji", " positions"},
    {"za dużo operatorów symetrii ", "too many symmetry operators "},
    {"znacznik nie ma wartości", "a tag has no value"},
    {"znacznik powtarza się w bloku", "a tag repeats in the block"},
    {"komórka elementarna 1 × 1 × 1 Å nie opisuje kryształu (tak zapisuje się struktury z NMR "
     "i mikroskopii elektronowej): nie ma z czego obliczyć dyfraktogramu proszkowego",
     "a unit cell of 1 × 1 × 1 Å describes no crystal (NMR and electron-microscopy structures are written so): "
     "there is no powder pattern to calculate"},
    // measured patterns
    {"Nie można odczytać pliku pomiaru: ", "Cannot read the measured file: "},
    {"Nie można odczytać pliku pomiaru.", "Cannot read the measured file."},
    {"Za mało pamięci do odczytu pliku pomiaru.", "Not enough memory to read the measured file."},
    {"Plik nie zawiera punktów pomiaru.", "The file holds no measured points."},
    {"Plik nie określa liczby punktów pomiaru.", "The file does not give the number of measured points."},
    {"Kolumny pliku mają różne długości.", "The file's columns differ in length."},
    {"Wszystkie punkty pliku leżą przy tym samym kącie 2θ.", "All the file's points lie at one 2θ."},
    {"Nie można otworzyć pliku ", "Cannot open the file "},
    {"Ujemna liczba zliczeń (", "Negative count ("},
    {"Niedodatnia niepewność σ (", "Uncertainty σ not above zero ("},
    {") przy 2θ = ", ") at 2θ = "},
    {" pliku nie jest liczbą.", " of the file is not a number."},
    {"Punkt ", "Point "},
    {"Plik nie zawiera kolumny kątów 2θ (tylko ", "The file has no column of 2θ angles (only "},
    {" kolumna danych).", " data column)."},
};

// Each phrase of the table replaced by its English wherever it stands.
void Translate(std::string& text, const Phrase* begin, const Phrase* end) {
  for (const Phrase* p = begin; p != end; ++p)
    for (size_t at = text.find(p->first); at != std::string::npos;
         at = text.find(p->first, at + std::strlen(p->second)))
      text.replace(at, std::strlen(p->first), p->second);
}

// Whether Polish words are left, names in quotes aside (a profile "brak",
// a source „Ag Ka1”): those are data, not the message's language.
bool HasPolish(const std::string& text) {
  static const std::regex quoted(R"("[^"]*"|„[^”]*”)");
  const std::string s = std::regex_replace(text, quoted, "");
  static const char* const letters[] = {"ą", "ć", "ę", "ł", "ń", "ó", "ś", "ź", "ż",
                                        "Ą", "Ć", "Ę", "Ł", "Ń", "Ó", "Ś", "Ź", "Ż"};
  for (const char* l : letters)
    if (s.find(l) != std::string::npos) return true;
  static const std::regex words(R"(\b(nie|brak|plik|pliku|lub|jest|musi|dla|przy|oraz)\b)", std::regex::icase);
  return std::regex_search(s, words);
}

}  // namespace

std::string EnglishMessage(const std::string& polish, const std::string& fallback) {
  std::string text = polish;
  Translate(text, std::begin(kRefusals), std::end(kRefusals));
  Translate(text, std::begin(kFiles), std::end(kFiles));
  if (!HasPolish(text)) return text;
  // Untranslated: the file name the message starts with, then the plain fact.
  std::string prefix;
  if (const size_t colon = polish.find(": "); colon != std::string::npos) {
    const std::string head = polish.substr(0, colon);
    if (head.find('/') != std::string::npos && !HasPolish(head)) prefix = head + ": ";
  }
  return prefix + fallback + " (the program's message is in the exception's polish attribute)";
}

}  // namespace pelmora::python
