// The Python module `pelmora._pelmora`: structures read, changed, calculated
// and written through the same workspace and calculation path as
// pelmora-cli. Each part of the module is bound in a file of its own
// (Bindings.h lists them); calculations run without the interpreter's lock,
// and Ctrl+C cancels them.
#include "Bindings.h"

using namespace pelmora::python;

PYBIND11_MODULE(_pelmora, m) {
  m.doc() = "Powder diffraction patterns of crystal structures: Pelmora's calculation for Python.";
  m.attr("__version__") = PELMORA_VERSION;
  RegisterErrors(m);
  RegisterSession(m);
  RegisterFit(m);
  // Site before Structure, whose sites property names it.
  RegisterSite(m);
  StructureClass structure = RegisterStructure(m);
  RegisterCell(structure);
  RegisterSiteList(structure);
  RegisterSpaceGroup(structure);
  RegisterExperiment(structure);
  RegisterCalculations(structure);
}
