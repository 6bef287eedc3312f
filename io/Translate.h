// The texts the GUI-free core shows the user (messages, refusals, notes)
// are written in Polish. A front end that speaks another language installs
// a translator, and each text passes through it where it is made; the
// translation tools find the texts by the TrText calls and, in tables, by
// PELMORA_TR_NOOP.
#pragma once

#include <string>

// Marks a text in a table for the translation tools; TrText translates it
// where it is used, with the same context.
#define PELMORA_TR_NOOP(context, text) text

namespace pelmora {

using TextTranslator = std::string (*)(const char* context, const char* text);

// Installs the translator (null: none). Set once at start-up, before any
// calculation thread runs.
void SetTextTranslator(TextTranslator translator);

// `text` in the front end's language; `text` itself without a translator.
std::string TrText(const char* context, const char* text);

}  // namespace pelmora
