// The command line's own texts in the language chosen: Polish as written in
// the sources, English from the translation when the system or the settings
// ask for it. The tool needs no application object for this: it asks its
// translator directly.
#pragma once

#include <QtGlobal>
#include <string>

namespace pelmora::cli {

// Loads the translation of the language the settings (the user's own store)
// or the system ask for.
void ChooseLanguage();
// `text` in that language; `text` itself when it has no translation. Texts
// are marked where they are written: Tr(QT_TRANSLATE_NOOP("cli", "...")).
std::string Tr(const char* text);

}  // namespace pelmora::cli
