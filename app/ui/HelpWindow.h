// The manual: HTML pages in Polish and English, shown in a window of the
// program so that it reads offline and without a browser. F1 opens it at
// the section of the window in use.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

class QTextBrowser;

namespace pelmora {

// "en" when the program runs in English, else "pl": the one place that
// decides the manual's language.
QString ManualLanguage();
// The manual's folder (with pl/, en/ and img/): the installed one beside
// the program, else the build tree's; empty when there is none.
QString ManualFolder();
// "page.html#section" of the manual for a widget: the nearest of it and its
// parents that the manual describes; the main window's section otherwise.
QString HelpTopicFor(const QWidget* w);
// Every section that F1 can open, "page.html#section".
QStringList HelpTopics();

class HelpWindow : public QWidget {
  Q_OBJECT
 public:
  explicit HelpWindow(QWidget* parent = nullptr);
  // Shows "page.html#section" in the manual's language; false (and the
  // window left as it was) when the manual or the page is missing.
  bool ShowTopic(const QString& topic);
  QTextBrowser* browser() const { return browser_; }
  // The page and section shown, "page.html#section".
  QString currentTopic() const;

 private:
  QTextBrowser* browser_;
};

// F1 anywhere in the application: the help window at the section of the
// window that has the focus. A modal dialog gets a help window of its own,
// which it does not block.
class HelpKey : public QObject {
  Q_OBJECT
 public:
  explicit HelpKey(QWidget* mainWindow);
  // Opens the help for `from` (null: the active window's focus widget).
  HelpWindow* ShowHelp(const QWidget* from = nullptr);
  // Opens the manual at `topic` (in the main window's help window unless a
  // modal dialog is up); null when the manual was not found, after saying so.
  HelpWindow* ShowTopic(const QString& topic);

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  QWidget* mainWindow_;
  QPointer<HelpWindow> help_;
};

}  // namespace pelmora
