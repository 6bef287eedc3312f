// The "Info" panel: a read-only summary of the active document (cell type,
// atom count, radiation), its cell atoms with their scattering factors, and
// what lies under the mouse in the diffractogram.
#pragma once

#include <QDockWidget>
#include <QPointer>
#include <QTabWidget>
#include <QWidget>
#include <array>

class QLabel;
class QLineEdit;
class QTableWidget;

namespace pelmora {

class KomorkaDocument;
class NotificationHub;

// "Informacje": cell type, cell atom count, radiation, source and wavelengths.
class CPropPage1 : public QWidget {
  Q_OBJECT
 public:
  explicit CPropPage1(QWidget* parent = nullptr);
  void Refresh(const KomorkaDocument* doc);
  // The six values, in their order on the page.
  QString value(int i) const;
  // The note that the atoms' f' and f'' are another wavelength's; empty
  // when they are not.
  QString anomalNote() const;

 private:
  std::array<QLabel*, 6> values_{};
  QLabel* anomalNote_ = nullptr;
};

// "Atomy": the cell atoms, and the factors of the one selected.
class CPropPage2 : public QWidget {
  Q_OBJECT
 public:
  explicit CPropPage2(QWidget* parent = nullptr);
  void Refresh(const KomorkaDocument* doc);
  QTableWidget* list() const { return list_; }
  // The thirteen fields: name, s, a1..a4, b1..b4, c, f', f''.
  QLineEdit* field(int i) const { return fields_[static_cast<std::size_t>(i)]; }

 private:
  void ShowAtom(int row);
  QPointer<const KomorkaDocument> doc_;
  QTableWidget* list_;
  std::array<QLineEdit*, 13> fields_{};
};

// "Kursor": angle, intensity and the reflections of both lines under the
// chart's cursor, as the chart view reports them.
class CPropPage3 : public QWidget {
  Q_OBJECT
 public:
  explicit CPropPage3(QWidget* parent = nullptr);
  void Show(const QString& angle, const QString& intensity, const QString& ka1, const QString& ka2);
  QLineEdit* field(int i) const { return fields_[static_cast<std::size_t>(i)]; }

 private:
  std::array<QLineEdit*, 4> fields_{};
};

class CProp : public QTabWidget {
  Q_OBJECT
 public:
  explicit CProp(QWidget* parent = nullptr);
  CPropPage1* info() const { return info_; }
  CPropPage2* atoms() const { return atoms_; }
  CPropPage3* cursor() const { return cursor_; }

 private:
  CPropPage1* info_;
  CPropPage2* atoms_;
  CPropPage3* cursor_;
};

// The floating panel itself; it follows the active document through the hub
// and never edits it.
class CPropBar : public QDockWidget {
  Q_OBJECT
 public:
  CPropBar(NotificationHub& hub, QWidget* parent = nullptr);
  CProp* sheet() const { return sheet_; }
  void Bind(KomorkaDocument* doc);

 private:
  QPointer<KomorkaDocument> doc_;
  CProp* sheet_;
};

}  // namespace pelmora
