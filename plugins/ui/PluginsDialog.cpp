#include "plugins/ui/PluginsDialog.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace pelmora {

CPluginsDialog::CPluginsDialog(const PluginTable& table, QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("Wtyczki"));
  auto* top = new QVBoxLayout(this);
  tree_ = new QTreeWidget(this);
  tree_->setHeaderHidden(true);
  tree_->setRootIsDecorated(true);
  const QIcon usable(QStringLiteral(":/icons/plugin.svg")), old(QStringLiteral(":/icons/plugin-old.svg"));
  for (const PluginKindGroup& group : kPluginKindGroups) {
    auto* root = new QTreeWidgetItem(tree_, {QCoreApplication::translate("plugins", group.title)});
    for (const PluginEntry& e : table.entries()) {
      if (e.kind != group.kind) continue;
      auto* item = new QTreeWidgetItem(root, {QString::fromStdString(e.path)});
      item->setIcon(0, (e.flags & kPluginFlagOldProfile) ? old : usable);
      if (e.flags & kPluginFlagOldProfile) item->setToolTip(0, tr("Wtyczka w zbyt starej wersji: nieużywana"));
    }
    root->setExpanded(true);
  }
  tree_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  top->addWidget(tree_);
  auto* row = new QHBoxLayout;
  row->addStretch();
  auto* exit = new QPushButton(tr("Wyjście"), this);
  connect(exit, &QPushButton::clicked, this, &QDialog::accept);
  row->addWidget(exit);
  top->addLayout(row);
  resize(560, 360);
}

}  // namespace pelmora
