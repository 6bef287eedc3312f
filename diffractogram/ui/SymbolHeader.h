// A horizontal table header that draws a symbol picture (an SVG of the
// resources) in place of the text of chosen columns; the text stays in the
// model, where it serves as the tooltip and for tests.
#pragma once

#include <QHeaderView>
#include <QString>
#include <map>
#include <memory>

class QSvgRenderer;

namespace pelmora {

class SymbolHeader : public QHeaderView {
 public:
  // symbols: column -> resource path of its picture.
  SymbolHeader(const std::map<int, QString>& symbols, QWidget* parent);
  ~SymbolHeader() override;
  // Width the symbol of a column needs, 0 without one.
  int symbolWidth(int logical) const;
  QSize sizeHint() const override;

 protected:
  void initStyleOptionForIndex(QStyleOptionHeader* option, int logical) const override;
  void paintSection(QPainter* painter, const QRect& rect, int logical) const override;

 private:
  std::map<int, std::unique_ptr<QSvgRenderer>> symbols_;
};

}  // namespace pelmora
