// The structure page over a cell of many atoms (the LARGE kind of cell with
// 20 000 and 100 000 atoms): binding the document, showing the page and
// drawing its atom list, then jumping to the list's end, as a user opening
// the page and scrolling makes the user-interface thread do.
#include <QApplication>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <benchmark/benchmark.h>
#include <cmath>
#include <map>
#include <memory>

#include "bench/LargeCase.h"
#include "documents/ui/KomorkaDocument.h"
#include "editors/ui/InfoAtomsPage.h"
#include "editors/ui/StructureDialog.h"
#include "refdata/ReferenceData.h"

using namespace pelmora;

namespace {

struct PageCase {
  ReferenceData ref;
  KomorkaDocument doc{ExperimentValues{}};
  CTabPage1 page{ref};
  CPropPage2 info;
  explicit PageCase(int atoms) {
    // The same density as the 2000-atom case in 40 A.
    bench::BuildLargeCase(doc.doc(), atoms, 40.0 * std::cbrt(atoms / 2000.0));
    page.resize(920, 460);
    info.resize(300, 500);
  }
};

// Built once per size and left to the end of the process: widgets must not
// be destroyed after the application object.
PageCase& Case(int atoms) {
  static std::map<int, PageCase*> cases;
  PageCase*& c = cases[atoms];
  if (!c) c = new PageCase(atoms);
  return *c;
}

template <typename View>
void ShowAndScroll(QWidget& w, View* list) {
  w.show();
  w.repaint();
  list->viewport()->repaint();
  QCoreApplication::processEvents();
  list->scrollToBottom();
  list->viewport()->repaint();
  QCoreApplication::processEvents();
}

// range(0): atoms of the cell.
void BM_StructurePageOpen(benchmark::State& state) {
  PageCase& c = Case(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    c.page.hide();
    c.page.Bind(nullptr);
    QCoreApplication::processEvents();
    state.ResumeTiming();
    c.page.Bind(&c.doc);
    ShowAndScroll(c.page, c.page.atomsPage()->list());
  }
  state.counters["rows"] = c.page.atomsPage()->list()->model()->rowCount();
}
BENCHMARK(BM_StructurePageOpen)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The info panel's list of the cell atoms.
void BM_InfoAtomsRefresh(benchmark::State& state) {
  PageCase& c = Case(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    c.info.hide();
    c.info.Refresh(nullptr);
    QCoreApplication::processEvents();
    state.ResumeTiming();
    c.info.Refresh(&c.doc);
    ShowAndScroll(c.info, c.info.list());
  }
  state.counters["rows"] = c.info.list()->model()->rowCount();
}
BENCHMARK(BM_InfoAtomsRefresh)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
