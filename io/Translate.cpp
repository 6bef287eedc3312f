#include "io/Translate.h"

#include <atomic>

namespace pelmora {

namespace {
std::atomic<TextTranslator> g_translator{nullptr};
}  // namespace

void SetTextTranslator(TextTranslator translator) { g_translator.store(translator); }

std::string TrText(const char* context, const char* text) {
  const TextTranslator t = g_translator.load();
  return t ? t(context, text) : std::string(text);
}

}  // namespace pelmora
