#include "engine/Xraylib.h"

#include <dlfcn.h>
#include <xraylib.h>

namespace pelmora::xraylib {
namespace {

struct Functions {
  decltype(&::Fi) fi = nullptr;
  decltype(&::Fii) fii = nullptr;
  decltype(&::AtomicWeight) weight = nullptr;
  decltype(&::xrl_error_free) freeError = nullptr;
};

template <class F>
void Take(void* library, const char* name, F& fn) {
  fn = reinterpret_cast<F>(::dlsym(library, name));
}

const Functions* Loaded() {
  static const Functions loaded = [] {
    Functions f;
    void* library = ::dlopen("libxrl.so.11", RTLD_NOW | RTLD_LOCAL);
    if (!library) library = ::dlopen("libxrl.so", RTLD_NOW | RTLD_LOCAL);
    if (!library) return f;
    Take(library, "Fi", f.fi);
    Take(library, "Fii", f.fii);
    Take(library, "AtomicWeight", f.weight);
    Take(library, "xrl_error_free", f.freeError);
    return f;
  }();
  return loaded.fi && loaded.fii && loaded.weight && loaded.freeError ? &loaded : nullptr;
}

std::optional<double> Checked(const Functions& f, double value, xrl_error* error) {
  if (!error) return value;
  f.freeError(error);
  return std::nullopt;
}

}  // namespace

std::optional<double> Fi(int z, double energyKeV) {
  const Functions* f = Loaded();
  if (!f) return std::nullopt;
  xrl_error* error = nullptr;
  const double v = f->fi(z, energyKeV, &error);
  return Checked(*f, v, error);
}

std::optional<double> Fii(int z, double energyKeV) {
  const Functions* f = Loaded();
  if (!f) return std::nullopt;
  xrl_error* error = nullptr;
  const double v = f->fii(z, energyKeV, &error);
  return Checked(*f, v, error);
}

std::optional<double> AtomicWeight(int z) {
  const Functions* f = Loaded();
  if (!f) return std::nullopt;
  xrl_error* error = nullptr;
  const double v = f->weight(z, &error);
  return Checked(*f, v, error);
}

}  // namespace pelmora::xraylib
