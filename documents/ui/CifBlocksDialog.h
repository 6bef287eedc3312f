// The choice of data block when a CIF holds several structures: each block
// with a cell by name, formula, cell and group, the one an import would
// take by itself selected.
#pragma once

#include <QDialog>
#include <QString>
#include <vector>

#include "documents/CifImport.h"

class QTableWidget;

namespace pelmora {

class CifBlocksDialog : public QDialog {
  Q_OBJECT
 public:
  CifBlocksDialog(const QString& fileName, std::vector<CifBlockInfo> blocks, QWidget* parent = nullptr);

  // The name of the block selected (empty when none is).
  QString chosenBlock() const;
  QTableWidget* list() const { return list_; }

 private:
  std::vector<CifBlockInfo> blocks_;
  QTableWidget* list_ = nullptr;
};

// The block to read from a file before it is opened: empty when the file
// is no CIF of several blocks with a cell (nothing is asked), else the
// block chosen; false when the user cancelled.
bool AskCifBlock(QWidget* parent, const QString& path, QString* block);

}  // namespace pelmora
