#include "app/ui/Commands.h"

namespace pelmora {

// Texts without a tooltip of their own keep the prompt's short form empty;
// the zoom and axis buttons that had no tooltip get one, since a bare icon
// tells a new user nothing.
const CommandInfo kCommands[] = {
    {57600, "&Nowy\tCtrl+N", "Ctrl+N", "Utwórz nową strukturę", "Nowa", "document-new", false},
    {57601, "&Otwórz...\tCtrl+O", "Ctrl+O", "Załaduj strukturę", "Otwórz", "document-open", false},
    {57602, "Z&amknij", "", "Zamknij aktywną strukturę", "Zamknij", "", false},
    {57603, "&Zapisz\tCtrl+S", "Ctrl+S", "Zapisz aktywną strukturę", "Zapisz", "document-save", false},
    {57604, "Zapisz &jako...\tShift+Ctrl+S", "Shift+Ctrl+S", "Zapisz strukturę pod nową nazwą", "Zapisz jako", "", false},
    {32818, "Postać tekstowa", "", "Zapisz wyświetlany fragment dyfraktogramu jako liczby", "", "export-text", false},
    {32805, "Postać graficzna", "", "Eksportuj dyfraktogram do pliku", "Eksportuj dyfraktogram", "export-picture", false},
    {57607, "&Drukuj...\tCtrl+P", "Ctrl+P", "Drukuj aktywny dyfraktogram", "Drukuj", "document-print", false},
    {57608, "Drukuj", "", "Drukuj aktywny dyfraktogram", "", "", false},
    {57609, "&Podgląd wydruku", "", "Wyświetl podgląd wydruku", "Podgląd wydruku", "", false},
    {57606, "&Ustawienia drukarki...", "", "Wybierz drukarkę i ustawienia strony", "", "", false},
    {57665, "&Wyjście", "Ctrl+X", "Zamknij program", "Zamknij", "", false},
    {57643, "&Cofnij\tCtrl+Z", "Ctrl+Z", "Cofnij ostatnią zmianę aktywnej struktury", "Cofnij", "", false},
    {57644, "&Ponów\tCtrl+Y", "Ctrl+Y", "Ponów cofniętą zmianę aktywnej struktury", "Ponów", "", false},
    {32778, "Licz dyfraktogram\tCtrl + Enter", "Ctrl+Return", "Oblicz dyfraktogram", "Oblicz", "calculate", false},
    {32776, "Parametry eksperymentu\tCtrl + R", "Ctrl+R", "Ustaw promieniowanie, aparaturę i parametry próbki", "Parametry eksperymentu", "", false},
    {32791, "Tablica refleksów\tCtrl + T", "Ctrl+T", "Pokaż tablicę obliczonych refleksów", "Tablica refleksów", "", false},
    {32821, "Info\tCtrl+I", "Ctrl+I", "Pokaż lub ukryj okno Info", "", "", true},
    {32772, "Wtyczki", "", "Pokaż wczytane wtyczki", "", "plugin", false},
    {32808, "Ustawienia", "", "Zmień ustawienia programu", "", "settings", false},
    {32822, "Czynniki anomalne\tShift+Ctrl+A", "Shift+Ctrl+A", "Edytuj tablice czynników anomalnych", "", "", false},
    {59392, "&Standardowy", "", "Pokaż lub ukryj standardowy pasek narzędzi", "Pokaż/ukryj  pasek narzędzi", "", true},
    {59393, "&Pasek statusu", "", "Pokaż lub ukryj pasek statusu", "Pokaż/ukryj pasek statusu", "", true},
    {32786, "Osie", "", "Pokaż lub schowaj pasek Osie", "Pokaż/ukryj pasek Osie", "", true},
    {32804, "Powiększenie", "", "Pokaż lub ukryj pasek Powiększenie", "", "", true},
    {32806, "Monitor\tShift+Ctrl+M", "Shift+Ctrl+M", "Pokaż okno monitora", "", "", true},
    {57650, "&Kaskadowo", "", "Ułóż okna struktur kaskadowo", "", "", false},
    {57651, "&Sąsiadująco", "", "Ułóż okna struktur obok siebie", "", "", false},
    {57667, "&Podręcznik\tF1", "", "Otwórz podręcznik programu", "Podręcznik", "", false},
    {57664, "&O programie Pelmora", "", "Wyświetla informacje o programie", "Informacja o programie", "help-about", false},
    {32775, "Definiuj strukturę\tCtrl + D", "Ctrl+D", "Zdefiniuj komórkę i atomy struktury", "Definiuj strukturę", "", false},
    {32788, "Czynniki atomowe\tShift+Ctrl+T", "Shift+Ctrl+T", "Pokaż układ okresowy z czynnikami rozpraszania", "Czynniki atomowe", "", false},
    {32830, "Otwórz pomiar…", "", "Pokaż zmierzony dyfraktogram razem z obliczonym", "", "", false},
    {32831, "Usuń pomiar", "", "Przestań pokazywać zmierzony dyfraktogram", "", "", false},
    {32832, "Dopasuj do pomiaru", "", "Dopasuj skalę, tło, komórkę i szerokości do zmierzonego dyfraktogramu", "", "", false},
    // Chart bar.
    {32780, "Podziałka główna osi 2θ", "", "Podziałka główna i opisy osi 2θ", "Podziałka główna osi 2θ", "ticks-x-major", true},
    {32781, "Podziałka średnia osi 2θ", "", "Podziałka średnia osi 2θ", "Podziałka średnia osi 2θ", "ticks-x-medium", true},
    {32782, "Podziałka drobna osi 2θ", "", "Podziałka drobna osi 2θ", "Podziałka drobna osi 2θ", "ticks-x-minor", true},
    {32783, "Podziałka główna osi natężenia", "", "Podziałka główna i opisy osi natężenia", "Podziałka główna osi natężenia", "ticks-y-major", true},
    {32784, "Podziałka średnia osi natężenia", "", "Podziałka średnia osi natężenia", "Podziałka średnia osi natężenia", "ticks-y-medium", true},
    {32785, "Podziałka drobna osi natężenia", "", "Podziałka drobna osi natężenia", "Podziałka drobna osi natężenia", "ticks-y-minor", true},
    {32819, "Opisy refleksów", "", "Pokaż lub ukryj opisy refleksów", "Opisy refleksów", "descriptions", true},
    {32824, "Opisy refleksów Kα1", "", "Opisuj refleksy linii Kα1", "Opisy refleksów Kα1", "desc-ka1", true},
    {32825, "Opisy refleksów Kα2", "", "Opisuj refleksy linii Kα2", "Opisy refleksów Kα2", "desc-ka2", true},
    // Zoom bar.
    {32823, "Powiększanie wskazanego obszaru", "", "Powiększanie wskazanego obszaru", "Powiększanie wskazanego obszaru", "zoom-area", true},
    {32794, "Rozciąganie osi X", "", "Rozciąganie osi X", "Rozciąganie osi X", "stretch-x", true},
    {32809, "Rozciąganie osi Y", "", "Rozciąganie osi Y", "Rozciąganie osi Y", "stretch-y", true},
    {32795, "Zresetuj powiększenie", "", "Zresetuj powiększenie", "Reset", "zoom-reset", false},
    {32814, "Pełna oś natężenia", "", "Przywróć pełny zakres osi natężenia", "Pełna oś natężenia", "zoom-reset-y", false},
    {32815, "Pełna oś 2θ", "", "Przywróć pełny zakres kątów", "Pełna oś 2θ", "zoom-reset-x", false},
    {32797, "Powiększ dwukrotnie", "", "Powiększ dwukrotnie", "Powiększ", "zoom-in", false},
    {32798, "Pomniejsz dwukrotnie", "", "Pomniejsz dwukrotnie", "Pomniejsz", "zoom-out", false},
    {32799, "Przesuń o zakres w stronę niższych kątów", "", "Przesuń o zakres w stronę niższych kątów", "Przesuń o zakres w stronę niższych kątów", "go-first", false},
    {32800, "Przesuń w stronę niższych kątów", "", "Przesuń w stronę niższych kątów", "Przesuń w stronę niższych kątów", "go-previous", false},
    {32801, "Przesuń w stronę wyższych kątów", "", "Przesuń w stronę wyższych kątów", "Przesuń w stronę wyższych kątów", "go-next", false},
    {32802, "Przesuń o zakres w stronę wyższych kątów", "", "Przesuń o zakres w stronę wyższych kątów", "Przesuń o zakres w stronę wyższych kątów", "go-last", false},
    {32810, "Przesuń o wysokość w górę", "", "Przesuń okno natężenia w górę o jego wysokość", "Przesuń o wysokość w górę", "go-top", false},
    {32811, "Przesuń w górę", "", "Przesuń okno natężenia w górę", "Przesuń w górę", "go-up", false},
    {32812, "Przesuń w dół", "", "Przesuń okno natężenia w dół", "Przesuń w dół", "go-down", false},
    {32813, "Przesuń o wysokość w dół", "", "Przesuń okno natężenia w dół o jego wysokość", "Przesuń o wysokość w dół", "go-bottom", false},
};
const int kCommandCount = sizeof(kCommands) / sizeof(kCommands[0]);

const int kZoomBarLayout[] = {32823, 32794, 32809, 0,     32795, 32814, 32815, 0,     32797, 32798, 0,
                              32799, 32800, 32801, 32802, 0,     32810, 32811, 32812, 32813};
const int kZoomBarLayoutCount = sizeof(kZoomBarLayout) / sizeof(kZoomBarLayout[0]);

}  // namespace pelmora
