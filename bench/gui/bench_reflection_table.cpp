// The reflection table over case LARGE (25 A cell, 400 atoms): binding the
// document, which builds the row list, showing the window and drawing the
// rows at the end of the list, as a user opening it and jumping to the end
// makes the user-interface thread do.
#include <QApplication>
#include <QScrollBar>
#include <QTableView>
#include <benchmark/benchmark.h>
#include <memory>

#include "bench/LargeCase.h"
#include "documents/ui/KomorkaDocument.h"
#include "documents/ui/NotificationHub.h"
#include "editors/ui/ReflectionTable.h"

using namespace pelmora;

namespace {

struct TableCase {
  NotificationHub hub;
  KomorkaDocument doc{ExperimentValues{}};
  CTabPage4 table{hub};
  TableCase() {
    bench::BuildLargeCase(doc.doc());
    NullProgress progress;
    doc.doc().CalculateReflections(progress);
    table.resize(900, 420);
  }
};

// One case for both benchmarks, left to the end of the process: its widgets
// must not be destroyed after the application object.
TableCase& Case() {
  static TableCase* c = new TableCase;
  return *c;
}

void BM_ReflectionTableOpenAndScrollToEnd(benchmark::State& state) {
  TableCase& c = Case();
  for (auto _ : state) {
    state.PauseTiming();
    c.table.hide();
    c.table.Bind(nullptr);
    QCoreApplication::processEvents();
    state.ResumeTiming();
    c.table.Bind(&c.doc);
    c.table.show();
    c.table.list()->scrollToBottom();
    c.table.repaint();
    c.table.list()->viewport()->repaint();
    QCoreApplication::processEvents();
  }
  const QAbstractItemModel* m = c.table.list()->model();
  state.counters["rows"] = m->rowCount();
  state.counters["last row"] = m->index(m->rowCount() - 1, 0).data().toInt();
}
BENCHMARK(BM_ReflectionTableOpenAndScrollToEnd)->Unit(benchmark::kMillisecond);

// The share of binding alone: the row list and the column widths.
void BM_ReflectionTableBind(benchmark::State& state) {
  TableCase& c = Case();
  for (auto _ : state) {
    state.PauseTiming();
    c.table.Bind(nullptr);
    state.ResumeTiming();
    c.table.Bind(&c.doc);
  }
}
BENCHMARK(BM_ReflectionTableBind)->Unit(benchmark::kMillisecond);

}  // namespace
