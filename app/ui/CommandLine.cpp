#include "app/ui/CommandLine.h"

#include <QCoreApplication>

namespace pelmora {

CommandLine ParseCommandLine(const QStringList& arguments) {
  CommandLine cl;
  bool printRequested = false;
  bool optionsEnded = false;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString& arg = arguments[i];
    if (optionsEnded || !arg.startsWith(QLatin1Char('-')) || arg == QStringLiteral("-")) {
      cl.files << arg;
      continue;
    }
    if (arg == QStringLiteral("--")) {
      optionsEnded = true;
      continue;
    }
    // "--name=value" and "--name value" alike.
    QString name = arg, value;
    bool inlineValue = false;
    if (const qsizetype eq = arg.indexOf(QLatin1Char('=')); eq > 0) {
      name = arg.left(eq);
      value = arg.mid(eq + 1);
      inlineValue = true;
    }
    auto takeValue = [&]() -> bool {
      if (inlineValue) return !value.isEmpty();
      if (i + 1 >= arguments.size()) return false;
      value = arguments[++i];
      return !value.isEmpty();
    };
    const bool flag = name == QStringLiteral("--calculate") || name == QStringLiteral("--print") ||
                      name == QStringLiteral("--help") || name == QStringLiteral("-h") ||
                      name == QStringLiteral("--version");
    if (flag && inlineValue) {
      cl.error = QCoreApplication::translate("CommandLine", "opcja %1 nie przyjmuje wartości").arg(name);
      return cl;
    }
    if (name == QStringLiteral("--calculate")) {
      cl.calculate = true;
    } else if (name == QStringLiteral("--print")) {
      printRequested = true;
    } else if (name == QStringLiteral("--printer") || name == QStringLiteral("--print-to")) {
      if (!takeValue()) {
        cl.error = QCoreApplication::translate("CommandLine", "opcja %1 wymaga wartości").arg(name);
        return cl;
      }
      (name == QStringLiteral("--printer") ? cl.printer : cl.printTo) = value;
      printRequested = true;
    } else if (name == QStringLiteral("--help") || name == QStringLiteral("-h")) {
      cl.help = true;
    } else if (name == QStringLiteral("--version")) {
      cl.version = true;
    } else {
      cl.error = QCoreApplication::translate("CommandLine", "nieznana opcja %1").arg(arg);
      return cl;
    }
  }
  cl.print = printRequested;
  if (cl.help || cl.version) return cl;
  if (cl.print) {
    if (!cl.printer.isEmpty() && cl.printToFile())
      cl.error = QCoreApplication::translate("CommandLine", "--printer i --print-to wykluczają się: drukarka albo plik PDF");
    else if (cl.files.isEmpty())
      cl.error = QCoreApplication::translate("CommandLine", "nie podano pliku do wydrukowania");
    else if (cl.printToFile() && cl.files.size() > 1)
      cl.error = QCoreApplication::translate("CommandLine", "--print-to zapisuje stronę jednego pliku, podano %1").arg(cl.files.size());
  } else if (cl.calculate && cl.files.isEmpty()) {
    cl.error = QCoreApplication::translate("CommandLine", "--calculate wymaga plików do obliczenia");
  }
  return cl;
}

QString CommandLineUsage() {
  return QCoreApplication::translate("CommandLine", "Użycie: pelmora [PLIK...]\n"
      "        pelmora --calculate PLIK...\n"
      "        pelmora --print [--printer NAZWA] PLIK...\n"
      "        pelmora --print-to WYNIK.pdf PLIK\n"
      "\n"
      "Otwiera podane struktury: pliki struktury Pelmory (.xml), pliki wejściowe Tolvo\n"
      "(.dat), CIF, białka z PDB (.pdb, .ent) i mmCIF (.cif); pliki skompresowane gzip\n"
      "(.gz) także.\n"
      "\n"
      "  --calculate       oblicza dyfraktogram każdego otwartego pliku\n"
      "  --print           oblicza i drukuje stronę każdego pliku na drukarce\n"
      "                    domyślnej, bez okien, po czym kończy pracę\n"
      "  --printer NAZWA   drukuje na podanej drukarce (razem z --print)\n"
      "  --print-to PLIK   zapisuje drukowaną stronę do pliku PDF\n"
      "  --help            ten opis\n"
      "  --version         wersja programu\n"
      "\n"
      "Kod wyjścia wydruku: 0 wydrukowano, 1 błędne argumenty, 2 pliku nie da się\n"
      "otworzyć, 3 obliczenie odrzucone, 4 brak drukarki lub strona nie zapisana.\n");
}

QString VersionText() { return QStringLiteral("pelmora " PELMORA_VERSION_TEXT "\n"); }

}  // namespace pelmora
