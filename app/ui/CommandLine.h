// What the desktop program is asked to do by its command line: files to
// open, whether to calculate them, and the print request that prints and
// quits without showing a window.
#pragma once

#include <QString>
#include <QStringList>

namespace pelmora {

struct CommandLine {
  QStringList files;
  bool calculate = false;  // --calculate: each file is calculated once open
  bool print = false;      // --print, --printer or --print-to: print and quit
  QString printer;         // --printer NAME; empty: the default printer
  QString printTo;         // --print-to OUT.pdf: the page into a PDF file
  bool help = false;
  bool version = false;  // --version
  QString error;  // non-empty: the arguments make no sense, nothing is done

  bool printToFile() const { return !printTo.isEmpty(); }
};

// The arguments after the program's name. Options may stand before or
// after the files; "--" ends the options.
CommandLine ParseCommandLine(const QStringList& arguments);

// The text of --help and of --version.
QString CommandLineUsage();
QString VersionText();

// The exit statuses of a print request, as the command-line tool has them.
namespace printstatus {
enum : int { kDone = 0, kBadArguments = 1, kUnreadable = 2, kRefused = 3, kNotPrinted = 4 };
}

}  // namespace pelmora
