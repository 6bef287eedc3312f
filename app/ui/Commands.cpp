#include "app/ui/Commands.h"

#include <QCoreApplication>

namespace pelmora {

// Texts without a tooltip of their own keep the prompt's short form empty;
// the zoom and axis buttons that had no tooltip get one, since a bare icon
// tells a new user nothing.
const CommandInfo kCommands[] = {
    {57600, QT_TRANSLATE_NOOP("Commands", "&Nowy\tCtrl+N"), "Ctrl+N", QT_TRANSLATE_NOOP("Commands", "Utwórz nową strukturę"), QT_TRANSLATE_NOOP("Commands", "Nowa"), "document-new", false},
    {57601, QT_TRANSLATE_NOOP("Commands", "&Otwórz...\tCtrl+O"), "Ctrl+O", QT_TRANSLATE_NOOP("Commands", "Załaduj strukturę"), QT_TRANSLATE_NOOP("Commands", "Otwórz"), "document-open", false},
    {57602, QT_TRANSLATE_NOOP("Commands", "Z&amknij"), "", QT_TRANSLATE_NOOP("Commands", "Zamknij aktywną strukturę"), QT_TRANSLATE_NOOP("Commands", "Zamknij"), "", false},
    {57603, QT_TRANSLATE_NOOP("Commands", "&Zapisz\tCtrl+S"), "Ctrl+S", QT_TRANSLATE_NOOP("Commands", "Zapisz aktywną strukturę"), QT_TRANSLATE_NOOP("Commands", "Zapisz"), "document-save", false},
    {57604, QT_TRANSLATE_NOOP("Commands", "Zapisz &jako...\tShift+Ctrl+S"), "Shift+Ctrl+S", QT_TRANSLATE_NOOP("Commands", "Zapisz strukturę pod nową nazwą"), QT_TRANSLATE_NOOP("Commands", "Zapisz jako"), "", false},
    {32818, QT_TRANSLATE_NOOP("Commands", "Postać tekstowa"), "", QT_TRANSLATE_NOOP("Commands", "Zapisz wyświetlany fragment dyfraktogramu jako liczby"), "", "export-text", false},
    {32805, QT_TRANSLATE_NOOP("Commands", "Postać graficzna"), "", QT_TRANSLATE_NOOP("Commands", "Eksportuj dyfraktogram do pliku"), QT_TRANSLATE_NOOP("Commands", "Eksportuj dyfraktogram"), "export-picture", false},
    {57607, QT_TRANSLATE_NOOP("Commands", "&Drukuj...\tCtrl+P"), "Ctrl+P", QT_TRANSLATE_NOOP("Commands", "Drukuj aktywny dyfraktogram"), QT_TRANSLATE_NOOP("Commands", "Drukuj"), "document-print", false},
    {57608, QT_TRANSLATE_NOOP("Commands", "Drukuj"), "", QT_TRANSLATE_NOOP("Commands", "Drukuj aktywny dyfraktogram"), "", "", false},
    {57609, QT_TRANSLATE_NOOP("Commands", "&Podgląd wydruku"), "", QT_TRANSLATE_NOOP("Commands", "Wyświetl podgląd wydruku"), QT_TRANSLATE_NOOP("Commands", "Podgląd wydruku"), "", false},
    {57606, QT_TRANSLATE_NOOP("Commands", "&Ustawienia drukarki..."), "", QT_TRANSLATE_NOOP("Commands", "Wybierz drukarkę i ustawienia strony"), "", "", false},
    {57665, QT_TRANSLATE_NOOP("Commands", "&Wyjście"), "Ctrl+X", QT_TRANSLATE_NOOP("Commands", "Zamknij program"), QT_TRANSLATE_NOOP("Commands", "Zamknij"), "", false},
    {57643, QT_TRANSLATE_NOOP("Commands", "&Cofnij\tCtrl+Z"), "Ctrl+Z", QT_TRANSLATE_NOOP("Commands", "Cofnij ostatnią zmianę aktywnej struktury"), QT_TRANSLATE_NOOP("Commands", "Cofnij"), "", false},
    {57644, QT_TRANSLATE_NOOP("Commands", "&Ponów\tCtrl+Y"), "Ctrl+Y", QT_TRANSLATE_NOOP("Commands", "Ponów cofniętą zmianę aktywnej struktury"), QT_TRANSLATE_NOOP("Commands", "Ponów"), "", false},
    {32778, QT_TRANSLATE_NOOP("Commands", "Licz dyfraktogram\tCtrl + Enter"), "Ctrl+Return", QT_TRANSLATE_NOOP("Commands", "Oblicz dyfraktogram"), QT_TRANSLATE_NOOP("Commands", "Oblicz"), "calculate", false},
    {32776, QT_TRANSLATE_NOOP("Commands", "Parametry eksperymentu\tCtrl + R"), "Ctrl+R", QT_TRANSLATE_NOOP("Commands", "Ustaw promieniowanie, aparaturę i parametry próbki"), QT_TRANSLATE_NOOP("Commands", "Parametry eksperymentu"), "", false},
    {32791, QT_TRANSLATE_NOOP("Commands", "Tablica refleksów\tCtrl + T"), "Ctrl+T", QT_TRANSLATE_NOOP("Commands", "Pokaż tablicę obliczonych refleksów"), QT_TRANSLATE_NOOP("Commands", "Tablica refleksów"), "", false},
    {32821, QT_TRANSLATE_NOOP("Commands", "Info\tCtrl+I"), "Ctrl+I", QT_TRANSLATE_NOOP("Commands", "Pokaż lub ukryj okno Info"), "", "", true},
    {32772, QT_TRANSLATE_NOOP("Commands", "Wtyczki"), "", QT_TRANSLATE_NOOP("Commands", "Pokaż wczytane wtyczki"), "", "plugin", false},
    {32808, QT_TRANSLATE_NOOP("Commands", "Ustawienia"), "", QT_TRANSLATE_NOOP("Commands", "Zmień ustawienia programu"), "", "settings", false},
    {32822, QT_TRANSLATE_NOOP("Commands", "Czynniki anomalne\tShift+Ctrl+A"), "Shift+Ctrl+A", QT_TRANSLATE_NOOP("Commands", "Edytuj tablice czynników anomalnych"), "", "", false},
    {59392, QT_TRANSLATE_NOOP("Commands", "&Standardowy"), "", QT_TRANSLATE_NOOP("Commands", "Pokaż lub ukryj standardowy pasek narzędzi"), QT_TRANSLATE_NOOP("Commands", "Pokaż/ukryj  pasek narzędzi"), "", true},
    {59393, QT_TRANSLATE_NOOP("Commands", "&Pasek statusu"), "", QT_TRANSLATE_NOOP("Commands", "Pokaż lub ukryj pasek statusu"), QT_TRANSLATE_NOOP("Commands", "Pokaż/ukryj pasek statusu"), "", true},
    {32786, QT_TRANSLATE_NOOP("Commands", "Osie"), "", QT_TRANSLATE_NOOP("Commands", "Pokaż lub schowaj pasek Osie"), QT_TRANSLATE_NOOP("Commands", "Pokaż/ukryj pasek Osie"), "", true},
    {32804, QT_TRANSLATE_NOOP("Commands", "Powiększenie"), "", QT_TRANSLATE_NOOP("Commands", "Pokaż lub ukryj pasek Powiększenie"), "", "", true},
    {32806, QT_TRANSLATE_NOOP("Commands", "Monitor\tShift+Ctrl+M"), "Shift+Ctrl+M", QT_TRANSLATE_NOOP("Commands", "Pokaż okno monitora"), "", "", true},
    {57650, QT_TRANSLATE_NOOP("Commands", "&Kaskadowo"), "", QT_TRANSLATE_NOOP("Commands", "Ułóż okna struktur kaskadowo"), "", "", false},
    {57651, QT_TRANSLATE_NOOP("Commands", "&Sąsiadująco"), "", QT_TRANSLATE_NOOP("Commands", "Ułóż okna struktur obok siebie"), "", "", false},
    {57667, QT_TRANSLATE_NOOP("Commands", "&Podręcznik\tF1"), "", QT_TRANSLATE_NOOP("Commands", "Otwórz podręcznik programu"), QT_TRANSLATE_NOOP("Commands", "Podręcznik"), "", false},
    {57664, QT_TRANSLATE_NOOP("Commands", "&O programie Pelmora"), "", QT_TRANSLATE_NOOP("Commands", "Wyświetla informacje o programie"), QT_TRANSLATE_NOOP("Commands", "Informacja o programie"), "help-about", false},
    {32775, QT_TRANSLATE_NOOP("Commands", "Definiuj strukturę\tCtrl + D"), "Ctrl+D", QT_TRANSLATE_NOOP("Commands", "Zdefiniuj komórkę i atomy struktury"), QT_TRANSLATE_NOOP("Commands", "Definiuj strukturę"), "", false},
    {32788, QT_TRANSLATE_NOOP("Commands", "Czynniki atomowe\tShift+Ctrl+T"), "Shift+Ctrl+T", QT_TRANSLATE_NOOP("Commands", "Pokaż układ okresowy z czynnikami rozpraszania"), QT_TRANSLATE_NOOP("Commands", "Czynniki atomowe"), "", false},
    {32830, QT_TRANSLATE_NOOP("Commands", "Otwórz pomiar…"), "", QT_TRANSLATE_NOOP("Commands", "Pokaż zmierzony dyfraktogram razem z obliczonym"), "", "", false},
    {32831, QT_TRANSLATE_NOOP("Commands", "Usuń pomiar"), "", QT_TRANSLATE_NOOP("Commands", "Przestań pokazywać zmierzony dyfraktogram"), "", "", false},
    {32832, QT_TRANSLATE_NOOP("Commands", "Dopasuj do pomiaru"), "", QT_TRANSLATE_NOOP("Commands", "Dopasuj skalę, tło, komórkę i szerokości do zmierzonego dyfraktogramu"), "", "", false},
    // Chart bar.
    {32780, QT_TRANSLATE_NOOP("Commands", "Podziałka główna osi 2θ"), "", QT_TRANSLATE_NOOP("Commands", "Podziałka główna i opisy osi 2θ"), QT_TRANSLATE_NOOP("Commands", "Podziałka główna osi 2θ"), "ticks-x-major", true},
    {32781, QT_TRANSLATE_NOOP("Commands", "Podziałka średnia osi 2θ"), "", QT_TRANSLATE_NOOP("Commands", "Podziałka średnia osi 2θ"), QT_TRANSLATE_NOOP("Commands", "Podziałka średnia osi 2θ"), "ticks-x-medium", true},
    {32782, QT_TRANSLATE_NOOP("Commands", "Podziałka drobna osi 2θ"), "", QT_TRANSLATE_NOOP("Commands", "Podziałka drobna osi 2θ"), QT_TRANSLATE_NOOP("Commands", "Podziałka drobna osi 2θ"), "ticks-x-minor", true},
    {32783, QT_TRANSLATE_NOOP("Commands", "Podziałka główna osi natężenia"), "", QT_TRANSLATE_NOOP("Commands", "Podziałka główna i opisy osi natężenia"), QT_TRANSLATE_NOOP("Commands", "Podziałka główna osi natężenia"), "ticks-y-major", true},
    {32784, QT_TRANSLATE_NOOP("Commands", "Podziałka średnia osi natężenia"), "", QT_TRANSLATE_NOOP("Commands", "Podziałka średnia osi natężenia"), QT_TRANSLATE_NOOP("Commands", "Podziałka średnia osi natężenia"), "ticks-y-medium", true},
    {32785, QT_TRANSLATE_NOOP("Commands", "Podziałka drobna osi natężenia"), "", QT_TRANSLATE_NOOP("Commands", "Podziałka drobna osi natężenia"), QT_TRANSLATE_NOOP("Commands", "Podziałka drobna osi natężenia"), "ticks-y-minor", true},
    {32819, QT_TRANSLATE_NOOP("Commands", "Opisy refleksów"), "", QT_TRANSLATE_NOOP("Commands", "Pokaż lub ukryj opisy refleksów"), QT_TRANSLATE_NOOP("Commands", "Opisy refleksów"), "descriptions", true},
    {32824, QT_TRANSLATE_NOOP("Commands", "Opisy refleksów Kα1"), "", QT_TRANSLATE_NOOP("Commands", "Opisuj refleksy linii Kα1"), QT_TRANSLATE_NOOP("Commands", "Opisy refleksów Kα1"), "desc-ka1", true},
    {32825, QT_TRANSLATE_NOOP("Commands", "Opisy refleksów Kα2"), "", QT_TRANSLATE_NOOP("Commands", "Opisuj refleksy linii Kα2"), QT_TRANSLATE_NOOP("Commands", "Opisy refleksów Kα2"), "desc-ka2", true},
    // Zoom bar.
    {32823, QT_TRANSLATE_NOOP("Commands", "Powiększanie wskazanego obszaru"), "", QT_TRANSLATE_NOOP("Commands", "Powiększanie wskazanego obszaru"), QT_TRANSLATE_NOOP("Commands", "Powiększanie wskazanego obszaru"), "zoom-area", true},
    {32794, QT_TRANSLATE_NOOP("Commands", "Rozciąganie osi X"), "", QT_TRANSLATE_NOOP("Commands", "Rozciąganie osi X"), QT_TRANSLATE_NOOP("Commands", "Rozciąganie osi X"), "stretch-x", true},
    {32809, QT_TRANSLATE_NOOP("Commands", "Rozciąganie osi Y"), "", QT_TRANSLATE_NOOP("Commands", "Rozciąganie osi Y"), QT_TRANSLATE_NOOP("Commands", "Rozciąganie osi Y"), "stretch-y", true},
    {32795, QT_TRANSLATE_NOOP("Commands", "Zresetuj powiększenie"), "", QT_TRANSLATE_NOOP("Commands", "Zresetuj powiększenie"), QT_TRANSLATE_NOOP("Commands", "Reset"), "zoom-reset", false},
    {32814, QT_TRANSLATE_NOOP("Commands", "Pełna oś natężenia"), "", QT_TRANSLATE_NOOP("Commands", "Przywróć pełny zakres osi natężenia"), QT_TRANSLATE_NOOP("Commands", "Pełna oś natężenia"), "zoom-reset-y", false},
    {32815, QT_TRANSLATE_NOOP("Commands", "Pełna oś 2θ"), "", QT_TRANSLATE_NOOP("Commands", "Przywróć pełny zakres kątów"), QT_TRANSLATE_NOOP("Commands", "Pełna oś 2θ"), "zoom-reset-x", false},
    {32797, QT_TRANSLATE_NOOP("Commands", "Powiększ dwukrotnie"), "", QT_TRANSLATE_NOOP("Commands", "Powiększ dwukrotnie"), QT_TRANSLATE_NOOP("Commands", "Powiększ"), "zoom-in", false},
    {32798, QT_TRANSLATE_NOOP("Commands", "Pomniejsz dwukrotnie"), "", QT_TRANSLATE_NOOP("Commands", "Pomniejsz dwukrotnie"), QT_TRANSLATE_NOOP("Commands", "Pomniejsz"), "zoom-out", false},
    {32799, QT_TRANSLATE_NOOP("Commands", "Przesuń o zakres w stronę niższych kątów"), "", QT_TRANSLATE_NOOP("Commands", "Przesuń o zakres w stronę niższych kątów"), QT_TRANSLATE_NOOP("Commands", "Przesuń o zakres w stronę niższych kątów"), "go-first", false},
    {32800, QT_TRANSLATE_NOOP("Commands", "Przesuń w stronę niższych kątów"), "", QT_TRANSLATE_NOOP("Commands", "Przesuń w stronę niższych kątów"), QT_TRANSLATE_NOOP("Commands", "Przesuń w stronę niższych kątów"), "go-previous", false},
    {32801, QT_TRANSLATE_NOOP("Commands", "Przesuń w stronę wyższych kątów"), "", QT_TRANSLATE_NOOP("Commands", "Przesuń w stronę wyższych kątów"), QT_TRANSLATE_NOOP("Commands", "Przesuń w stronę wyższych kątów"), "go-next", false},
    {32802, QT_TRANSLATE_NOOP("Commands", "Przesuń o zakres w stronę wyższych kątów"), "", QT_TRANSLATE_NOOP("Commands", "Przesuń o zakres w stronę wyższych kątów"), QT_TRANSLATE_NOOP("Commands", "Przesuń o zakres w stronę wyższych kątów"), "go-last", false},
    {32810, QT_TRANSLATE_NOOP("Commands", "Przesuń o wysokość w górę"), "", QT_TRANSLATE_NOOP("Commands", "Przesuń okno natężenia w górę o jego wysokość"), QT_TRANSLATE_NOOP("Commands", "Przesuń o wysokość w górę"), "go-top", false},
    {32811, QT_TRANSLATE_NOOP("Commands", "Przesuń w górę"), "", QT_TRANSLATE_NOOP("Commands", "Przesuń okno natężenia w górę"), QT_TRANSLATE_NOOP("Commands", "Przesuń w górę"), "go-up", false},
    {32812, QT_TRANSLATE_NOOP("Commands", "Przesuń w dół"), "", QT_TRANSLATE_NOOP("Commands", "Przesuń okno natężenia w dół"), QT_TRANSLATE_NOOP("Commands", "Przesuń w dół"), "go-down", false},
    {32813, QT_TRANSLATE_NOOP("Commands", "Przesuń o wysokość w dół"), "", QT_TRANSLATE_NOOP("Commands", "Przesuń okno natężenia w dół o jego wysokość"), QT_TRANSLATE_NOOP("Commands", "Przesuń o wysokość w dół"), "go-bottom", false},
};
const int kCommandCount = sizeof(kCommands) / sizeof(kCommands[0]);

const int kZoomBarLayout[] = {32823, 32794, 32809, 0,     32795, 32814, 32815, 0,     32797, 32798, 0,
                              32799, 32800, 32801, 32802, 0,     32810, 32811, 32812, 32813};
const int kZoomBarLayoutCount = sizeof(kZoomBarLayout) / sizeof(kZoomBarLayout[0]);

}  // namespace pelmora
