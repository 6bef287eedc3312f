#include "viewer3d/ui/MonitorPanel.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <algorithm>
#include <cmath>
#include <QColorDialog>
#include <QCoreApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include "widgets/NumberEdit.h"
#include "viewer3d/ui/ImageSaveDialog.h"
#include "plugins/ui/SettingsButton.h"
#include "viewer3d/ui/CellView.h"
#include "viewer3d/ui/TimerButton.h"
#include "widgets/ColorBox.h"

// The panel's button pictures live in a resource file of their own, linked
// from a static library: registered by the panel that uses them.
static void InitViewerResources() { Q_INIT_RESOURCE(viewer); }

namespace pelmora {

namespace {

enum Column { kName = 0, kColor = 1, kLabel = 2, kRadius = 3 };

QColor FromBgr(std::uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
std::uint32_t ToBgr(const QColor& c) {
  return static_cast<std::uint32_t>(c.red()) | static_cast<std::uint32_t>(c.green()) << 8 |
         static_cast<std::uint32_t>(c.blue()) << 16;
}

// The colour cell as a filled rectangle, the label cell as a 13 x 13 box,
// both drawn over the row's background.
class AtomCellDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    if (index.column() == kColor) {
      p->save();
      p->fillRect(option.rect, Qt::white);
      p->setPen(Qt::black);
      p->setBrush(index.data(Qt::UserRole).value<QColor>());
      p->drawRect(option.rect.adjusted(4, 3, -5, -4));
      p->restore();
      return;
    }
    if (index.column() == kLabel) {
      p->fillRect(option.rect, Qt::white);
      QStyleOptionButton box;
      box.rect = QRect(option.rect.left() + (option.rect.width() - 13) / 2,
                       option.rect.top() + (option.rect.height() - 13) / 2, 13, 13);
      box.state = QStyle::State_Enabled | (index.data(Qt::UserRole).toBool() ? QStyle::State_On : QStyle::State_Off);
      QApplication::style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, p);
      return;
    }
    QStyledItemDelegate::paint(p, option, index);
  }
};

constexpr QSize kButtonIcon(24, 24);

QIcon PanelIcon(const char* name) { return QIcon(QStringLiteral(":/viewer/viewer-%1.svg").arg(QLatin1String(name))); }

// A picture on the button; its word is the tooltip and the name a screen
// reader says.
QToolButton* MakeButton(QWidget* parent, const char* icon, const QString& text, const QString& tip, bool checkable) {
  auto* b = new QToolButton(parent);
  b->setIcon(PanelIcon(icon));
  b->setIconSize(kButtonIcon);
  b->setText(text);
  b->setAccessibleName(text);
  b->setToolTip(tip.isEmpty() ? text : tip);
  b->setCheckable(checkable);
  b->setAutoRaise(false);
  return b;
}

}  // namespace

// --- atom list -------------------------------------------------------------------

class CGLListCtrl::Model : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;

  void Fill(const std::vector<AtomSite>* atoms) {
    beginResetModel();
    atoms_ = atoms;
    rows_ = atoms ? static_cast<int>(atoms->size()) : 0;
    endResetModel();
  }
  void RowChanged(int row) {
    if (row >= 0 && row < rows_) emit dataChanged(index(row, 0), index(row, kRadius));
  }

  int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : rows_; }
  int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 4; }
  Qt::ItemFlags flags(const QModelIndex& index) const override {
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
  }
  QVariant data(const QModelIndex& index, int role) const override {
    // The atoms may have been refilled since the last reset.
    if (!atoms_ || !index.isValid() || index.row() >= rows_ || static_cast<size_t>(index.row()) >= atoms_->size())
      return {};
    const AtomSite& at = (*atoms_)[static_cast<size_t>(index.row())];
    switch (index.column()) {
      case kName:
        if (role == Qt::DisplayRole) return QString::fromStdString(at.name);
        break;
      case kColor:
        if (role == Qt::UserRole) return FromBgr(at.color);
        break;
      case kLabel:
        if (role == Qt::UserRole) return at.visible != 0;
        break;
      case kRadius:
        if (role == Qt::DisplayRole) return QString::number(at.radius);
        if (role == Qt::BackgroundRole) return QBrush(Qt::white);
        break;
      default:
        break;
    }
    return {};
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    static const char* const kHeaders[4] = {QT_TRANSLATE_NOOP("pelmora::CGLWindow", "Nazwa atomu"), QT_TRANSLATE_NOOP("pelmora::CGLWindow", "Kolor"), QT_TRANSLATE_NOOP("pelmora::CGLWindow", "Opis"), QT_TRANSLATE_NOOP("pelmora::CGLWindow", "Promień")};
    if (orientation != Qt::Horizontal || section < 0 || section >= 4) return {};
    if (role == Qt::DisplayRole) return QCoreApplication::translate("pelmora::CGLWindow", kHeaders[section]);
    if (role == Qt::TextAlignmentRole && section == kColor) return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    return {};
  }

 private:
  const std::vector<AtomSite>* atoms_ = nullptr;
  int rows_ = 0;
};

CGLListCtrl::CGLListCtrl(QWidget* parent) : QTableView(parent), model_(new Model(this)) {
  setModel(model_);
  setColumnWidth(kName, 100);
  setColumnWidth(kColor, 45);
  setColumnWidth(kLabel, 35);
  setColumnWidth(kRadius, 50);
  horizontalHeader()->setStretchLastSection(true);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(20);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(true);
  setItemDelegate(new AtomCellDelegate(this));
  connect(this, &QAbstractItemView::clicked, this,
          [this](const QModelIndex& index) { emit cellClicked(index.row(), index.column()); });
  // Scrolling takes the radius field away, as it would leave its row.
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &CGLListCtrl::CloseRadiusField);
}

void CGLListCtrl::Fill(const std::vector<AtomSite>& atoms) {
  CloseRadiusField();
  model_->Fill(&atoms);
}

void CGLListCtrl::RefreshRow(int row) { model_->RowChanged(row); }

int CGLListCtrl::rowCount() const { return model_->rowCount(); }

void CGLListCtrl::OpenRadiusField(int row, int value) {
  CloseRadiusField();
  if (row < 0 || row >= rowCount()) return;
  // An integer field 0..100: keystrokes that would leave anything else are refused.
  radiusField_ = new QSpinBox;
  radiusField_->setRange(0, 100);
  radiusField_->setValue(value);
  radiusField_->setKeyboardTracking(true);
  radiusField_->setFrame(false);
  radiusIndex_ = model_->index(row, kRadius);
  setIndexWidget(radiusIndex_, radiusField_);
  connect(radiusField_, &QSpinBox::valueChanged, this, [this, row](int v) { emit radiusTyped(row, v); });
  connect(radiusField_, &QSpinBox::editingFinished, this, [this] {
    QMetaObject::invokeMethod(this, &CGLListCtrl::CloseRadiusField, Qt::QueuedConnection);
  });
  radiusField_->setFocus();
  radiusField_->selectAll();
}

void CGLListCtrl::CloseRadiusField() {
  if (!radiusField_) return;
  radiusField_ = nullptr;
  // Gone with a reset of the rows already.
  if (radiusIndex_.isValid() && indexWidget(radiusIndex_)) setIndexWidget(radiusIndex_, nullptr);  // deletes the field
  radiusIndex_ = QPersistentModelIndex();
}

// --- panel ---------------------------------------------------------------------------

CGLWindow::CGLWindow(const std::int32_t& glDetail, std::vector<ImageFormat> formats, QWidget* parent)
    : QDockWidget(QCoreApplication::translate("pelmora::CGLWindow", "Monitor"), parent), glDetail_(glDetail), formats_(std::move(formats)) {
  InitViewerResources();
  setObjectName(QStringLiteral("MonitorPanel"));
  // A floating panel that never docks.
  setAllowedAreas(Qt::NoDockWidgetArea);
  setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
  auto* body = new QWidget(this);
  auto* box = new QVBoxLayout(body);
  box->setContentsMargins(6, 6, 6, 6);
  box->setSpacing(4);

  box->addLayout(BuildSwitches(body));
  std::vector<CTimerButton*> timerButtons;
  box->addLayout(BuildHoldButtons(body, timerButtons));
  AddView(body, box, timerButtons);

  list_ = new CGLListCtrl(body);
  box->addWidget(list_, 2);
  connect(list_, &CGLListCtrl::cellClicked, this, &CGLWindow::OnListClicked);
  connect(list_, &CGLListCtrl::radiusTyped, this, &CGLWindow::SetAtomRadius);

  box->addLayout(BuildEdges(body));
  connect(save_, &QToolButton::clicked, this, &CGLWindow::SaveImage);

  setWidget(body);
  Clear();
}

QLayout* CGLWindow::BuildSwitches(QWidget* body) {
  auto* switches = new QHBoxLayout;
  save_ = MakeButton(body, "save", QCoreApplication::translate("pelmora::CGLWindow", "Zapisz"), QCoreApplication::translate("pelmora::CGLWindow", "Zapisz do pliku"), false);
  axes_ = MakeButton(body, "axes", QCoreApplication::translate("pelmora::CGLWindow", "Osie"), QCoreApplication::translate("pelmora::CGLWindow", "Pokaż/Ukryj osie"), true);
  shape_ = MakeButton(body, "cell", QCoreApplication::translate("pelmora::CGLWindow", "Komórka"), QCoreApplication::translate("pelmora::CGLWindow", "Pokaż/Ukryj kształt komórki"), true);
  images_ = MakeButton(body, "images", QCoreApplication::translate("pelmora::CGLWindow", "Brzegi"),
                       QCoreApplication::translate("pelmora::CGLWindow", "Pokaż/Ukryj atomy na brzegach komórki"), true);
  shape_->setChecked(true);
  switches->addWidget(save_);
  switches->addSpacing(6);
  for (QToolButton* b : {axes_, shape_, images_}) {
    switches->addWidget(b);
    connect(b, &QToolButton::toggled, this, &CGLWindow::Redraw);
  }
  switches->addSpacing(6);
  const char* modeTexts[3] = {"XY", "XZ", "YZ"};
  const char* modeIcons[3] = {"mode-xy", "mode-xz", "mode-yz"};
  const char* modeTips[3] = {QT_TRANSLATE_NOOP("pelmora::CGLWindow", "Obrót wokół osi X i Y"), QT_TRANSLATE_NOOP("pelmora::CGLWindow", "Obrót wokół osi X i Z"), QT_TRANSLATE_NOOP("pelmora::CGLWindow", "Obrót wokół osi Y i Z")};
  for (int m = 0; m < 3; ++m) {
    modes_[m] = MakeButton(body, modeIcons[m], QLatin1String(modeTexts[m]), tr(modeTips[m]), true);
    switches->addWidget(modes_[m]);
    connect(modes_[m], &QToolButton::clicked, this, [this, m] {
      mode_ = m;
      for (int k = 0; k < 3; ++k) modes_[k]->setChecked(k == mode_);
    });
  }
  modes_[0]->setChecked(true);
  switches->addStretch();
  return switches;
}

QLayout* CGLWindow::BuildHoldButtons(QWidget* body, std::vector<CTimerButton*>& timerButtons) {
  auto* holds = new QHBoxLayout;
  struct Hold {
    int command;
    const char* icon;
    const char* tip;
  };
  // In the order of their timers: turn about X, Y, Z; left, right; up, down; nearer, farther.
  const Hold holdButtons[] = {
      {viewcmd::kTurnX, "turn-x", QT_TRANSLATE_NOOP("pelmora::CGLWindow", "Obracaj wokół osi X")},
      {viewcmd::kTurnY, "turn-y", QT_TRANSLATE_NOOP("pelmora::CGLWindow", "Obracaj wokół osi Y")},
      {viewcmd::kTurnZ, "turn-z", QT_TRANSLATE_NOOP("pelmora::CGLWindow", "Obracaj wokół osi Z")},
      {viewcmd::kMoveLeft, "left", QT_TRANSLATE_NOOP("pelmora::CGLWindow", "Przesuń w lewo")},
      {viewcmd::kMoveRight, "right", QT_TRANSLATE_NOOP("pelmora::CGLWindow", "Przesuń w prawo")},
      {viewcmd::kMoveUp, "up", QT_TRANSLATE_NOOP("pelmora::CGLWindow", "Przesuń w górę")},
      {viewcmd::kMoveDown, "down", QT_TRANSLATE_NOOP("pelmora::CGLWindow", "Przesuń w dół")},
      {viewcmd::kNearer, "nearer", QT_TRANSLATE_NOOP("pelmora::CGLWindow", "Przybliż")},
      {viewcmd::kFarther, "farther", QT_TRANSLATE_NOOP("pelmora::CGLWindow", "Oddal")},
  };
  for (const Hold& h : holdButtons) {
    auto* b = new CTimerButton(h.command, body);
    b->setIcon(PanelIcon(h.icon));
    b->setIconSize(kButtonIcon);
    b->setText(tr(h.tip));
    b->setAccessibleName(tr(h.tip));
    b->setToolTip(tr(h.tip));
    b->setObjectName(QStringLiteral("hold%1").arg(h.command));
    holds->addWidget(b);
    timerButtons.push_back(b);
  }
  holds->addStretch();
  return holds;
}

// The view, or where no OpenGL context can be had a placeholder and the
// hold-to-repeat buttons disabled.
void CGLWindow::AddView(QWidget* body, QBoxLayout* box, const std::vector<CTimerButton*>& timerButtons) {
  if (OpenGLAvailable()) {
    ViewInputs in;
    in.document = [this]() -> const CKomorka* { return doc_; };
    in.options = [this] { return options(); };
    in.mode = [this] { return mode_; };
    in.detail = [this] { return glDetail_; };
    view_ = new CMyWnd(std::move(in), body);
    view_->setMinimumSize(260, 220);
    box->addWidget(view_, 3);
    for (CTimerButton* b : timerButtons) connect(b, &CTimerButton::command, view_, &CMyWnd::Command);
  } else {
    // No OpenGL here: the panel goes on without its view.
    placeholder_ = new QLabel(QCoreApplication::translate("pelmora::CGLWindow", "Nie stworzono okna"), body);
    placeholder_->setAlignment(Qt::AlignCenter);
    placeholder_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    placeholder_->setMinimumSize(260, 220);
    box->addWidget(placeholder_, 3);
    for (CTimerButton* b : timerButtons) b->setEnabled(false);
  }
}

QLayout* CGLWindow::BuildEdges(QWidget* body) {
  auto* edges = new QHBoxLayout;
  edges->addWidget(new QLabel(QCoreApplication::translate("pelmora::CGLWindow", "Krawędzie:"), body));
  slider_ = new QSlider(Qt::Horizontal, body);
  slider_->setRange(0, 100);
  slider_->setToolTip(QCoreApplication::translate("pelmora::CGLWindow", "Grubość krawędzi komórki"));
  field_ = new NumberEdit(body);
  field_->setMaximumWidth(48);
  field_->setToolTip(QCoreApplication::translate("pelmora::CGLWindow", "Grubość krawędzi komórki (0–100)"));
  colorBox_ = new CColorBox(body);
  colorBox_->setToolTip(QCoreApplication::translate("pelmora::CGLWindow", "Kolor krawędzi komórki"));
  edges->addWidget(slider_, 1);
  edges->addWidget(field_);
  edges->addWidget(colorBox_);
  connect(slider_, &QSlider::valueChanged, this, &CGLWindow::SetThickness);
  // Every whole number 0..100 typed moves the slider at once; text that is
  // no number is refused when the field is left.
  connect(field_, &QLineEdit::textEdited, this, [this] {
    const std::optional<double> v = field_->value();
    if (v && *v == std::floor(*v) && *v >= 0 && *v <= 100) SetThickness(static_cast<int>(*v));
  });
  connect(field_, &QLineEdit::editingFinished, this, [this] {
    double v = 0;
    if (doc_ && field_->TakeNumber(&v)) field_->setNumber(edges_[doc_].scale, "%.0f");
  });
  connect(colorBox_, &CColorBox::colorChosen, this, [this] {
    emit documentEdited();
    Redraw();
  });
  return edges;
}

QAbstractButton* CGLWindow::switchButton(int id) const {
  switch (id) {
    case panelid::kSave: return save_;
    case panelid::kAxes: return axes_;
    case panelid::kCellShape: return shape_;
    case panelid::kImages: return images_;
    case panelid::kModeXY: return modes_[0];
    case panelid::kModeXZ: return modes_[1];
    case panelid::kModeYZ: return modes_[2];
    default: return nullptr;
  }
}

SceneOptions CGLWindow::options() const {
  SceneOptions o;
  o.axes = axes_->isChecked();
  o.cellShape = shape_->isChecked();
  o.images = images_->isChecked();
  if (const auto it = edges_.find(doc_); it != edges_.end()) o.edges = it->second;
  return o;
}

void CGLWindow::Redraw() {
  if (view_) view_->update();
}

void CGLWindow::BindDocument(CKomorka* doc, bool force) {
  if (!doc) {
    doc_ = nullptr;
    Clear();
    Redraw();
    return;
  }
  if (doc == doc_ && !force) return;
  doc_ = doc;
  Refresh();
}

void CGLWindow::ForgetDocument(const CKomorka* doc) {
  if (doc == doc_) BindDocument(nullptr);
  edges_.erase(doc);
}

void CGLWindow::Clear() {
  colorBox_->Bind(nullptr);
  const QSignalBlocker b1(field_), b2(slider_);
  field_->clear();
  field_->setEnabled(false);
  atoms_.clear();
  list_->Fill(atoms_);
  slider_->setEnabled(false);
  save_->setEnabled(false);
}

void CGLWindow::Refresh() {
  slider_->setEnabled(true);
  save_->setEnabled(true);
  field_->setEnabled(true);
  CellEdges& edges = edges_[doc_];
  colorBox_->Bind(&edges.color);
  {
    const QSignalBlocker b1(field_), b2(slider_);
    slider_->setValue(edges.scale);
    field_->setNumber(edges.scale, "%.0f");
  }
  doc_->crystal.CopyStructureAtoms(atoms_);
  list_->Fill(atoms_);
  Redraw();
}

void CGLWindow::SetThickness(int value) {
  if (!doc_) return;
  {
    const QSignalBlocker b1(field_), b2(slider_);
    slider_->setValue(value);
    if (field_->value() != static_cast<double>(value)) field_->setNumber(value, "%.0f");
  }
  if (int& scale = edges_[doc_].scale; scale != value) {
    scale = value;
    emit documentEdited();
  }
  Redraw();
}

void CGLWindow::ApplyAtom(int row) {
  if (!doc_ || row < 0 || static_cast<size_t>(row) >= atoms_.size()) return;
  doc_->crystal.UpdateAtomDisplay(atoms_[static_cast<size_t>(row)]);
  list_->RefreshRow(row);
  emit documentEdited();
  Redraw();
}

void CGLWindow::ToggleLabel(int row) {
  if (row < 0 || static_cast<size_t>(row) >= atoms_.size()) return;
  AtomSite& at = atoms_[static_cast<size_t>(row)];
  at.visible = at.visible == 1 ? 0 : 1;
  ApplyAtom(row);
}

void CGLWindow::SetAtomColor(int row, std::uint32_t color) {
  if (row < 0 || static_cast<size_t>(row) >= atoms_.size()) return;
  atoms_[static_cast<size_t>(row)].color = color;
  ApplyAtom(row);
}

void CGLWindow::SetAtomRadius(int row, int radius) {
  if (row < 0 || static_cast<size_t>(row) >= atoms_.size() || radius < 0 || radius > 100) return;
  atoms_[static_cast<size_t>(row)].radius = radius;
  ApplyAtom(row);
}

void CGLWindow::OnListClicked(int row, int column) {
  if (row < 0 || static_cast<size_t>(row) >= atoms_.size()) return;
  switch (column) {
    case kLabel:
      ToggleLabel(row);
      break;
    case kColor: {
      const QColor c = QColorDialog::getColor(FromBgr(atoms_[static_cast<size_t>(row)].color), this,
                                              QCoreApplication::translate("pelmora::CGLWindow", "Kolor"));
      if (c.isValid()) SetAtomColor(row, ToBgr(c));
      break;
    }
    case kRadius:
      list_->OpenRadiusField(row, atoms_[static_cast<size_t>(row)].radius);
      break;
    default:
      break;
  }
}

void CGLWindow::SaveImage() {
  if (!doc_) return;
  FormatChoices choices = ChoicesOf(formats_);
  CGLSaveDialog dlg(this, choices.labels, choices.patterns, std::move(choices.modules));
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return;
  const ImageSize size = ImageSizeOf(dlg.sizeIndex);
  const int type = std::clamp(dlg.typeIndex, 0, static_cast<int>(formats_.size()) - 1);
  // The dialog has added the chosen format's extension to a bare name.
  const std::string typed = QFile::encodeName(dlg.selectedFiles().first()).toStdString();
  const QString path =
      QFile::decodeName(QByteArray::fromStdString(ImageFileName(typed, formats_[static_cast<size_t>(type)])));
  if (!SaveImageTo(path, type, size.width, size.height))
    QMessageBox::critical(this, QCoreApplication::translate("pelmora::CGLWindow", "Błąd"), QCoreApplication::translate("pelmora::CGLWindow", "Nie zapisano obrazka %1.").arg(path));
}

bool CGLWindow::SaveImageTo(const QString& path, int formatIndex, int width, int height) {
  if (!doc_ || !view_ || formatIndex < 0 || static_cast<size_t>(formatIndex) >= formats_.size()) return false;
  std::vector<std::uint8_t> pixels = view_->RenderImage(width, height);
  if (pixels.empty()) return false;
  SwapRedBlue(pixels);
  const bool ok = pelmora::SaveImage(formats_[static_cast<size_t>(formatIndex)], QFile::encodeName(path).toStdString(),
                                     width, height, pixels);
  Redraw();
  return ok;
}

}  // namespace pelmora
