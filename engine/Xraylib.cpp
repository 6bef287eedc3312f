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

// One of xraylib's functions, which report failure through their last
// argument.
template <class Fn, class... Args>
std::optional<double> Call(Fn Functions::*fn, Args... args) {
  const Functions* f = Loaded();
  if (!f) return std::nullopt;
  xrl_error* error = nullptr;
  const double v = (f->*fn)(args..., &error);
  if (!error) return v;
  f->freeError(error);
  return std::nullopt;
}

}  // namespace

std::optional<double> Fi(int z, double energyKeV) { return Call(&Functions::fi, z, energyKeV); }
std::optional<double> Fii(int z, double energyKeV) { return Call(&Functions::fii, z, energyKeV); }
std::optional<double> AtomicWeight(int z) { return Call(&Functions::weight, z); }

}  // namespace pelmora::xraylib
