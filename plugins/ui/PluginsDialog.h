// "Wtyczki": the loaded plug-ins by kind, each by its library's full path.
#pragma once

#include <QDialog>

#include "plugins/PluginTable.h"

class QTreeWidget;

namespace pelmora {

class CPluginsDialog : public QDialog {
  Q_OBJECT
 public:
  CPluginsDialog(const PluginTable& table, QWidget* parent = nullptr);
  QTreeWidget* tree() const { return tree_; }

 private:
  QTreeWidget* tree_;
};

}  // namespace pelmora
