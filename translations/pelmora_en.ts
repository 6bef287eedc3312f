<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="pl_PL">
<context>
    <name>AnomalForSource</name>
    <message>
        <source>z zestawu „%1” (obliczonego programem xraylib)</source>
        <translation>from the set “%1” (computed with xraylib)</translation>
    </message>
    <message>
        <source>z tablicy „%1”</source>
        <translation>from the table “%1”</translation>
    </message>
    <message>
        <source>Pytanie</source>
        <translation>Question</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Nie wszystkie atomy zostały zidentyfikowane. Nie można odnaleźć
czynników anomalnych dla niezidentyfikowanych atomów</source>
        <translation>Not all atoms were identified. The anomalous
scattering factors of the unidentified atoms cannot be found</translation>
    </message>
    <message>
        <source>Czynniki anomalne f′, f″ atomów wzięto dla λ = %1 Å %2.</source>
        <translation>The atoms’ anomalous scattering factors f′, f″ were taken for λ = %1 Å %2.</translation>
    </message>
    <message>
        <source>Zmieniono źródło promieniowania (λ = %1 Å), a czynniki anomalne f′, f″ atomów pozostały dla λ = %2 Å.
Czy wziąć je dla nowego źródła %3?</source>
        <translation>The radiation source has changed (λ = %1 Å), but the atoms’ anomalous scattering factors f′, f″ are still those for λ = %2 Å.
Take them for the new source %3?</translation>
    </message>
    <message>
        <source>Czynniki anomalne %1 atomów zostaną zastąpione wartościami dla bieżącego źródła (λ = %2 Å) %3.
Czy kontynuować?</source>
        <translation>The anomalous scattering factors of %1 atoms will be replaced by the values for the current source (λ = %2 Å) %3.
Continue?</translation>
    </message>
    <message>
        <source>wszystkich</source>
        <translation>all</translation>
    </message>
    <message>
        <source>zaznaczonych</source>
        <translation>the selected</translation>
    </message>
</context>
<context>
    <name>Application</name>
    <message>
        <source>system nie zna żadnej drukarki</source>
        <translation>the system knows no printer</translation>
    </message>
    <message>
        <source>dostępne: %1</source>
        <translation>available: %1</translation>
    </message>
    <message>
        <source>brak drukarki domyślnej (%1); --print-to PLIK.pdf zapisze stronę do pliku</source>
        <translation>no default printer (%1); --print-to FILE.pdf writes the page to a file</translation>
    </message>
    <message>
        <source>nie ma drukarki &quot;%1&quot; (%2)</source>
        <translation>there is no printer &quot;%1&quot; (%2)</translation>
    </message>
    <message>
        <source>%1: Nie powiodło się stworzenie kontekstu urządzenia drukarki</source>
        <translation>%1: Could not create the printer device context</translation>
    </message>
    <message>
        <source>zapis się nie powiódł</source>
        <translation>writing failed</translation>
    </message>
    <message>
        <source>Błąd</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>brak żądania wydruku</source>
        <translation>no print request</translation>
    </message>
    <message>
        <source>%1: nie można otworzyć pliku</source>
        <translation>%1: cannot open the file</translation>
    </message>
    <message>
        <source>obliczenie przerwane</source>
        <translation>calculation stopped</translation>
    </message>
    <message>
        <source>%1: drukarka %2 nie przyjęła strony</source>
        <translation>%1: the printer %2 did not accept the page</translation>
    </message>
</context>
<context>
    <name>CSettingsDlg</name>
    <message>
        <source>Wybierz katalog</source>
        <translation>Choose a folder</translation>
    </message>
</context>
<context>
    <name>ChartPainter</name>
    <message>
        <source>[st.]</source>
        <translation>[°]</translation>
    </message>
    <message>
        <source>Zliczenia</source>
        <translation>Counts</translation>
    </message>
    <message>
        <source>Natężenie [%]</source>
        <translation>Intensity [%]</translation>
    </message>
</context>
<context>
    <name>ChartPicture</name>
    <message>
        <source>Nie można zapisać pliku %1</source>
        <translation>Cannot write the file %1</translation>
    </message>
    <message>
        <source>Dyfraktogram</source>
        <translation>Diffraction pattern</translation>
    </message>
</context>
<context>
    <name>ChartPrinting</name>
    <message>
        <source>Błąd</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Nie powiodło się stworzenie kontekstu urządzenia drukarki</source>
        <translation>Could not create the printer device context</translation>
    </message>
    <message>
        <source>Podgląd wydruku</source>
        <translation>Print Preview</translation>
    </message>
    <message>
        <source>Zapisz jako</source>
        <translation>Save As</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>opcja %1 nie przyjmuje wartości</source>
        <translation>option %1 takes no value</translation>
    </message>
    <message>
        <source>opcja %1 wymaga wartości</source>
        <translation>option %1 needs a value</translation>
    </message>
    <message>
        <source>nieznana opcja %1</source>
        <translation>unknown option %1</translation>
    </message>
    <message>
        <source>--printer i --print-to wykluczają się: drukarka albo plik PDF</source>
        <translation>--printer and --print-to exclude each other: a printer or a PDF file</translation>
    </message>
    <message>
        <source>nie podano pliku do wydrukowania</source>
        <translation>no file given to print</translation>
    </message>
    <message>
        <source>--print-to zapisuje stronę jednego pliku, podano %1</source>
        <translation>--print-to writes the page of one file, %1 given</translation>
    </message>
    <message>
        <source>--calculate wymaga plików do obliczenia</source>
        <translation>--calculate needs files to calculate</translation>
    </message>
    <message>
        <source>Użycie: pelmora [PLIK...]
        pelmora --calculate PLIK...
        pelmora --print [--printer NAZWA] PLIK...
        pelmora --print-to WYNIK.pdf PLIK

Otwiera podane struktury: pliki struktury Pelmory (.xml), pliki wejściowe Tolvo
(.dat), CIF, białka z PDB (.pdb, .ent) i mmCIF (.cif); pliki skompresowane gzip
(.gz) także.

  --calculate       oblicza dyfraktogram każdego otwartego pliku
  --print           oblicza i drukuje stronę każdego pliku na drukarce
                    domyślnej, bez okien, po czym kończy pracę
  --printer NAZWA   drukuje na podanej drukarce (razem z --print)
  --print-to PLIK   zapisuje drukowaną stronę do pliku PDF
  --help            ten opis
  --version         wersja programu

Kod wyjścia wydruku: 0 wydrukowano, 1 błędne argumenty, 2 pliku nie da się
otworzyć, 3 obliczenie odrzucone, 4 brak drukarki lub strona nie zapisana.
</source>
        <translation>Usage: pelmora [FILE...]
       pelmora --calculate FILE...
       pelmora --print [--printer NAME] FILE...
       pelmora --print-to OUTPUT.pdf FILE

Opens the structures given: Pelmora structure files (.xml), Tolvo input files
(.dat), CIF, proteins from the PDB (.pdb, .ent) and mmCIF (.cif); gzip-compressed
files (.gz) too.

  --calculate       calculates the pattern of every file opened
  --print           calculates and prints the page of every file on the
                    default printer, without windows, then quits
  --printer NAME    prints on the printer named (with --print)
  --print-to FILE   writes the printed page to a PDF file
  --help            this description
  --version         the program&apos;s version

Exit status of printing: 0 printed, 1 bad arguments, 2 file could not be
opened, 3 calculation refused, 4 no printer or page not written.
</translation>
    </message>
</context>
<context>
    <name>Commands</name>
    <message>
        <source>&amp;Nowy	Ctrl+N</source>
        <translation>&amp;New	Ctrl+N</translation>
    </message>
    <message>
        <source>Utwórz nową strukturę</source>
        <translation>Create a new structure</translation>
    </message>
    <message>
        <source>Nowa</source>
        <translation>New</translation>
    </message>
    <message>
        <source>&amp;Otwórz...	Ctrl+O</source>
        <translation>&amp;Open...	Ctrl+O</translation>
    </message>
    <message>
        <source>Załaduj strukturę</source>
        <translation>Load a structure</translation>
    </message>
    <message>
        <source>Otwórz</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>Z&amp;amknij</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>Zamknij aktywną strukturę</source>
        <translation>Close the active structure</translation>
    </message>
    <message>
        <source>Zamknij</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>&amp;Zapisz	Ctrl+S</source>
        <translation>&amp;Save	Ctrl+S</translation>
    </message>
    <message>
        <source>Zapisz aktywną strukturę</source>
        <translation>Save the active structure</translation>
    </message>
    <message>
        <source>Zapisz</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Zapisz &amp;jako...	Shift+Ctrl+S</source>
        <translation>Save &amp;As...	Shift+Ctrl+S</translation>
    </message>
    <message>
        <source>Zapisz strukturę pod nową nazwą</source>
        <translation>Save the structure under a new name</translation>
    </message>
    <message>
        <source>Zapisz jako</source>
        <translation>Save As</translation>
    </message>
    <message>
        <source>Postać tekstowa</source>
        <translation>As Text</translation>
    </message>
    <message>
        <source>Zapisz wyświetlany fragment dyfraktogramu jako liczby</source>
        <translation>Save the displayed part of the pattern as numbers</translation>
    </message>
    <message>
        <source>Postać graficzna</source>
        <translation>As Picture</translation>
    </message>
    <message>
        <source>Eksportuj dyfraktogram do pliku</source>
        <translation>Export the pattern to a file</translation>
    </message>
    <message>
        <source>Eksportuj dyfraktogram</source>
        <translation>Export Pattern</translation>
    </message>
    <message>
        <source>&amp;Drukuj...	Ctrl+P</source>
        <translation>&amp;Print...	Ctrl+P</translation>
    </message>
    <message>
        <source>Drukuj aktywny dyfraktogram</source>
        <translation>Print the active pattern</translation>
    </message>
    <message>
        <source>Drukuj</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>&amp;Podgląd wydruku</source>
        <translation>Print Pre&amp;view</translation>
    </message>
    <message>
        <source>Wyświetl podgląd wydruku</source>
        <translation>Show the print preview</translation>
    </message>
    <message>
        <source>Podgląd wydruku</source>
        <translation>Print Preview</translation>
    </message>
    <message>
        <source>&amp;Ustawienia drukarki...</source>
        <translation>P&amp;rinter Setup...</translation>
    </message>
    <message>
        <source>Wybierz drukarkę i ustawienia strony</source>
        <translation>Choose the printer and the page settings</translation>
    </message>
    <message>
        <source>&amp;Wyjście</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>Zamknij program</source>
        <translation>Quit the program</translation>
    </message>
    <message>
        <source>Licz dyfraktogram	Ctrl + Enter</source>
        <translation>Calculate Pattern	Ctrl + Enter</translation>
    </message>
    <message>
        <source>Oblicz dyfraktogram</source>
        <translation>Calculate the diffraction pattern</translation>
    </message>
    <message>
        <source>Oblicz</source>
        <translation>Calculate</translation>
    </message>
    <message>
        <source>Parametry eksperymentu	Ctrl + R</source>
        <translation>Experiment Parameters	Ctrl + R</translation>
    </message>
    <message>
        <source>Ustaw promieniowanie, aparaturę i parametry próbki</source>
        <translation>Set the radiation, the instrument and the sample parameters</translation>
    </message>
    <message>
        <source>Parametry eksperymentu</source>
        <translation>Experiment Parameters</translation>
    </message>
    <message>
        <source>Tablica refleksów	Ctrl + T</source>
        <translation>Reflection Table	Ctrl + T</translation>
    </message>
    <message>
        <source>Pokaż tablicę obliczonych refleksów</source>
        <translation>Show the table of calculated reflections</translation>
    </message>
    <message>
        <source>Tablica refleksów</source>
        <translation>Reflection Table</translation>
    </message>
    <message>
        <source>Info	Ctrl+I</source>
        <translation>Info	Ctrl+I</translation>
    </message>
    <message>
        <source>Pokaż lub ukryj okno Info</source>
        <translation>Show or hide the Info window</translation>
    </message>
    <message>
        <source>Wtyczki</source>
        <translation>Plug-ins</translation>
    </message>
    <message>
        <source>Pokaż wczytane wtyczki</source>
        <translation>Show the plug-ins loaded</translation>
    </message>
    <message>
        <source>Ustawienia</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Zmień ustawienia programu</source>
        <translation>Change the program settings</translation>
    </message>
    <message>
        <source>Czynniki anomalne	Shift+Ctrl+A</source>
        <translation>Anomalous Scattering Factors	Shift+Ctrl+A</translation>
    </message>
    <message>
        <source>Edytuj tablice czynników anomalnych</source>
        <translation>Edit the tables of anomalous scattering factors</translation>
    </message>
    <message>
        <source>&amp;Standardowy</source>
        <translation>&amp;Standard</translation>
    </message>
    <message>
        <source>Pokaż lub ukryj standardowy pasek narzędzi</source>
        <translation>Show or hide the standard toolbar</translation>
    </message>
    <message>
        <source>Pokaż/ukryj  pasek narzędzi</source>
        <translation>Show/hide the toolbar</translation>
    </message>
    <message>
        <source>&amp;Pasek statusu</source>
        <translation>Status &amp;Bar</translation>
    </message>
    <message>
        <source>Pokaż lub ukryj pasek statusu</source>
        <translation>Show or hide the status bar</translation>
    </message>
    <message>
        <source>Pokaż/ukryj pasek statusu</source>
        <translation>Show/hide the status bar</translation>
    </message>
    <message>
        <source>Osie</source>
        <translation>Axes</translation>
    </message>
    <message>
        <source>Pokaż lub schowaj pasek Osie</source>
        <translation>Show or hide the Axes bar</translation>
    </message>
    <message>
        <source>Pokaż/ukryj pasek Osie</source>
        <translation>Show/hide the Axes bar</translation>
    </message>
    <message>
        <source>Powiększenie</source>
        <translation>Zoom</translation>
    </message>
    <message>
        <source>Pokaż lub ukryj pasek Powiększenie</source>
        <translation>Show or hide the Zoom bar</translation>
    </message>
    <message>
        <source>Monitor	Shift+Ctrl+M</source>
        <translation>Monitor	Shift+Ctrl+M</translation>
    </message>
    <message>
        <source>Pokaż okno monitora</source>
        <translation>Show the Monitor window</translation>
    </message>
    <message>
        <source>&amp;Kaskadowo</source>
        <translation>&amp;Cascade</translation>
    </message>
    <message>
        <source>Ułóż okna struktur kaskadowo</source>
        <translation>Arrange the structure windows in a cascade</translation>
    </message>
    <message>
        <source>&amp;Sąsiadująco</source>
        <translation>&amp;Tile</translation>
    </message>
    <message>
        <source>Ułóż okna struktur obok siebie</source>
        <translation>Arrange the structure windows side by side</translation>
    </message>
    <message>
        <source>&amp;O programie Pelmora</source>
        <translation>&amp;About Pelmora</translation>
    </message>
    <message>
        <source>Wyświetla informacje o programie</source>
        <translation>Shows information about the program</translation>
    </message>
    <message>
        <source>Informacja o programie</source>
        <translation>About the program</translation>
    </message>
    <message>
        <source>Definiuj strukturę	Ctrl + D</source>
        <translation>Define Structure	Ctrl + D</translation>
    </message>
    <message>
        <source>Zdefiniuj komórkę i atomy struktury</source>
        <translation>Define the cell and the atoms of the structure</translation>
    </message>
    <message>
        <source>Definiuj strukturę</source>
        <translation>Define Structure</translation>
    </message>
    <message>
        <source>Czynniki atomowe	Shift+Ctrl+T</source>
        <translation>Atomic Scattering Factors	Shift+Ctrl+T</translation>
    </message>
    <message>
        <source>Pokaż układ okresowy z czynnikami rozpraszania</source>
        <translation>Show the periodic table with the scattering factors</translation>
    </message>
    <message>
        <source>Czynniki atomowe</source>
        <translation>Atomic Scattering Factors</translation>
    </message>
    <message>
        <source>Otwórz pomiar…</source>
        <translation>Open Measured Pattern…</translation>
    </message>
    <message>
        <source>Pokaż zmierzony dyfraktogram razem z obliczonym</source>
        <translation>Show a measured pattern together with the calculated one</translation>
    </message>
    <message>
        <source>Usuń pomiar</source>
        <translation>Remove Measured Pattern</translation>
    </message>
    <message>
        <source>Przestań pokazywać zmierzony dyfraktogram</source>
        <translation>Stop showing the measured pattern</translation>
    </message>
    <message>
        <source>Dopasuj do pomiaru</source>
        <translation>Fit to Measured Pattern</translation>
    </message>
    <message>
        <source>Dopasuj skalę, tło, komórkę i szerokości do zmierzonego dyfraktogramu</source>
        <translation>Fit the scale, background, cell and peak widths to the measured pattern</translation>
    </message>
    <message>
        <source>Podziałka główna osi 2θ</source>
        <translation>Major ticks of the 2θ axis</translation>
    </message>
    <message>
        <source>Podziałka główna i opisy osi 2θ</source>
        <translation>Major ticks and labels of the 2θ axis</translation>
    </message>
    <message>
        <source>Podziałka średnia osi 2θ</source>
        <translation>Medium ticks of the 2θ axis</translation>
    </message>
    <message>
        <source>Podziałka drobna osi 2θ</source>
        <translation>Minor ticks of the 2θ axis</translation>
    </message>
    <message>
        <source>Podziałka główna osi natężenia</source>
        <translation>Major ticks of the intensity axis</translation>
    </message>
    <message>
        <source>Podziałka główna i opisy osi natężenia</source>
        <translation>Major ticks and labels of the intensity axis</translation>
    </message>
    <message>
        <source>Podziałka średnia osi natężenia</source>
        <translation>Medium ticks of the intensity axis</translation>
    </message>
    <message>
        <source>Podziałka drobna osi natężenia</source>
        <translation>Minor ticks of the intensity axis</translation>
    </message>
    <message>
        <source>Opisy refleksów</source>
        <translation>Reflection labels</translation>
    </message>
    <message>
        <source>Pokaż lub ukryj opisy refleksów</source>
        <translation>Show or hide the reflection labels</translation>
    </message>
    <message>
        <source>Opisy refleksów Kα1</source>
        <translation>Kα1 reflection labels</translation>
    </message>
    <message>
        <source>Opisuj refleksy linii Kα1</source>
        <translation>Label the reflections of the Kα1 line</translation>
    </message>
    <message>
        <source>Opisy refleksów Kα2</source>
        <translation>Kα2 reflection labels</translation>
    </message>
    <message>
        <source>Opisuj refleksy linii Kα2</source>
        <translation>Label the reflections of the Kα2 line</translation>
    </message>
    <message>
        <source>Powiększanie wskazanego obszaru</source>
        <translation>Zoom into a selected area</translation>
    </message>
    <message>
        <source>Rozciąganie osi X</source>
        <translation>Stretch the X axis</translation>
    </message>
    <message>
        <source>Rozciąganie osi Y</source>
        <translation>Stretch the Y axis</translation>
    </message>
    <message>
        <source>Zresetuj powiększenie</source>
        <translation>Reset the zoom</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>Pełna oś natężenia</source>
        <translation>Full intensity axis</translation>
    </message>
    <message>
        <source>Przywróć pełny zakres osi natężenia</source>
        <translation>Restore the full range of the intensity axis</translation>
    </message>
    <message>
        <source>Pełna oś 2θ</source>
        <translation>Full 2θ axis</translation>
    </message>
    <message>
        <source>Przywróć pełny zakres kątów</source>
        <translation>Restore the full angular range</translation>
    </message>
    <message>
        <source>Powiększ dwukrotnie</source>
        <translation>Zoom in twofold</translation>
    </message>
    <message>
        <source>Powiększ</source>
        <translation>Zoom in</translation>
    </message>
    <message>
        <source>Pomniejsz dwukrotnie</source>
        <translation>Zoom out twofold</translation>
    </message>
    <message>
        <source>Pomniejsz</source>
        <translation>Zoom out</translation>
    </message>
    <message>
        <source>Przesuń o zakres w stronę niższych kątów</source>
        <translation>Shift by the whole range towards lower angles</translation>
    </message>
    <message>
        <source>Przesuń w stronę niższych kątów</source>
        <translation>Shift towards lower angles</translation>
    </message>
    <message>
        <source>Przesuń w stronę wyższych kątów</source>
        <translation>Shift towards higher angles</translation>
    </message>
    <message>
        <source>Przesuń o zakres w stronę wyższych kątów</source>
        <translation>Shift by the whole range towards higher angles</translation>
    </message>
    <message>
        <source>Przesuń o wysokość w górę</source>
        <translation>Shift up by the height</translation>
    </message>
    <message>
        <source>Przesuń okno natężenia w górę o jego wysokość</source>
        <translation>Shift the intensity window up by its height</translation>
    </message>
    <message>
        <source>Przesuń w górę</source>
        <translation>Shift up</translation>
    </message>
    <message>
        <source>Przesuń okno natężenia w górę</source>
        <translation>Shift the intensity window up</translation>
    </message>
    <message>
        <source>Przesuń w dół</source>
        <translation>Shift down</translation>
    </message>
    <message>
        <source>Przesuń okno natężenia w dół</source>
        <translation>Shift the intensity window down</translation>
    </message>
    <message>
        <source>Przesuń o wysokość w dół</source>
        <translation>Shift down by the height</translation>
    </message>
    <message>
        <source>Przesuń okno natężenia w dół o jego wysokość</source>
        <translation>Shift the intensity window down by its height</translation>
    </message>
    <message>
        <source>&amp;Cofnij	Ctrl+Z</source>
        <translation>&amp;Undo	Ctrl+Z</translation>
    </message>
    <message>
        <source>Cofnij ostatnią zmianę aktywnej struktury</source>
        <translation>Undo the last change to the active structure</translation>
    </message>
    <message>
        <source>Cofnij</source>
        <translation>Undo</translation>
    </message>
    <message>
        <source>&amp;Ponów	Ctrl+Y</source>
        <translation>&amp;Redo	Ctrl+Y</translation>
    </message>
    <message>
        <source>Ponów cofniętą zmianę aktywnej struktury</source>
        <translation>Redo the undone change to the active structure</translation>
    </message>
    <message>
        <source>Ponów</source>
        <translation>Redo</translation>
    </message>
    <message>
        <source>&amp;Podręcznik	F1</source>
        <translation>&amp;Manual	F1</translation>
    </message>
    <message>
        <source>Otwórz podręcznik programu</source>
        <translation>Open the program&apos;s manual</translation>
    </message>
    <message>
        <source>Podręcznik</source>
        <translation>Manual</translation>
    </message>
</context>
<context>
    <name>EditSteps</name>
    <message>
        <source>dopasowanie do pomiaru</source>
        <translation>fit to the measurement</translation>
    </message>
    <message>
        <source>zmianę wyglądu atomów</source>
        <translation>change of atom appearance</translation>
    </message>
    <message>
        <source>dołączenie pomiaru</source>
        <translation>attaching the measurement</translation>
    </message>
    <message>
        <source>usunięcie pomiaru</source>
        <translation>removing the measurement</translation>
    </message>
    <message>
        <source>zmianę pomiaru</source>
        <translation>change of measurement</translation>
    </message>
    <message>
        <source>zmianę grupy przestrzennej</source>
        <translation>change of space group</translation>
    </message>
    <message>
        <source>zmianę typu komórki</source>
        <translation>change of cell type</translation>
    </message>
    <message>
        <source>zmianę atomów</source>
        <translation>change of atoms</translation>
    </message>
    <message>
        <source>zmianę stałych sieci</source>
        <translation>change of lattice constants</translation>
    </message>
    <message>
        <source>zmianę parametrów eksperymentu</source>
        <translation>change of experiment values</translation>
    </message>
</context>
<context>
    <name>EmfPaintEngine</name>
    <message>
        <source>Nie można utworzyć pliku %1</source>
        <translation>Cannot create the file %1</translation>
    </message>
    <message>
        <source>Nie można zapisać pliku %1</source>
        <translation>Cannot write the file %1</translation>
    </message>
</context>
<context>
    <name>NumberEdit</name>
    <message>
        <source>Enter a number.</source>
        <translation>Enter a number.</translation>
    </message>
</context>
<context>
    <name>PatternCommands</name>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Pytanie</source>
        <translation>Question</translation>
    </message>
    <message>
        <source>Plik %1 już istnieje.
Czy zastąpić go?</source>
        <translation>The file %1 already exists.
Replace it?</translation>
    </message>
    <message>
        <source>Błąd</source>
        <translation>Error</translation>
    </message>
</context>
<context>
    <name>PeriodicTableDialog</name>
    <message>
        <source>Enter an integer.</source>
        <translation>Enter an integer.</translation>
    </message>
    <message>
        <source>Pytanie</source>
        <translation>Question</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Tablica jest pełna: mieści %1 pozycji.</source>
        <translation>The table is full: it holds %1 entries.</translation>
    </message>
    <message>
        <source>Czy napewno zmienić wartości czynników atomowych?</source>
        <translation>Do you really want to change the atomic scattering factors?</translation>
    </message>
    <message>
        <source>Czy napewno usunąć jon z tablicy?</source>
        <translation>Do you really want to remove the ion from the table?</translation>
    </message>
    <message>
        <source>Czy napewno zmienić wartość neutronowego czynnika rozpraszania?</source>
        <translation>Do you really want to change the neutron scattering length?</translation>
    </message>
    <message>
        <source>Czy napewno usunąć izotop z tablicy?</source>
        <translation>Do you really want to remove the isotope from the table?</translation>
    </message>
    <message>
        <source>Czy zapisać zmiany na dysku?</source>
        <translation>Save the changes to disk?</translation>
    </message>
</context>
<context>
    <name>PrintPage</name>
    <message>
        <source>Regularna (P)</source>
        <translation>Cubic (P)</translation>
    </message>
    <message>
        <source>Regularna (I)</source>
        <translation>Cubic (I)</translation>
    </message>
    <message>
        <source>Regularna (F)</source>
        <translation>Cubic (F)</translation>
    </message>
    <message>
        <source>Tetragonalna (P)</source>
        <translation>Tetragonal (P)</translation>
    </message>
    <message>
        <source>Tetragonalna (I)</source>
        <translation>Tetragonal (I)</translation>
    </message>
    <message>
        <source>Rombowa (P)</source>
        <translation>Orthorhombic (P)</translation>
    </message>
    <message>
        <source>Rombowa (I)</source>
        <translation>Orthorhombic (I)</translation>
    </message>
    <message>
        <source>Rombowa (C)</source>
        <translation>Orthorhombic (C)</translation>
    </message>
    <message>
        <source>Rombowa (F)</source>
        <translation>Orthorhombic (F)</translation>
    </message>
    <message>
        <source>Jednoskośna (P)</source>
        <translation>Monoclinic (P)</translation>
    </message>
    <message>
        <source>Jednoskośna (C)</source>
        <translation>Monoclinic (C)</translation>
    </message>
    <message>
        <source>Trójskośna</source>
        <translation>Triclinic</translation>
    </message>
    <message>
        <source>Romboedryczna</source>
        <translation>Rhombohedral</translation>
    </message>
    <message>
        <source>Heksagonalna</source>
        <translation>Hexagonal</translation>
    </message>
    <message>
        <source>Nieznany typ</source>
        <translation>Unknown type</translation>
    </message>
    <message>
        <source>Komórka: </source>
        <translation>Cell: </translation>
    </message>
    <message>
        <source>

Kąty sieci:</source>
        <translation>

Cell angles:</translation>
    </message>
    <message>
        <source>Stałe sieci:</source>
        <translation>Cell constants:</translation>
    </message>
    <message>
        <source>Źródło promieniowania:</source>
        <translation>Radiation source:</translation>
    </message>
    <message>
        <source>  Promieniowanie X</source>
        <translation>  X-rays</translation>
    </message>
    <message>
        <source>  Neutrony</source>
        <translation>  Neutrons</translation>
    </message>
    <message>
        <source>Parametry eksperymentu:</source>
        <translation>Experiment parameters:</translation>
    </message>
    <message>
        <source>Czynnik Debya-Wallera</source>
        <translation>Debye–Waller factor</translation>
    </message>
    <message>
        <source>Rozmiar monokryst.</source>
        <translation>Crystallite size</translation>
    </message>
    <message>
        <source>ziarna próbki</source>
        <translation>of the sample</translation>
    </message>
    <message>
        <source>Czynniki aparaturowe:</source>
        <translation>Instrument coefficients:</translation>
    </message>
    <message>
        <source>Pozycje atomów</source>
        <translation>Atom positions</translation>
    </message>
    <message>
        <source>Atom</source>
        <translation>Atom</translation>
    </message>
</context>
<context>
    <name>RecordListDialog</name>
    <message>
        <source>Enter a number between %1 and %2.</source>
        <translation>Enter a number between %1 and %2.</translation>
    </message>
</context>
<context>
    <name>StructureDialog</name>
    <message>
        <source>Pytanie</source>
        <translation>Question</translation>
    </message>
    <message>
        <source>Obsadzenie pozycji musi być większe od 0 i nie większe od 1.</source>
        <translation>The site occupancy must be greater than 0 and not greater than 1.</translation>
    </message>
    <message>
        <source>Czynnik B atomu musi być liczbą nieujemną (puste pole: wspólny czynnik B).</source>
        <translation>The atom’s B factor must be a non-negative number (empty field: the common B factor).</translation>
    </message>
    <message>
        <source>Atomy zaznaczone na liście zostaną zastąpione.
Czy kontynuować?</source>
        <translation>The atoms selected in the list will be replaced.
Continue?</translation>
    </message>
    <message>
        <source>Wybierz atom</source>
        <translation>Choose an atom</translation>
    </message>
    <message>
        <source>Wybrana pozycja została już obsadzona.
 Wybierz inną pozycje atomu</source>
        <translation>The chosen position is already occupied.
 Choose another position for the atom</translation>
    </message>
    <message>
        <source>Komórka może zawierać najwyżej %d atomów po rozmnożeniu przez centrowanie.</source>
        <translation>The cell can hold at most %d atoms after multiplication by the centring.</translation>
    </message>
    <message>
        <source>Komórka może zawierać najwyżej %d atomów.</source>
        <translation>The cell can hold at most %d atoms.</translation>
    </message>
    <message>
        <source>Nieprawidłowe wartości atomu.</source>
        <translation>Invalid atom values.</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Wybierz atom z listy</source>
        <translation>Choose an atom from the list</translation>
    </message>
    <message>
        <source>Należy wybrać tylko jeden atom z listy</source>
        <translation>Choose only one atom from the list</translation>
    </message>
    <message>
        <source>Nie zaznaczono żadnego atomu!
</source>
        <translation>No atom selected!
</translation>
    </message>
    <message>
        <source>Błąd</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Nie zaznaczono żadnego atomu.</source>
        <translation>No atom selected.</translation>
    </message>
    <message>
        <source>Czynniki anomalne zaznaczonych atomów zostaną zastąpione
nowymi wartościami. Czy kontynuować?</source>
        <translation>The anomalous scattering factors of the selected atoms will be replaced
by the new values. Continue?</translation>
    </message>
    <message>
        <source>Nieznana grupa przestrzenna &quot;</source>
        <translation>Unknown space group &quot;</translation>
    </message>
    <message>
        <source>&quot;.
Wpisz symbol Hermanna–Mauguina (np. P 42/m n m), numer grupy (1–230) albo symbol Halla.</source>
        <translation>&quot;.
Enter a Hermann–Mauguin symbol (e.g. P 42/m n m), a group number (1–230) or a Hall symbol.</translation>
    </message>
    <message>
        <source>Komórka może zawierać najwyżej %d atomów; atomów ponad tę liczbę nie dodano.</source>
        <translation>The cell can hold at most %d atoms; the atoms beyond that number were not added.</translation>
    </message>
    <message>
        <source>Grupa %s: %zu atomów komórki to %zu pozycji niezależnych; komórka ma teraz %zu atomów.</source>
        <translation>Group %s: the %zu atoms of the cell are %zu independent sites; the cell now has %zu atoms.</translation>
    </message>
    <message>
        <source>Tolerancja musi być większa od zera.</source>
        <translation>The tolerance must be greater than zero.</translation>
    </message>
    <message>
        <source>Nie znaleziono grupy przestrzennej, której operacje zachowują komórkę w jej osiach i początku układu (tolerancja %g Å).</source>
        <translation>No space group was found whose operations keep the cell in its axes and origin (tolerance %g Å).</translation>
    </message>
    <message>
        <source>Zmiana typu komórki usunie wszystkie atomy struktury.
Czy kontynuować?</source>
        <translation>Changing the cell type removes all atoms of the structure.
Continue?</translation>
    </message>
    <message>
        <source>Największe odchylenie atomów od pozycji symetrycznej:
</source>
        <translation>Largest deviation of the atoms from the symmetric position:
</translation>
    </message>
    <message>
        <source>  pozostałe pozycje (%zu): do %.4f Å
</source>
        <translation>  other positions (%zu): up to %.4f Å
</translation>
    </message>
    <message>
        <source>Znaleziona grupa przestrzenna: %s (nr %d), tolerancja %g Å.
Pozycji niezależnych: %zu (atomów komórki: %zu).
</source>
        <translation>Space group found: %s (no. %d), tolerance %g Å.
Independent positions: %zu (atoms in the cell: %zu).
</translation>
    </message>
    <message>
        <source>Przyjąć tę grupę i jej pozycje niezależne (uśrednione)?</source>
        <translation>Accept this group and its independent positions (averaged)?</translation>
    </message>
</context>
<context>
    <name>SymbolHeader</name>
    <message>
        <source>L.p.</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>Natężenie</source>
        <translation>Intensity</translation>
    </message>
    <message>
        <source>Natężenie %</source>
        <translation>Intensity %</translation>
    </message>
</context>
<context>
    <name>UnsavedTables</name>
    <message>
        <source>Pytanie</source>
        <translation>Question</translation>
    </message>
    <message>
        <source>Zapisać zmiany w tablicach?</source>
        <translation>Save the changes to the tables?</translation>
    </message>
    <message>
        <source>Tak</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>Nie</source>
        <translation>No</translation>
    </message>
    <message>
        <source>Anuluj</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Błąd</source>
        <translation>Error</translation>
    </message>
</context>
<context>
    <name>cli</name>
    <message>
        <source>podaj K i B (np. --solvent 0.8 200) albo nic dla tych wartości.</source>
        <translation>give K and B (e.g. --solvent 0.8 200), or nothing for the usual values.</translation>
    </message>
    <message>
        <source>Punkty: %d   wartości dopasowane: %d   kroki: %d   czas: %.3f s   %s
</source>
        <translation>Points: %d   values refined: %d   steps: %d   time: %.3f s   %s
</translation>
    </message>
    <message>
        <source>zbieżne</source>
        <translation>converged</translation>
    </message>
    <message>
        <source>NIEZBIEŻNE</source>
        <translation>NOT CONVERGED</translation>
    </message>
    <message>
        <source>Wartości:
</source>
        <translation>Values:
</translation>
    </message>
    <message>
        <source>  udział wagowy </source>
        <translation>  weight fraction </translation>
    </message>
    <message>
        <source>nieznany</source>
        <translation>unknown</translation>
    </message>
    <message>
        <source>   ziarno </source>
        <translation>   crystallite </translation>
    </message>
    <message>
        <source>bez poszerzenia</source>
        <translation>no broadening</translation>
    </message>
    <message>
        <source>Katalog wtyczek: </source>
        <translation>Plug-ins folder: </translation>
    </message>
    <message>
        <source>  (wersja 0x%X</source>
        <translation>  (version 0x%X</translation>
    </message>
    <message>
        <source>, przestarzała: nieużywana</source>
        <translation>, outdated: not used</translation>
    </message>
    <message>
        <source>Profile pików w programie:</source>
        <translation>Peak profiles in the program:</translation>
    </message>
    <message>
        <source>Formaty eksportu dyfraktogramu:</source>
        <translation>Pattern export formats:</translation>
    </message>
</context>
<context>
    <name>diffractogram</name>
    <message>
        <source>Wtyczka formatu „%s” nie zapisuje dyfraktogramów (brak pelmora_SaveChart).</source>
        <translation>The format plug-in “%s” does not write patterns (no pelmora_SaveChart).</translation>
    </message>
    <message>
        <source>Wtyczka formatu „%s” nie zapisała pliku %s.</source>
        <translation>The format plug-in “%s” did not write the file %s.</translation>
    </message>
    <message>
        <source>Refleksy węższe od kroku siatki %.3f° (natężenie rozdzielone na dwa sąsiednie punkty): %d</source>
        <translation>Reflections narrower than the grid step %.3f° (intensity split between two neighbouring points): %d</translation>
    </message>
    <message>
        <source>Pominięte refleksy (szerokość piku nie jest dodatnią liczbą skończoną, np. U tg²θ + V tgθ + W &lt; 0): %d</source>
        <translation>Reflections left out (the peak width is not a positive finite number, e.g. U tan²θ + V tanθ + W &lt; 0): %d</translation>
    </message>
</context>
<context>
    <name>documents</name>
    <message>
        <source>Znaleziona grupa przestrzenna: %s (nr %d), tolerancja %g Å; zapisano %zu pozycji niezależnych.</source>
        <translation>Space group found: %s (no. %d), tolerance %g Å; %zu independent sites written.</translation>
    </message>
    <message>
        <source>Nie znaleziono symetrii: zapisano grupę P 1 i wszystkie atomy komórki.</source>
        <translation>No symmetry found: the group P 1 and all atoms of the cell were written.</translation>
    </message>
    <message>
        <source>brak komórki elementarnej (</source>
        <translation>no unit cell (</translation>
    </message>
    <message>
        <source>nieczytelna wartość </source>
        <translation>unreadable value </translation>
    </message>
    <message>
        <source>komórka elementarna o krawędzi nie większej od zera</source>
        <translation>a unit cell with an edge not greater than zero</translation>
    </message>
    <message>
        <source>kąty komórki elementarnej nie tworzą komórki</source>
        <translation>the unit cell angles do not make a cell</translation>
    </message>
    <message>
        <source>Komórka elementarna pliku (a = %g, b = %g, c = %g, alfa = %g, beta = %g, gamma = %g) nie ma kształtu, jakiego wymaga jego symetria (komórka %s): obliczenie przyjmie ją taką, jaka jest.</source>
        <translation>The unit cell of the file (a = %g, b = %g, c = %g, alpha = %g, beta = %g, gamma = %g) does not have the shape its symmetry requires (%s cell): the calculation takes it as it is.</translation>
    </message>
    <message>
        <source>brak bloku danych (data_)</source>
        <translation>no data block (data_)</translation>
    </message>
    <message>
        <source>brak komórki elementarnej i atomów</source>
        <translation>no unit cell and no atoms</translation>
    </message>
    <message>
        <source>Plik CIF: </source>
        <translation>CIF file: </translation>
    </message>
    <message>
        <source>Plik CIF: nie udało się go odczytać (</source>
        <translation>CIF file: could not be read (</translation>
    </message>
    <message>
        <source>brak atomów (_atom_site_fract_x, _atom_site_fract_y, _atom_site_fract_z)</source>
        <translation>no atoms (_atom_site_fract_x, _atom_site_fract_y, _atom_site_fract_z)</translation>
    </message>
    <message>
        <source>współrzędne atomów nie stoją w jednej pętli</source>
        <translation>the atom coordinates are not in one loop</translation>
    </message>
    <message>
        <source>nieznany pierwiastek &quot;</source>
        <translation>unknown element &quot;</translation>
    </message>
    <message>
        <source>nieprawidłowe obsadzenie &quot;</source>
        <translation>invalid occupancy &quot;</translation>
    </message>
    <message>
        <source>nieczytelna współrzędna </source>
        <translation>unreadable coordinate </translation>
    </message>
    <message>
        <source>nieczytelny parametr drgań termicznych %s = &quot;%s&quot; (atom %s)</source>
        <translation>unreadable displacement parameter %s = &quot;%s&quot; (atom %s)</translation>
    </message>
    <message>
        <source>ujemny parametr drgań termicznych %s = %s (atom %s)</source>
        <translation>negative displacement parameter %s = %s (atom %s)</translation>
    </message>
    <message>
        <source>nieczytelny anizotropowy parametr drgań termicznych &quot;</source>
        <translation>unreadable anisotropic displacement parameter &quot;</translation>
    </message>
    <message>
        <source>ujemny parametr drgań termicznych: Ueq = %.3g z parametrów anizotropowych (atom %s)</source>
        <translation>negative displacement parameter: Ueq = %.3g from the anisotropic parameters (atom %s)</translation>
    </message>
    <message>
        <source>za dużo atomów: więcej niż %d pozycji</source>
        <translation>too many atoms: more than %d sites</translation>
    </message>
    <message>
        <source>brak atomów: pętla atomów nie podaje żadnego atomu</source>
        <translation>no atoms: the atom loop gives no atom</translation>
    </message>
    <message>
        <source>Pominięto wiersze atomów oznaczone jako fikcyjne (_atom_site_calc_flag dum), które nie podają położenia atomu: </source>
        <translation>Atom rows marked as dummy (_atom_site_calc_flag dum), which give no atom position, were left out: </translation>
    </message>
    <message>
        <source>Plik nie podaje symboli pierwiastków (_atom_site_type_symbol), a etykiety niektórych atomów oznaczają cząsteczki wody; przyjęto dla nich tlen (O): </source>
        <translation>The file gives no element symbols (_atom_site_type_symbol), and the labels of some atoms denote water molecules; oxygen (O) was taken for them: </translation>
    </message>
    <message>
        <source>Plik nie podaje symboli pierwiastków (_atom_site_type_symbol), a etykiety niektórych atomów można odczytać różnie; przyjęto: </source>
        <translation>The file gives no element symbols (_atom_site_type_symbol), and the labels of some atoms can be read in more than one way; taken: </translation>
    </message>
    <message>
        <source>. Sprawdź, czy to właściwe pierwiastki.</source>
        <translation>. Check that these are the right elements.</translation>
    </message>
    <message>
        <source>Anizotropowe parametry drgań termicznych zastąpiono równoważnymi izotropowymi (B = 8π²·Ueq) dla atomów: </source>
        <translation>Anisotropic displacement parameters were replaced by the equivalent isotropic ones (B = 8π²·Ueq) for the atoms: </translation>
    </message>
    <message>
        <source>Niewielkie ujemne parametry drgań termicznych (zero w granicach niepewności udokładnienia) przyjęto jako B = 0 dla atomów: </source>
        <translation>Small negative displacement parameters (zero within the refinement’s uncertainty) were taken as B = 0 for the atoms: </translation>
    </message>
    <message>
        <source>za dużo atomów: komórka zawiera ich więcej niż %d</source>
        <translation>too many atoms: the cell holds more than %d</translation>
    </message>
    <message>
        <source>Plik podaje niektóre atomy dwukrotnie, w tym samym miejscu komórki (po przesunięciu o wektor sieci lub przekształceniu symetrii); pominięto: </source>
        <translation>The file gives some atoms twice, at the same place in the cell (after a lattice translation or a symmetry operation); left out: </translation>
    </message>
    <message>
        <source>brak operatorów symetrii</source>
        <translation>no symmetry operators</translation>
    </message>
    <message>
        <source>za dużo operatorów symetrii (%zu)</source>
        <translation>too many symmetry operators (%zu)</translation>
    </message>
    <message>
        <source>operator symetrii &quot;</source>
        <translation>the symmetry operator &quot;</translation>
    </message>
    <message>
        <source>&quot; nie jest krystalograficzny</source>
        <translation>&quot; is not crystallographic</translation>
    </message>
    <message>
        <source>operatory symetrii nie tworzą grupy (brak x,y,z)</source>
        <translation>the symmetry operators do not form a group (no x,y,z)</translation>
    </message>
    <message>
        <source>operatory symetrii nie tworzą grupy (brak iloczynu </source>
        <translation>the symmetry operators do not form a group (the product is missing: </translation>
    </message>
    <message>
        <source>Symbol grupy przestrzennej &quot;%s&quot; wskazuje osie %s, lecz komórka elementarna ma osie %s: przyjęto osie komórki.</source>
        <translation>The space group symbol &quot;%s&quot; indicates the axes %s, but the unit cell has the axes %s: the cell’s axes were taken.</translation>
    </message>
    <message>
        <source>Symbol grupy przestrzennej &quot;%s&quot; nie wskazuje początku układu: przyjęto wariant %c.</source>
        <translation>The space group symbol &quot;%s&quot; does not indicate the origin: origin choice %c was taken.</translation>
    </message>
    <message>
        <source>Plik nie podaje symetrii: przyjęto grupę P 1.</source>
        <translation>The file gives no symmetry: the group P 1 was taken.</translation>
    </message>
    <message>
        <source>liczba wartości w pętli (loop_) nie jest wielokrotnością liczby jej pól</source>
        <translation>the number of values in the loop (loop_) is not a multiple of the number of its fields</translation>
    </message>
    <message>
        <source>tekst w apostrofach nie jest zamknięty</source>
        <translation>a text in single quotes is not closed</translation>
    </message>
    <message>
        <source>tekst w cudzysłowie nie jest zamknięty</source>
        <translation>a text in double quotes is not closed</translation>
    </message>
    <message>
        <source>pole tekstowe (;) nie jest zamknięte</source>
        <translation>a text field (;) is not closed</translation>
    </message>
    <message>
        <source>ramka save_ nie ma nazwy</source>
        <translation>a save_ frame has no name</translation>
    </message>
    <message>
        <source>brak nagłówka bloku danych (data_)</source>
        <translation>no data block header (data_)</translation>
    </message>
    <message>
        <source>znacznik nie ma wartości</source>
        <translation>a tag has no value</translation>
    </message>
    <message>
        <source>znacznik powtarza się w bloku</source>
        <translation>a tag is repeated in the block</translation>
    </message>
    <message>
        <source>nazwa bloku danych powtarza się</source>
        <translation>a data block name is repeated</translation>
    </message>
    <message>
        <source>nieoczekiwany tekst</source>
        <translation>unexpected text</translation>
    </message>
    <message>
        <source>nie jest poprawnym plikiem CIF</source>
        <translation>is not a valid CIF file</translation>
    </message>
    <message>
        <source>błąd składni: </source>
        <translation>syntax error: </translation>
    </message>
    <message>
        <source>błąd składni w wierszu </source>
        <translation>syntax error in line </translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source> (położenie alternatywne %c)</source>
        <translation> (alternate location %c)</translation>
    </message>
    <message>
        <source>, łańcuch </source>
        <translation>, chain </translation>
    </message>
    <message>
        <source>brak komórki elementarnej (_cell.length_a, _cell.length_b, _cell.length_c, _cell.angle_alpha, _cell.angle_beta, _cell.angle_gamma)</source>
        <translation>no unit cell (_cell.length_a, _cell.length_b, _cell.length_c, _cell.angle_alpha, _cell.angle_beta, _cell.angle_gamma)</translation>
    </message>
    <message>
        <source>brak komórki elementarnej (rekordu CRYST1)</source>
        <translation>no unit cell (CRYST1 record)</translation>
    </message>
    <message>
        <source>nieczytelna lub zerowa stała komórki elementarnej</source>
        <translation>an unreadable or zero unit cell constant</translation>
    </message>
    <message>
        <source>komórka elementarna 1 × 1 × 1 Å nie opisuje kryształu (tak zapisuje się struktury z NMR i mikroskopii elektronowej): nie ma z czego obliczyć dyfraktogramu proszkowego</source>
        <translation>a 1 × 1 × 1 Å unit cell describes no crystal (structures from NMR and electron microscopy are written so): there is nothing to calculate a powder pattern from</translation>
    </message>
    <message>
        <source>brak grupy przestrzennej (_symmetry.space_group_name_H-M)</source>
        <translation>no space group (_symmetry.space_group_name_H-M)</translation>
    </message>
    <message>
        <source>brak grupy przestrzennej (rekord CRYST1, kolumny 56-66)</source>
        <translation>no space group (CRYST1 record, columns 56-66)</translation>
    </message>
    <message>
        <source>Atomy leżące na elementach symetrii (%d) mają w pliku obsadzenie podzielone przez liczbę przekształceń, które zostawiają je na miejscu, jak zapisują je pliki PDB; przyjęto obsadzenie całej pozycji: </source>
        <translation>Atoms on symmetry elements (%d) have in the file their occupancy divided by the number of operations that leave them in place, as PDB files write them; the occupancy of the whole site was taken: </translation>
    </message>
    <message>
        <source>pętla atomów nie ma pól </source>
        <translation>the atom loop has no fields </translation>
    </message>
    <message>
        <source>brak atomów (pętli _atom_site)</source>
        <translation>no atoms (no _atom_site loop)</translation>
    </message>
    <message>
        <source>brak atomów (rekordów ATOM i HETATM)</source>
        <translation>no atoms (no ATOM and HETATM records)</translation>
    </message>
    <message>
        <source>Plik zawiera kilka modeli struktury (%d): odczytano pierwszy.</source>
        <translation>The file holds several models of the structure (%d): the first was read.</translation>
    </message>
    <message>
        <source>nieprawidłowe obsadzenie %g (</source>
        <translation>invalid occupancy %g (</translation>
    </message>
    <message>
        <source>nieprawidłowy parametr drgań termicznych B = %g (</source>
        <translation>invalid displacement parameter B = %g (</translation>
    </message>
    <message>
        <source>nieczytelne współrzędne (</source>
        <translation>unreadable coordinates (</translation>
    </message>
    <message>
        <source>za dużo atomów: więcej niż %d</source>
        <translation>too many atoms: more than %d</translation>
    </message>
    <message>
        <source>brak atomów: każdy ma w pliku obsadzenie 0</source>
        <translation>no atoms: every one has occupancy 0 in the file</translation>
    </message>
    <message>
        <source>Pominięto atomy o obsadzeniu 0 (%d): nie rozpraszają.</source>
        <translation>Atoms of occupancy 0 (%d) were left out: they do not scatter.</translation>
    </message>
    <message>
        <source>Zakres kątów 2θ ustawiono na %.1f–%.1f°, jak dla makrocząsteczek; zmienisz go w parametrach eksperymentu.</source>
        <translation>The 2θ range was set to %.1f–%.1f°, as for macromolecules; change it in the experiment parameters.</translation>
    </message>
    <message>
        <source>Plik mmCIF: </source>
        <translation>mmCIF file: </translation>
    </message>
    <message>
        <source>Plik PDB: </source>
        <translation>PDB file: </translation>
    </message>
    <message>
        <source>Model z pliku nie zawiera rozpuszczalnika: linie pod małymi kątami są liczone jak dla białka w próżni i wychodzą za silne. Poprawka na rozpuszczalnik (Babinet: k = 0.8, B = 200 Å²) jest na stronie eksperymentu (&quot;Rozpuszczalnik&quot;), w pelmora-cli --solvent.</source>
        <translation>The model of the file contains no solvent: the low-angle lines are calculated as for a protein in vacuum and come out too strong. The solvent correction (Babinet: k = 0.8, B = 200 Å²) is on the experiment page (&quot;Solvent&quot;), in pelmora-cli --solvent.</translation>
    </message>
    <message>
        <source>nie udało się go odczytać (</source>
        <translation>could not be read (</translation>
    </message>
    <message>
        <source>nie udało się go odczytać</source>
        <translation>could not be read</translation>
    </message>
    <message>
        <source>błąd w wierszu </source>
        <translation>error in line </translation>
    </message>
    <message>
        <source>Plik skompresowany (gzip) jest uszkodzony lub zbyt duży</source>
        <translation>The compressed file (gzip) is damaged or too large</translation>
    </message>
    <message>
        <source>Plik zawiera zbyt wiele atomów: po rozmnożeniu przez centrowanie komórka miałaby ponad %d atomów.</source>
        <translation>The file contains too many atoms: after multiplication by the centring the cell would have over %d atoms.</translation>
    </message>
    <message>
        <source>Nieznana grupa przestrzenna &quot;</source>
        <translation>Unknown space group &quot;</translation>
    </message>
    <message>
        <source>&quot;: atomy komórki przyjęto takie, jakie podaje plik, bez symetrii.</source>
        <translation>&quot;: the atoms of the cell were taken as the file gives them, without symmetry.</translation>
    </message>
    <message>
        <source>Nieznany typ komórki</source>
        <translation>Unknown cell type</translation>
    </message>
    <message>
        <source>Nie można otworzyć pliku</source>
        <translation>Cannot open the file</translation>
    </message>
    <message>
        <source>Nieznany format pliku</source>
        <translation>Unknown file format</translation>
    </message>
    <message>
        <source>Błąd</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>blok danych &quot;%s&quot; nie podaje komórki elementarnej</source>
        <translation>data block &quot;%s&quot; gives no unit cell</translation>
    </message>
    <message>
        <source>brak bloku danych &quot;%s&quot;; bloki pliku: %s</source>
        <translation>no data block &quot;%s&quot;; the file's blocks: %s</translation>
    </message>
</context>
<context>
    <name>engine</name>
    <message>
        <source>Wyszukiwanie refleksów</source>
        <translation>Searching for reflections</translation>
    </message>
    <message>
        <source>Sortowanie refleksów</source>
        <translation>Sorting reflections</translation>
    </message>
    <message>
        <source>Grupowanie refleksów</source>
        <translation>Grouping reflections</translation>
    </message>
    <message>
        <source>Obliczanie natężenia</source>
        <translation>Calculating intensities</translation>
    </message>
    <message>
        <source>Nieprawidłowa wartość: %s = %g %s; musi być większa od zera.</source>
        <translation>Invalid value: %s = %g %s; it must be greater than zero.</translation>
    </message>
    <message>
        <source>Nieprawidłowy zakres kątowy: min = %g, max = %g; kąt minimalny musi być mniejszy od maksymalnego.</source>
        <translation>Invalid angular range: min = %g, max = %g; the minimum angle must be less than the maximum.</translation>
    </message>
    <message>
        <source>Nieprawidłowy rozmiar ziarna (gsize) D = %g Å: szerokość piku wymaga D większego od zera.</source>
        <translation>Invalid crystallite size (gsize) D = %g Å: the peak width needs D greater than zero.</translation>
    </message>
    <message>
        <source>Nieprawidłowa wartość: czynnik temperaturowy B = %g Å²; nie może być ujemny.</source>
        <translation>Invalid value: temperature factor B = %g Å²; it cannot be negative.</translation>
    </message>
    <message>
        <source>współczynnik absorpcji (absorption)</source>
        <translation>absorption coefficient (absorption)</translation>
    </message>
    <message>
        <source>rozmiar szczeliny detektora (detslit)</source>
        <translation>detector slit size (detslit)</translation>
    </message>
    <message>
        <source>pole przekroju wiązki (beamarea)</source>
        <translation>beam cross-section (beamarea)</translation>
    </message>
    <message>
        <source>prędkość pomiaru (measurespeed)</source>
        <translation>scan speed (measurespeed)</translation>
    </message>
    <message>
        <source>promień dyfraktometru (difradius)</source>
        <translation>diffractometer radius (difradius)</translation>
    </message>
    <message>
        <source>Nieprawidłowa poprawka na rozpuszczalnik: k = %g, B = %g Å²; k musi leżeć w [0, 1], B nie może być ujemne.</source>
        <translation>Invalid solvent correction: k = %g, B = %g Å²; k must lie in [0, 1], B cannot be negative.</translation>
    </message>
    <message>
        <source>Nieprawidłowa komórka elementarna: objętość V = %g Å³ (a = %g, b = %g, c = %g, alfa = %g, beta = %g, gamma = %g).</source>
        <translation>Invalid unit cell: volume V = %g Å³ (a = %g, b = %g, c = %g, alpha = %g, beta = %g, gamma = %g).</translation>
    </message>
    <message>
        <source>Nieprawidłowa długość fali lambda1 = %g Å: musi być większa od zera.</source>
        <translation>Invalid wavelength lambda1 = %g Å: it must be greater than zero.</translation>
    </message>
    <message>
        <source>Nieprawidłowa długość fali lambda2 = %g Å: musi być dodatnia (0 = brak drugiej linii).</source>
        <translation>Invalid wavelength lambda2 = %g Å: it must be positive (0 = no second line).</translation>
    </message>
    <message>
        <source>Nieprawidłowa wartość: %s = %g.</source>
        <translation>Invalid value: %s = %g.</translation>
    </message>
    <message>
        <source>Nieprawidłowa wartość: stosunek natężeń Kα2/Kα1 (ratio) = %g; nie może być ujemny.</source>
        <translation>Invalid value: intensity ratio Kα2/Kα1 (ratio) = %g; it cannot be negative.</translation>
    </message>
    <message>
        <source>Zbyt wiele refleksów do obliczenia (około %.3g): potrzeba by do %.1f GB pamięci, a obliczenie może zająć najwyżej %.1f GB (trzy czwarte pamięci komputera); zmniejsz komórkę lub zakres kątów.</source>
        <translation>Too many reflections to calculate (about %.3g): up to %.1f GB of memory would be needed, and the calculation may take at most %.1f GB (three quarters of the computer’s memory); reduce the cell or the angular range.</translation>
    </message>
    <message>
        <source>Nieprawidłowe współrzędne atomu &quot;%s&quot;.</source>
        <translation>Invalid coordinates of the atom &quot;%s&quot;.</translation>
    </message>
    <message>
        <source>Nieprawidłowe obsadzenie atomu &quot;%s&quot;: %g; musi być większe od 0 i nie większe od 1.</source>
        <translation>Invalid occupancy of the atom &quot;%s&quot;: %g; it must be greater than 0 and not greater than 1.</translation>
    </message>
    <message>
        <source>Nieprawidłowy czynnik temperaturowy atomu &quot;%s&quot;: B = %g Å²; nie może być ujemny.</source>
        <translation>Invalid temperature factor of the atom &quot;%s&quot;: B = %g Å²; it cannot be negative.</translation>
    </message>
    <message>
        <source>Zabrakło pamięci na obliczenie refleksów; zmniejsz komórkę lub zakres kątów.</source>
        <translation>Not enough memory to calculate the reflections; reduce the cell or the angular range.</translation>
    </message>
    <message>
        <source>Obliczenie refleksów nie powiodło się: %s</source>
        <translation>The reflection calculation failed: %s</translation>
    </message>
</context>
<context>
    <name>io</name>
    <message>
        <source>Nie można zapisać pliku </source>
        <translation>Cannot write the file </translation>
    </message>
    <message>
        <source>nie można otworzyć</source>
        <translation>cannot open</translation>
    </message>
    <message>
        <source>błąd zapisu</source>
        <translation>write error</translation>
    </message>
    <message>
        <source>nie można utworzyć pliku tymczasowego</source>
        <translation>cannot create a temporary file</translation>
    </message>
    <message>
        <source>nie można zastąpić pliku</source>
        <translation>cannot replace the file</translation>
    </message>
</context>
<context>
    <name>measured</name>
    <message>
        <source>Plik nie zawiera danych pomiarowych.</source>
        <translation>The file contains no measured data.</translation>
    </message>
    <message>
        <source>Plik nie zawiera kolumny kątów 2θ (tylko %d kolumna danych).</source>
        <translation>The file has no column of 2θ angles (only %d data column).</translation>
    </message>
    <message>
        <source>energia lub numer kanału</source>
        <translation>energy or channel number</translation>
    </message>
    <message>
        <source>Plik w formacie %s zawiera widmo: oś odciętych to %s, a nie kąt 2θ w stopniach.</source>
        <translation>The file in the %s format holds a spectrum: its abscissa is %s, not the angle 2θ in degrees.</translation>
    </message>
    <message>
        <source>Plik nie określa liczby punktów pomiaru.</source>
        <translation>The file does not say how many points were measured.</translation>
    </message>
    <message>
        <source>Plik ma %d kolumn; oczekiwano dwóch (2θ, zliczenia) lub trzech (2θ, zliczenia, σ).</source>
        <translation>The file has %d columns; two (2θ, counts) or three (2θ, counts, σ) were expected.</translation>
    </message>
    <message>
        <source>Plik zawiera %d skanów; wczytano pierwszy.</source>
        <translation>The file contains %d scans; the first was read.</translation>
    </message>
    <message>
        <source>Nie rozpoznano formatu pliku.</source>
        <translation>The file format was not recognised.</translation>
    </message>
    <message>
        <source>Za mało pamięci do odczytu pliku pomiaru.</source>
        <translation>Not enough memory to read the measurement file.</translation>
    </message>
    <message>
        <source>Nie można odczytać pliku pomiaru: </source>
        <translation>Cannot read the measurement file: </translation>
    </message>
    <message>
        <source>Nie można odczytać pliku pomiaru.</source>
        <translation>Cannot read the measurement file.</translation>
    </message>
    <message>
        <source>Oś odciętych w pliku to „%s”, a nie kąt 2θ w stopniach.</source>
        <translation>The abscissa of the file is “%s”, not the angle 2θ in degrees.</translation>
    </message>
    <message>
        <source>Kolumny pliku mają różne długości.</source>
        <translation>The columns of the file differ in length.</translation>
    </message>
    <message>
        <source>Punkt %zu pliku nie jest liczbą.</source>
        <translation>Point %zu of the file is not a number.</translation>
    </message>
    <message>
        <source>Ujemna liczba zliczeń (%s) przy 2θ = %s°.</source>
        <translation>Negative counts (%s) at 2θ = %s°.</translation>
    </message>
    <message>
        <source>Niedodatnia niepewność σ (%s) przy 2θ = %s°.</source>
        <translation>Non-positive uncertainty σ (%s) at 2θ = %s°.</translation>
    </message>
    <message>
        <source>Plik nie zawiera punktów pomiaru.</source>
        <translation>The file contains no measured points.</translation>
    </message>
    <message>
        <source>Żaden z %zu punktów pliku nie leży w zakresie 2θ od 0° do 180°; to nie są kąty 2θ w stopniach.</source>
        <translation>None of the %zu points of the file lies in the 2θ range from 0° to 180°; these are not 2θ angles in degrees.</translation>
    </message>
    <message>
        <source>Plik zawiera tylko jeden punkt pomiaru w zakresie 2θ od 0° do 180°.</source>
        <translation>The file contains only one measured point in the 2θ range from 0° to 180°.</translation>
    </message>
    <message>
        <source>Wszystkie punkty pliku leżą przy tym samym kącie 2θ.</source>
        <translation>All points of the file lie at the same angle 2θ.</translation>
    </message>
    <message>
        <source>Nie można otworzyć pliku </source>
        <translation>Cannot open the file </translation>
    </message>
    <message>
        <source>Pominięto wierszy pliku, których nie można odczytać: %zu (wiersz %s).</source>
        <translation>Unreadable lines of the file skipped: %zu (line %s).</translation>
    </message>
    <message>
        <source>Plik po rozpakowaniu przekracza %d MB; nie wygląda na pomiar.</source>
        <translation>The unpacked file exceeds %d MB; it does not look like a measurement.</translation>
    </message>
    <message>
        <source>Nie można rozpakować pliku: dane gzip lub bzip2 są uszkodzone albo ucięte.</source>
        <translation>Cannot unpack the file: the gzip or bzip2 data are damaged or cut short.</translation>
    </message>
</context>
<context>
    <name>pelmora::AboutBox</name>
    <message>
        <source>O programie...</source>
        <translation>About...</translation>
    </message>
    <message>
        <source>&lt;b&gt;Pelmor ver. 2.0.0.1&lt;/b&gt;&lt;br&gt;&lt;br&gt;Symulacja dyfraktogramów proszkowych:&lt;br&gt;refleksy, natężenia i profile pików.</source>
        <translation>&lt;b&gt;Pelmor ver. 2.0.0.1&lt;/b&gt;&lt;br&gt;&lt;br&gt;Simulation of powder diffraction patterns:&lt;br&gt;reflections, intensities and peak profiles.</translation>
    </message>
</context>
<context>
    <name>pelmora::CAnomalDlg</name>
    <message>
        <source>Czynniki anomalne</source>
        <translation>Anomalous Scattering Factors</translation>
    </message>
    <message>
        <source>Atom</source>
        <translation>Atom</translation>
    </message>
    <message>
        <source>Dodaj</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>Zmień nazwę</source>
        <translation>Rename</translation>
    </message>
    <message>
        <source>Zapisz zmiany</source>
        <translation>Save Changes</translation>
    </message>
    <message>
        <source>Zmień</source>
        <translation>Change</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Tablica jest pełna: mieści %1 pozycji.</source>
        <translation>The table is full: it holds %1 entries.</translation>
    </message>
    <message>
        <source>Dodaj nową tablicę...</source>
        <translation>Add a New Table...</translation>
    </message>
    <message>
        <source>Zmień nazwę tablicy...</source>
        <translation>Rename the Table...</translation>
    </message>
    <message>
        <source>Pytanie</source>
        <translation>Question</translation>
    </message>
    <message>
        <source>Czy napewno zapisać zmiany w tablicy czynników anomalnych na dysku ?</source>
        <translation>Do you really want to save the changes to the table of anomalous scattering factors to disk?</translation>
    </message>
    <message>
        <source>Błąd</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Nr</source>
        <translation>No.</translation>
    </message>
</context>
<context>
    <name>pelmora::CAparatDlg</name>
    <message>
        <source>Czynniki aparaturowe</source>
        <translation>Instrument Coefficients</translation>
    </message>
    <message>
        <source>Nazwa</source>
        <translation>Name</translation>
    </message>
</context>
<context>
    <name>pelmora::CAtomMain</name>
    <message>
        <source>Poprzedni jon</source>
        <translation>Previous ion</translation>
    </message>
    <message>
        <source>Następny jon</source>
        <translation>Next ion</translation>
    </message>
    <message>
        <source>Poprzedni izotop</source>
        <translation>Previous isotope</translation>
    </message>
    <message>
        <source>Następny izotop</source>
        <translation>Next isotope</translation>
    </message>
    <message>
        <source>Jon:</source>
        <translation>Ion:</translation>
    </message>
    <message>
        <source>Izotop:</source>
        <translation>Isotope:</translation>
    </message>
</context>
<context>
    <name>pelmora::CAtomTable</name>
    <message>
        <source>- regularna P</source>
        <translation>- cubic P</translation>
    </message>
    <message>
        <source>- regularna I</source>
        <translation>- cubic I</translation>
    </message>
    <message>
        <source>- regularna F</source>
        <translation>- cubic F</translation>
    </message>
    <message>
        <source>- tetragonalna</source>
        <translation>- tetragonal</translation>
    </message>
    <message>
        <source>- rombowa</source>
        <translation>- orthorhombic</translation>
    </message>
    <message>
        <source>- jednoskośna</source>
        <translation>- monoclinic</translation>
    </message>
    <message>
        <source>- trójskośna</source>
        <translation>- triclinic</translation>
    </message>
    <message>
        <source>- romboedryczna</source>
        <translation>- rhombohedral</translation>
    </message>
    <message>
        <source>- heksagonalna</source>
        <translation>- hexagonal</translation>
    </message>
    <message>
        <source>- diamentu</source>
        <translation>- diamond</translation>
    </message>
    <message>
        <source>- nieznana</source>
        <translation>- unknown</translation>
    </message>
    <message>
        <source>Wybór atomu</source>
        <translation>Choose an Atom</translation>
    </message>
    <message>
        <source>* użytkownika</source>
        <translation>* user’s</translation>
    </message>
    <message>
        <source>Typy sieci:</source>
        <translation>Lattice types:</translation>
    </message>
    <message>
        <source>Czynniki rozpraszania promieniowania X</source>
        <translation>X-ray scattering factors</translation>
    </message>
    <message>
        <source>Ładunek:</source>
        <translation>Charge:</translation>
    </message>
    <message>
        <source>Dodaj/Zmień</source>
        <translation>Add/Change</translation>
    </message>
    <message>
        <source>Usuń</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>Czynnik rozpraszania neutronow</source>
        <translation>Neutron scattering length</translation>
    </message>
    <message>
        <source>Izotop:</source>
        <translation>Isotope:</translation>
    </message>
    <message>
        <source>Czynniki anomalne</source>
        <translation>Anomalous Scattering Factors</translation>
    </message>
    <message>
        <source>Zestaw:</source>
        <translation>Set:</translation>
    </message>
    <message>
        <source>Nazwa atomu:</source>
        <translation>Atom name:</translation>
    </message>
    <message>
        <source>Zapisz zmiany</source>
        <translation>Save Changes</translation>
    </message>
    <message>
        <source>Anuluj</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>b/d</source>
        <translation>n/a</translation>
    </message>
    <message>
        <source>def</source>
        <translation>def</translation>
    </message>
    <message>
        <source>Enter an integer between 0 and %1.</source>
        <translation>Enter an integer between 0 and %1.</translation>
    </message>
    <message>
        <source>Błąd</source>
        <translation>Error</translation>
    </message>
</context>
<context>
    <name>pelmora::CCalcDialog</name>
    <message>
        <source>Obliczanie...</source>
        <translation>Calculating...</translation>
    </message>
    <message>
        <source>Wyszukiwanie refleksów</source>
        <translation>Searching for reflections</translation>
    </message>
    <message>
        <source>Anuluj</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>pelmora::CChartBar</name>
    <message>
        <source>Osie</source>
        <translation>Axes</translation>
    </message>
    <message>
        <source>Profil piku</source>
        <translation>Peak profile</translation>
    </message>
    <message>
        <source>Ustawienia</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
</context>
<context>
    <name>pelmora::CColorBox</name>
    <message>
        <source>Kliknij dwukrotnie, aby zmienić kolor</source>
        <translation>Double-click to change the colour</translation>
    </message>
    <message>
        <source>Kolor</source>
        <translation>Colour</translation>
    </message>
</context>
<context>
    <name>pelmora::CDownView</name>
    <message>
        <source>Nieprawidłowy zakres kątowy (min = %g, max = %g st.): wykres zostaje przy %g–%g st.</source>
        <translation>Invalid angular range (min = %g, max = %g deg): the chart stays at %g–%g deg</translation>
    </message>
    <message>
        <source>Kąt: %.4f st.</source>
        <translation>Angle: %.4f deg</translation>
    </message>
    <message>
        <source>    Zliczenia: %.1f</source>
        <translation>    Counts: %.1f</translation>
    </message>
    <message>
        <source>    Natężenie: %.4f</source>
        <translation>    Intensity: %.4f</translation>
    </message>
</context>
<context>
    <name>pelmora::CGLSaveDialog</name>
    <message>
        <source>Zapisz jako</source>
        <translation>Save As</translation>
    </message>
    <message>
        <source>Rozmiar obrazka:</source>
        <translation>Picture size:</translation>
    </message>
</context>
<context>
    <name>pelmora::CGLWindow</name>
    <message>
        <source>Nazwa atomu</source>
        <translation>Atom name</translation>
    </message>
    <message>
        <source>Kolor</source>
        <translation>Colour</translation>
    </message>
    <message>
        <source>Opis</source>
        <translation>Label</translation>
    </message>
    <message>
        <source>Promień</source>
        <translation>Radius</translation>
    </message>
    <message>
        <source>Obrót wokół osi X i Y</source>
        <translation>Rotate about the X and Y axes</translation>
    </message>
    <message>
        <source>Obrót wokół osi X i Z</source>
        <translation>Rotate about the X and Z axes</translation>
    </message>
    <message>
        <source>Obrót wokół osi Y i Z</source>
        <translation>Rotate about the Y and Z axes</translation>
    </message>
    <message>
        <source>Obracaj wokół osi X</source>
        <translation>Turn about the X axis</translation>
    </message>
    <message>
        <source>Obracaj wokół osi Y</source>
        <translation>Turn about the Y axis</translation>
    </message>
    <message>
        <source>Obracaj wokół osi Z</source>
        <translation>Turn about the Z axis</translation>
    </message>
    <message>
        <source>Przesuń w lewo</source>
        <translation>Move left</translation>
    </message>
    <message>
        <source>Przesuń w prawo</source>
        <translation>Move right</translation>
    </message>
    <message>
        <source>Przesuń w górę</source>
        <translation>Shift up</translation>
    </message>
    <message>
        <source>Przesuń w dół</source>
        <translation>Shift down</translation>
    </message>
    <message>
        <source>Przybliż</source>
        <translation>Move closer</translation>
    </message>
    <message>
        <source>Oddal</source>
        <translation>Move away</translation>
    </message>
    <message>
        <source>Monitor</source>
        <translation>Monitor</translation>
    </message>
    <message>
        <source>Zapisz</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Zapisz do pliku</source>
        <translation>Save to a file</translation>
    </message>
    <message>
        <source>Osie</source>
        <translation>Axes</translation>
    </message>
    <message>
        <source>Pokaż/Ukryj osie</source>
        <translation>Show/hide the axes</translation>
    </message>
    <message>
        <source>Komórka</source>
        <translation>Cell</translation>
    </message>
    <message>
        <source>Pokaż/Ukryj kształt komórki</source>
        <translation>Show/hide the cell outline</translation>
    </message>
    <message>
        <source>Brzegi</source>
        <translation>Edges</translation>
    </message>
    <message>
        <source>Pokaż/Ukryj atomy na brzegach komórki</source>
        <translation>Show/hide the atoms on the cell boundaries</translation>
    </message>
    <message>
        <source>Nie stworzono okna</source>
        <translation>The window was not created</translation>
    </message>
    <message>
        <source>Krawędzie:</source>
        <translation>Edges:</translation>
    </message>
    <message>
        <source>Grubość krawędzi komórki</source>
        <translation>Thickness of the cell edges</translation>
    </message>
    <message>
        <source>Grubość krawędzi komórki (0–100)</source>
        <translation>Thickness of the cell edges (0–100)</translation>
    </message>
    <message>
        <source>Kolor krawędzi komórki</source>
        <translation>Colour of the cell edges</translation>
    </message>
    <message>
        <source>Błąd</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Nie zapisano obrazka %1.</source>
        <translation>The picture %1 was not saved.</translation>
    </message>
</context>
<context>
    <name>pelmora::CLambdaDlg</name>
    <message>
        <source>Rodzaj promieniowania:</source>
        <translation>Radiation type:</translation>
    </message>
    <message>
        <source>Promieniowanie X</source>
        <translation>X-rays</translation>
    </message>
    <message>
        <source>Neutrony</source>
        <translation>Neutrons</translation>
    </message>
    <message>
        <source>Źródła promieniowania</source>
        <translation>Radiation Sources</translation>
    </message>
    <message>
        <source>Nazwa</source>
        <translation>Name</translation>
    </message>
</context>
<context>
    <name>pelmora::CMainFrame</name>
    <message>
        <source>2θ [st.]</source>
        <translation>2θ [deg]</translation>
    </message>
    <message>
        <source>Oś kątów w stopniach 2θ</source>
        <translation>Angle axis in degrees 2θ</translation>
    </message>
    <message>
        <source>Oś kątów jako odległość międzypłaszczyznowa d dla pierwszej długości fali</source>
        <translation>Angle axis as the interplanar spacing d for the first wavelength</translation>
    </message>
    <message>
        <source>Oś kątów jako wektor rozpraszania Q = 4π sin θ / λ</source>
        <translation>Angle axis as the scattering vector Q = 4π sin θ / λ</translation>
    </message>
    <message>
        <source>&amp;Następne okno</source>
        <translation>&amp;Next Window</translation>
    </message>
    <message>
        <source>Przejdź do następnego okna struktury</source>
        <translation>Go to the next structure window</translation>
    </message>
    <message>
        <source>&amp;Poprzednie okno</source>
        <translation>&amp;Previous Window</translation>
    </message>
    <message>
        <source>Przejdź do poprzedniego okna struktury</source>
        <translation>Go to the previous structure window</translation>
    </message>
    <message>
        <source>Standardowy</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>Powiększenie</source>
        <translation>Zoom</translation>
    </message>
    <message>
        <source>Gotowy</source>
        <translation>Ready</translation>
    </message>
    <message>
        <source>&amp;Plik</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>&amp;Ustawienia drukarki...</source>
        <translation>P&amp;rinter Setup...</translation>
    </message>
    <message>
        <source>&amp;Ustawienia drukowania...</source>
        <translation>P&amp;rint Setup...</translation>
    </message>
    <message>
        <source>Eksportuj dyfraktogram</source>
        <translation>Export Pattern</translation>
    </message>
    <message>
        <source>Ostatnio otwarte</source>
        <translation>Recent Files</translation>
    </message>
    <message>
        <source>&amp;Wyjście</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>&amp;Wyjście	Ctrl+X</source>
        <translation>E&amp;xit	Ctrl+X</translation>
    </message>
    <message>
        <source>Eksperyment</source>
        <translation>Experiment</translation>
    </message>
    <message>
        <source>Tablice</source>
        <translation>Tables</translation>
    </message>
    <message>
        <source>Ustawienia</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Opcje</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>&amp;Widok</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>Oś kątów</source>
        <translation>Angle Axis</translation>
    </message>
    <message>
        <source>&amp;Okno</source>
        <translation>&amp;Window</translation>
    </message>
    <message>
        <source>&amp;Pomoc</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>Save changes to %1?</source>
        <translation>Save changes to %1?</translation>
    </message>
    <message>
        <source>Otwórz</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>Pelmora 2.0 (*.xml *.XML);;Tolvo 1.14a (*.dat *.DAT);;CIF (*.cif *.CIF);;PDB, mmCIF (*.pdb *.PDB *.ent *.ENT *.cif *.CIF *.gz)</source>
        <translation>Pelmora 2.0 (*.xml *.XML);;Tolvo 1.14a (*.dat *.DAT);;CIF (*.cif *.CIF);;PDB, mmCIF (*.pdb *.PDB *.ent *.ENT *.cif *.CIF *.gz)</translation>
    </message>
    <message>
        <source>Pelmor 1.0 (*.xml)</source>
        <translation>Pelmor 1.0 (*.xml)</translation>
    </message>
    <message>
        <source>CIF (*.cif)</source>
        <translation>CIF (*.cif)</translation>
    </message>
    <message>
        <source>Zapisz jako</source>
        <translation>Save As</translation>
    </message>
    <message>
        <source>Błąd</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Zapisano CIF: %1</source>
        <translation>CIF saved: %1</translation>
    </message>
    <message>
        <source>(pusta lista)</source>
        <translation>(empty list)</translation>
    </message>
    <message>
        <source>Uaktywnij to okno</source>
        <translation>Activate this window</translation>
    </message>
    <message>
        <source>Otwórz pomiar</source>
        <translation>Open Measured Pattern</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Nie znaleziono pomiaru zapisanego razem ze strukturą:
%1</source>
        <translation>The measured pattern saved with the structure was not found:
%1</translation>
    </message>
    <message>
        <source>&amp;Cofnij</source>
        <translation>&amp;Undo</translation>
    </message>
    <message>
        <source>&amp;Ponów</source>
        <translation>&amp;Redo</translation>
    </message>
    <message>
        <source>&amp;Edycja</source>
        <translation>&amp;Edit</translation>
    </message>
</context>
<context>
    <name>pelmora::CMyPropertyPage1</name>
    <message>
        <source>Wybierz atom z układu okresowego</source>
        <translation>Choose the atom from the periodic table</translation>
    </message>
    <message>
        <source>Część pozycji zajęta przez atom: więcej niż 0, najwyżej 1</source>
        <translation>The fraction of the site the atom occupies: more than 0, at most 1</translation>
    </message>
    <message>
        <source>wspólny</source>
        <translation>common</translation>
    </message>
    <message>
        <source>Izotropowy czynnik przesunięć atomu B = 8π²·Uiso w Å²; puste pole: wspólny czynnik B strony eksperymentu</source>
        <translation>The atom’s isotropic displacement factor B = 8π²·Uiso in Å²; empty field: the common B factor of the experiment page</translation>
    </message>
    <message>
        <source>Obsadzenie</source>
        <translation>Occupancy</translation>
    </message>
    <message>
        <source>Dodaj</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>Usuń</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>Zmień</source>
        <translation>Change</translation>
    </message>
    <message>
        <source>Nazwa atomu</source>
        <translation>Atom name</translation>
    </message>
    <message>
        <source>Wyckoff</source>
        <translation>Wyckoff</translation>
    </message>
    <message>
        <source>Obs.</source>
        <translation>Occ.</translation>
    </message>
    <message>
        <source>Uiso [Å²]</source>
        <translation>Uiso [Å²]</translation>
    </message>
    <message>
        <source>wsp.</source>
        <translation>common</translation>
    </message>
    <message>
        <source>Pozycja (%1; %2; %3) leży blisko pozycji szczególnej (%4; %5; %6) grupy %7.
Przyjąć dokładne ułamki? (Nie: współrzędne zostaną takie, jak wpisano.)</source>
        <translation>The position (%1; %2; %3) lies close to the special position (%4; %5; %6) of the group %7.
Take the exact fractions? (No: the coordinates stay as typed.)</translation>
    </message>
    <message>
        <source>Pytanie</source>
        <translation>Question</translation>
    </message>
</context>
<context>
    <name>pelmora::CMyPropertyPage2</name>
    <message>
        <source>Zmień</source>
        <translation>Change</translation>
    </message>
    <message>
        <source>Dla tego źródła</source>
        <translation>For This Source</translation>
    </message>
    <message>
        <source>f′ i f″ dla bieżącego źródła promieniowania: z jego tablicy albo obliczone programem xraylib (zaznaczone atomy, a bez zaznaczenia wszystkie)</source>
        <translation>f′ and f″ for the current radiation source: from its table or computed with xraylib (the selected atoms, or all when none is selected)</translation>
    </message>
    <message>
        <source>Nazwa atomu</source>
        <translation>Atom name</translation>
    </message>
    <message>
        <source>* użytkownika</source>
        <translation>* user’s</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Nie wszystkie atomy zostały zidentyfikowane. Nie można odnaleźć
czynników anomalnych dla niezidentyfikowanych atomów</source>
        <translation>Not all atoms were identified. The anomalous
scattering factors of the unidentified atoms cannot be found</translation>
    </message>
</context>
<context>
    <name>pelmora::CMyWnd</name>
    <message>
        <source>Init Error!</source>
        <translation>Init Error!</translation>
    </message>
    <message>
        <source>Error setting up OpenGL!</source>
        <translation>Error setting up OpenGL!</translation>
    </message>
</context>
<context>
    <name>pelmora::CPatternSaveDialog</name>
    <message>
        <source>Eksportuj dyfraktogram</source>
        <translation>Export Pattern</translation>
    </message>
    <message>
        <source>Czynnik skalujący:</source>
        <translation>Scale factor:</translation>
    </message>
</context>
<context>
    <name>pelmora::CPluginsDialog</name>
    <message>
        <source>Wtyczki</source>
        <translation>Plug-ins</translation>
    </message>
    <message>
        <source>Wtyczka w zbyt starej wersji: nieużywana</source>
        <translation>Plug-in of too old a version: not used</translation>
    </message>
    <message>
        <source>Wyjście</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>pelmora::CPrompt</name>
    <message>
        <source>Anuluj</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Podaj nazwę:</source>
        <translation>Enter a name:</translation>
    </message>
    <message>
        <source>Nazwa jest za krótka</source>
        <translation>The name is too short</translation>
    </message>
</context>
<context>
    <name>pelmora::CProp</name>
    <message>
        <source>Informacje</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>Atomy</source>
        <translation>Atoms</translation>
    </message>
    <message>
        <source>Kursor</source>
        <translation>Cursor</translation>
    </message>
</context>
<context>
    <name>pelmora::CPropBar</name>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
</context>
<context>
    <name>pelmora::CPropPage1</name>
    <message>
        <source>regularna</source>
        <translation>cubic</translation>
    </message>
    <message>
        <source>tetragonalna</source>
        <translation>tetragonal</translation>
    </message>
    <message>
        <source>rombowa</source>
        <translation>orthorhombic</translation>
    </message>
    <message>
        <source>romboedryczna</source>
        <translation>rhombohedral</translation>
    </message>
    <message>
        <source>heksagonalna</source>
        <translation>hexagonal</translation>
    </message>
    <message>
        <source>jednoskośna</source>
        <translation>monoclinic</translation>
    </message>
    <message>
        <source>trójskośna</source>
        <translation>triclinic</translation>
    </message>
    <message>
        <source>Typ komórki:</source>
        <translation>Cell type:</translation>
    </message>
    <message>
        <source>Liczba atomów w komórce:</source>
        <translation>Atoms in the cell:</translation>
    </message>
    <message>
        <source>Promieniowanie:</source>
        <translation>Radiation:</translation>
    </message>
    <message>
        <source>Źródło:</source>
        <translation>Source:</translation>
    </message>
    <message>
        <source>Długość fali λ1:</source>
        <translation>Wavelength λ1:</translation>
    </message>
    <message>
        <source>Długość fali λ2:</source>
        <translation>Wavelength λ2:</translation>
    </message>
    <message>
        <source>nieznany</source>
        <translation>unknown</translation>
    </message>
    <message>
        <source>nieznane</source>
        <translation>unknown</translation>
    </message>
    <message>
        <source>neutrony</source>
        <translation>neutrons</translation>
    </message>
    <message>
        <source>Grupa przestrzenna:</source>
        <translation>Space group:</translation>
    </message>
    <message>
        <source>Z:</source>
        <translation>Z:</translation>
    </message>
    <message>
        <source>Wzór:</source>
        <translation>Formula:</translation>
    </message>
    <message>
        <source>Gęstość:</source>
        <translation>Density:</translation>
    </message>
    <message>
        <source>Objętość komórki:</source>
        <translation>Cell volume:</translation>
    </message>
    <message>
        <source>brak</source>
        <translation>none</translation>
    </message>
</context>
<context>
    <name>pelmora::CPropPage2</name>
    <message>
        <source>Nazwa</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Nazwa:</source>
        <translation>Name:</translation>
    </message>
</context>
<context>
    <name>pelmora::CPropPage3</name>
    <message>
        <source>Kąt:</source>
        <translation>Angle:</translation>
    </message>
    <message>
        <source>Natężenie:</source>
        <translation>Intensity:</translation>
    </message>
    <message>
        <source>Refleksy (h,k,l):</source>
        <translation>Reflections (h,k,l):</translation>
    </message>
</context>
<context>
    <name>pelmora::CSettingsButton</name>
    <message>
        <source>Ustawienia</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Ustawienia wybranego formatu pliku</source>
        <translation>Settings of the chosen file format</translation>
    </message>
</context>
<context>
    <name>pelmora::CSettingsDlg</name>
    <message>
        <source>Ustawienia programu</source>
        <translation>Program Settings</translation>
    </message>
    <message>
        <source>Ustawienia katalogów</source>
        <translation>Folders</translation>
    </message>
    <message>
        <source>Katalog z wtyczkami:</source>
        <translation>Plug-ins folder:</translation>
    </message>
    <message>
        <source>Katalog z danymi:</source>
        <translation>Data folder:</translation>
    </message>
    <message>
        <source>Model komórki</source>
        <translation>Cell model</translation>
    </message>
    <message>
        <source>Dokładność modelu:</source>
        <translation>Model detail:</translation>
    </message>
    <message>
        <source>Ustawienia dyfraktogramu</source>
        <translation>Pattern settings</translation>
    </message>
    <message>
        <source>Użyj wielokrotności H</source>
        <translation>Use a multiple of H</translation>
    </message>
    <message>
        <source>Drukuj w kolorze</source>
        <translation>Print in colour</translation>
    </message>
    <message>
        <source>Maks. szerokość piku (st.)</source>
        <translation>Max. peak width (deg)</translation>
    </message>
    <message>
        <source>Kolor dyfraktogramu:</source>
        <translation>Pattern colour:</translation>
    </message>
    <message>
        <source>Kolor podziałki:</source>
        <translation>Tick colour:</translation>
    </message>
    <message>
        <source>Kolory podpisów
refleksów</source>
        <translation>Colours of the
reflection labels</translation>
    </message>
    <message>
        <source>Anuluj</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Język</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>systemowy</source>
        <translation>system</translation>
    </message>
    <message>
        <source>Język:</source>
        <translation>Language:</translation>
    </message>
    <message>
        <source>Zmiana języka obowiązuje od następnego uruchomienia programu.</source>
        <translation>A change of language takes effect the next time the program starts.</translation>
    </message>
    <message>
        <source>Import struktur</source>
        <translation>Structure import</translation>
    </message>
    <message>
        <source>(bieżący zestaw)</source>
        <translation>(current set)</translation>
    </message>
    <message>
        <source>Przyrząd struktur z CIF i PDB:</source>
        <translation>Instrument for CIF and PDB structures:</translation>
    </message>
</context>
<context>
    <name>pelmora::CTabPage1</name>
    <message>
        <source>Regularna (P)</source>
        <translation>Cubic (P)</translation>
    </message>
    <message>
        <source>Regularna (I)</source>
        <translation>Cubic (I)</translation>
    </message>
    <message>
        <source>Regularna (F)</source>
        <translation>Cubic (F)</translation>
    </message>
    <message>
        <source>Tetragonalna (P)</source>
        <translation>Tetragonal (P)</translation>
    </message>
    <message>
        <source>Tetragonalna (I)</source>
        <translation>Tetragonal (I)</translation>
    </message>
    <message>
        <source>Rombowa (P)</source>
        <translation>Orthorhombic (P)</translation>
    </message>
    <message>
        <source>Rombowa (I)</source>
        <translation>Orthorhombic (I)</translation>
    </message>
    <message>
        <source>Rombowa (C)</source>
        <translation>Orthorhombic (C)</translation>
    </message>
    <message>
        <source>Rombowa (F)</source>
        <translation>Orthorhombic (F)</translation>
    </message>
    <message>
        <source>Jednoskosna (P)</source>
        <translation>Monoclinic (P)</translation>
    </message>
    <message>
        <source>Jednoskosna (C)</source>
        <translation>Monoclinic (C)</translation>
    </message>
    <message>
        <source>Trojskosna</source>
        <translation>Triclinic</translation>
    </message>
    <message>
        <source>Romboedryczna</source>
        <translation>Rhombohedral</translation>
    </message>
    <message>
        <source>Heksagonalna (P)</source>
        <translation>Hexagonal (P)</translation>
    </message>
    <message>
        <source>Definiuj Strukturę</source>
        <translation>Define Structure</translation>
    </message>
    <message>
        <source>Typ komórki</source>
        <translation>Cell type</translation>
    </message>
    <message>
        <source>Grupa przestrzenna</source>
        <translation>Space group</translation>
    </message>
    <message>
        <source>Symbol Hermanna–Mauguina (np. P 42/m n m, F d -3 m:2), numer grupy albo symbol Halla; „brak”: tylko typ komórki</source>
        <translation>A Hermann–Mauguin symbol (e.g. P 42/m n m, F d -3 m:2), a group number or a Hall symbol; “none”: the cell type only</translation>
    </message>
    <message>
        <source>Znajdź symetrię</source>
        <translation>Find Symmetry</translation>
    </message>
    <message>
        <source>Grupa przestrzenna atomów komórki (spglib) i jej pozycje niezależne</source>
        <translation>The space group of the cell’s atoms (spglib) and its independent sites</translation>
    </message>
    <message>
        <source>Odległość w Å, w której atomy uznaje się za symetryczne</source>
        <translation>The distance in Å within which atoms count as symmetric</translation>
    </message>
    <message>
        <source>tolerancja</source>
        <translation>tolerance</translation>
    </message>
    <message>
        <source>Stałe sieci</source>
        <translation>Cell constants</translation>
    </message>
    <message>
        <source>Kąty sieci</source>
        <translation>Cell angles</translation>
    </message>
    <message>
        <source>st.</source>
        <translation>deg</translation>
    </message>
    <message>
        <source>Atomy</source>
        <translation>Atoms</translation>
    </message>
    <message>
        <source>Czynniki anomalne</source>
        <translation>Anomalous Scattering Factors</translation>
    </message>
    <message>
        <source>Regularne</source>
        <translation>Cubic</translation>
    </message>
    <message>
        <source>Tetragonalne</source>
        <translation>Tetragonal</translation>
    </message>
    <message>
        <source>Rombowe</source>
        <translation>Orthorhombic</translation>
    </message>
    <message>
        <source>Romboedryczne (osie romboedryczne)</source>
        <translation>Rhombohedral (rhombohedral axes)</translation>
    </message>
    <message>
        <source>Heksagonalne i trygonalne</source>
        <translation>Hexagonal and trigonal</translation>
    </message>
    <message>
        <source>Jednoskośne</source>
        <translation>Monoclinic</translation>
    </message>
    <message>
        <source>Trójskośne</source>
        <translation>Triclinic</translation>
    </message>
    <message>
        <source>brak</source>
        <translation>none</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
</context>
<context>
    <name>pelmora::CTabPage2</name>
    <message>
        <source>Parametry eksperymentu</source>
        <translation>Experiment Parameters</translation>
    </message>
    <message>
        <source>Ustaw jako domyślne</source>
        <translation>Set as default</translation>
    </message>
    <message>
        <source>Parametry promieniowania</source>
        <translation>Radiation</translation>
    </message>
    <message>
        <source>Edytuj</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>Rodzaj promieniowania:</source>
        <translation>Radiation type:</translation>
    </message>
    <message>
        <source>dł. fali</source>
        <translation>wavelength</translation>
    </message>
    <message>
        <source>w. falowy</source>
        <translation>wave vector</translation>
    </message>
    <message>
        <source>energia</source>
        <translation>energy</translation>
    </message>
    <message>
        <source>Czynniki aparaturowe</source>
        <translation>Instrument Coefficients</translation>
    </message>
    <message>
        <source>Zakres kątowy</source>
        <translation>Angular range</translation>
    </message>
    <message>
        <source>st.</source>
        <translation>deg</translation>
    </message>
    <message>
        <source>Parametry próbki</source>
        <translation>Sample</translation>
    </message>
    <message>
        <source>średnica monokryst.
ziarna</source>
        <translation>crystallite
size</translation>
    </message>
    <message>
        <source>liniowy wsp. absorpcji</source>
        <translation>linear absorption coeff.</translation>
    </message>
    <message>
        <source>objętość próbki</source>
        <translation>sample volume</translation>
    </message>
    <message>
        <source>czynnik temperaturowy</source>
        <translation>temperature factor</translation>
    </message>
    <message>
        <source>Rozpuszczalnik (Babinet)</source>
        <translation>Solvent (Babinet)</translation>
    </message>
    <message>
        <source>F·(1 − k·exp(−B·s²)), s = sin θ / λ: rozpuszczalnik w krysztale białka osłabia linie pod małymi kątami. k — gęstość elektronowa rozpuszczalnika względem białka (0.8), B — zasięg (200 Å²).</source>
        <translation>F·(1 − k·exp(−B·s²)), s = sin θ / λ: the solvent in a protein crystal weakens the low-angle lines. k — electron density of the solvent relative to the protein (0.8), B — its reach (200 Å²).</translation>
    </message>
    <message>
        <source>Parametry dyfraktometru</source>
        <translation>Diffractometer</translation>
    </message>
    <message>
        <source>Rozmiar szczeliny detektora</source>
        <translation>Detector slit size</translation>
    </message>
    <message>
        <source>Pole przekroju wiązki
prom. padającego</source>
        <translation>Cross-section of the
incident beam</translation>
    </message>
    <message>
        <source>Prędkość pomiaru</source>
        <translation>Scan speed</translation>
    </message>
    <message>
        <source>Promień dyfraktometru</source>
        <translation>Diffractometer radius</translation>
    </message>
    <message>
        <source>Neutrony</source>
        <translation>Neutrons</translation>
    </message>
    <message>
        <source>Promieniowanie X</source>
        <translation>X-rays</translation>
    </message>
    <message>
        <source>Błąd</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Nie można zapisać ustawień w pliku %1.</source>
        <translation>Cannot write the settings to the file %1.</translation>
    </message>
</context>
<context>
    <name>pelmora::CTabPage4</name>
    <message>
        <source>Tablica refleksów</source>
        <translation>Reflection Table</translation>
    </message>
    <message>
        <source>pokaż refleksy od linii K alfa 1</source>
        <translation>show the reflections of the K alpha 1 line</translation>
    </message>
    <message>
        <source>pokaż refleksy od linii K alfa 2</source>
        <translation>show the reflections of the K alpha 2 line</translation>
    </message>
    <message>
        <source>pokaż wygaszone refleksy</source>
        <translation>show the extinct reflections</translation>
    </message>
    <message>
        <source>Zamknij</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Zapisz do Pliku</source>
        <translation>Save to File</translation>
    </message>
    <message>
        <source>Plik Tekstowy (*.txt *.TXT)</source>
        <translation>Text File (*.txt *.TXT)</translation>
    </message>
    <message>
        <source>Błąd</source>
        <translation>Error</translation>
    </message>
</context>
<context>
    <name>pelmora::CifBlocksDialog</name>
    <message>
        <source>Bloki danych pliku CIF</source>
        <translation>Data blocks of the CIF file</translation>
    </message>
    <message>
        <source>Bloków danych z komórką w pliku %1: %2. Wybierz blok do wczytania:</source>
        <translation>Data blocks with a cell in the file %1: %2. Choose the block to read:</translation>
    </message>
    <message>
        <source>Blok</source>
        <translation>Block</translation>
    </message>
    <message>
        <source>Wzór</source>
        <translation>Formula</translation>
    </message>
    <message>
        <source>Komórka (a b c / α β γ)</source>
        <translation>Cell (a b c / α β γ)</translation>
    </message>
    <message>
        <source>Grupa</source>
        <translation>Group</translation>
    </message>
    <message>
        <source> (bez atomów)</source>
        <translation> (no atoms)</translation>
    </message>
    <message>
        <source>Anuluj</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>pelmora::CorrelationDialog</name>
    <message>
        <source>Macierz korelacji</source>
        <translation>Correlation Matrix</translation>
    </message>
    <message>
        <source>Par silnie skorelowanych (|r| ≥ 0.9): %1.</source>
        <translation>Strongly correlated pairs (|r| ≥ 0.9): %1.</translation>
    </message>
    <message>
        <source>Żadna para nie ma |r| ≥ 0.9.</source>
        <translation>No pair has |r| ≥ 0.9.</translation>
    </message>
</context>
<context>
    <name>pelmora::HelpWindow</name>
    <message>
        <source>Podręcznik</source>
        <translation>Manual</translation>
    </message>
    <message>
        <source>Wstecz</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>Wstecz (Alt+Strzałka w lewo)</source>
        <translation>Back (Alt+Left)</translation>
    </message>
    <message>
        <source>Dalej</source>
        <translation>Forward</translation>
    </message>
    <message>
        <source>Dalej (Alt+Strzałka w prawo)</source>
        <translation>Forward (Alt+Right)</translation>
    </message>
    <message>
        <source>Spis treści</source>
        <translation>Contents</translation>
    </message>
    <message>
        <source>Podręcznik — %1</source>
        <translation>Manual — %1</translation>
    </message>
    <message>
        <source>Błąd</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Nie znaleziono podręcznika obok programu (%1).</source>
        <translation>The manual was not found beside the program (%1).</translation>
    </message>
    <message>
        <source>W podręczniku brak strony %1.</source>
        <translation>The manual has no page %1.</translation>
    </message>
</context>
<context>
    <name>pelmora::InfoPseudoVoigt</name>
    <message>
        <source>pseudo Voigt</source>
        <translation>pseudo-Voigt</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>pelmora::KomorkaDocument</name>
    <message>
        <source>bez nazwy %1</source>
        <translation>untitled %1</translation>
    </message>
</context>
<context>
    <name>pelmora::RecordListDialog</name>
    <message>
        <source>Nazwa:</source>
        <translation>Name:</translation>
    </message>
    <message>
        <source>Dodaj</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>Zmień</source>
        <translation>Change</translation>
    </message>
    <message>
        <source>Usuń</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>Zapisz</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Błąd</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Nazwa nie może zaczynać się od znaku „*” ani „@”: takiej pozycji nie zapisuje się w pliku.</source>
        <translation>A name cannot start with “*” or “@”: such an entry is not written to the file.</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Tablica jest pełna: mieści %1 pozycji.</source>
        <translation>The table is full: it holds %1 entries.</translation>
    </message>
</context>
<context>
    <name>pelmora::RefinementDialog</name>
    <message>
        <source>Dopasuj do pomiaru</source>
        <translation>Fit to Measured Pattern</translation>
    </message>
    <message>
        <source>Fazy (dokumenty otwarte w programie)</source>
        <translation>Phases (documents open in the program)</translation>
    </message>
    <message>
        <source>Etapami</source>
        <translation>In stages</translation>
    </message>
    <message>
        <source>Skala i tło, potem komórka i zero, potem profil, na końcu wszystko</source>
        <translation>Scale and background, then cell and zero, then profile, finally everything</translation>
    </message>
    <message>
        <source>Wyrazy tła:</source>
        <translation>Background terms:</translation>
    </message>
    <message>
        <source>Oś tekstury [hkl]:</source>
        <translation>Texture axis [hkl]:</translation>
    </message>
    <message>
        <source>Wartość</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>Wynik</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>Shift+klik: punkt tła; prawy klik: usuń punkt. Z punktami tło to ich interpolacja liniowa zamiast wyrazów Czebyszewa.</source>
        <translation>Shift+click: a background point; right click: remove a point. With points the background is their linear interpolation instead of Chebyshev terms.</translation>
    </message>
    <message>
        <source>Pomiar: %1 (%2 punktów)</source>
        <translation>Measured pattern: %1 (%2 points)</translation>
    </message>
    <message>
        <source>Dopasuj</source>
        <translation>Fit</translation>
    </message>
    <message>
        <source>Anuluj</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Zastosuj</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>Zamknij</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Zapisz do aparatu…</source>
        <translation>Save to Instrument…</translation>
    </message>
    <message>
        <source>Dopasowane U V W X Y jako zestaw tablicy aparatów, do trzymania stałym przy następnych próbkach</source>
        <translation>The fitted U V W X Y as a set of the instrument table, to be held fixed for later samples</translation>
    </message>
    <message>
        <source>Korelacje…</source>
        <translation>Correlations…</translation>
    </message>
    <message>
        <source>Macierz korelacji wartości dopasowanych</source>
        <translation>Correlation matrix of the fitted values</translation>
    </message>
    <message>
        <source>Zapisz do aparatu</source>
        <translation>Save to Instrument</translation>
    </message>
    <message>
        <source>Nazwa zestawu:</source>
        <translation>Set name:</translation>
    </message>
    <message>
        <source>Dopasowany</source>
        <translation>Fitted</translation>
    </message>
    <message>
        <source>Krok %1, Rwp = %2 %</source>
        <translation>Step %1, Rwp = %2 %</translation>
    </message>
    <message>
        <source>Pomiar</source>
        <translation>Measured</translation>
    </message>
    <message>
        <source>Tło (Czebyszew)</source>
        <translation>Background (Chebyshev)</translation>
    </message>
    <message>
        <source>Tło (punkty)</source>
        <translation>Background (points)</translation>
    </message>
    <message>
        <source>Dopasowanie…</source>
        <translation>Fitting…</translation>
    </message>
    <message>
        <source>Dopasowanie przerwane.</source>
        <translation>Fit stopped.</translation>
    </message>
    <message>
        <source>Rp = %1 %   Rwp = %2 %   Rexp = %3 %   χ² = %4   kroki: %5   %6</source>
        <translation>Rp = %1 %   Rwp = %2 %   Rexp = %3 %   χ² = %4   steps: %5   %6</translation>
    </message>
    <message>
        <source>zbieżne</source>
        <translation>converged</translation>
    </message>
    <message>
        <source>NIEZBIEŻNE</source>
        <translation>NOT CONVERGED</translation>
    </message>
    <message>
        <source>%1: udział wagowy %2
</source>
        <translation>%1: weight fraction %2
</translation>
    </message>
    <message>
        <source>nieznany</source>
        <translation>unknown</translation>
    </message>
    <message>
        <source>Uwaga: %1
</source>
        <translation>Note: %1
</translation>
    </message>
    <message>
        <source>Zapisano zestaw „%1” w tablicy aparatów.</source>
        <translation>The set “%1” was saved in the instrument table.</translation>
    </message>
    <message>
        <source>Od</source>
        <translation>esd</translation>
    </message>
</context>
<context>
    <name>plugins</name>
    <message>
        <source>Profile pików</source>
        <translation>Peak profiles</translation>
    </message>
    <message>
        <source>Formaty plików graficznych</source>
        <translation>Picture file formats</translation>
    </message>
    <message>
        <source>Formaty dyfraktogramu</source>
        <translation>Pattern formats</translation>
    </message>
</context>
<context>
    <name>refdata</name>
    <message>
        <source>Czynniki anomalne f′, f″ atomów są dla λ = %.5f Å, nie dla bieżącego źródła (λ = %.5f Å).</source>
        <translation>The atoms’ anomalous scattering factors f′, f″ are for λ = %.5f Å, not for the current source (λ = %.5f Å).</translation>
    </message>
    <message>
        <source>Nie można odczytać pliku %s; wczytano %s.</source>
        <translation>Cannot read the file %s; %s was loaded.</translation>
    </message>
    <message>
        <source>Nie można utworzyć folderu %s: %s</source>
        <translation>Cannot create the folder %s: %s</translation>
    </message>
    <message>
        <source>Pełna tablica: ostatnia pozycja ustąpiła miejsca danym z pliku struktury (tylko w pamięci, plik tablicy zachowuje ją): </source>
        <translation>Full table: the last entry gave way to the data of the structure file (in memory only, the table file keeps it): </translation>
    </message>
    <message>
        <source>Plik %s zawiera więcej danych, niż mieści tablica; pominięto pozycji: %d.</source>
        <translation>The file %s contains more data than the table holds; entries left out: %d.</translation>
    </message>
</context>
</TS>
