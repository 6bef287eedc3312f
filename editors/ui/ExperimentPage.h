// "Parametry eksperymentu": the radiation source, the instrument set, the
// angular range and the sample and diffractometer values of the active
// document, edited in place, and the buttons that make them the defaults of
// new documents.
#pragma once

#include <QDialog>
#include <QPointer>
#include <array>
#include <map>

#include "documents/ui/KomorkaDocument.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class QLabel;
class QLineEdit;
class QToolButton;

namespace pelmora {

class NumberEdit;
struct CSettings;
class KomorkaDocument;
class NotificationHub;
class ReferenceData;
class SettingsStore;
struct ExperimentParams;

class CTabPage2 : public QDialog {
  Q_OBJECT
 public:
  // The number fields, in the order of the page.
  enum Edit { kAngleMin, kAngleMax, kGrainSize, kAbsorption, kSampleVolume, kDwFactor, kDetSlit, kBeamArea,
              kMeasureSpeed, kDifRadius, kSolventK, kSolventB, kEditCount };
  // The read-only texts.
  enum Text { kSourceName, kRadiation, kLambda1, kLambda2, kRatio, kEnergy1, kEnergy2, kWaveNumber1, kWaveNumber2,
              kAparatName, kU, kV, kW, kX, kY, kTextCount };
  // The "Ustaw jako domyślne" buttons.
  enum Default { kDefaultRange, kDefaultSource, kDefaultApparatus, kDefaultDiffractometer, kDefaultSample,
                 kDefaultCount };

  CTabPage2(ReferenceData& reference, CSettings& settings, SettingsStore& store, NotificationHub& hub,
            QWidget* parent = nullptr);

  // Follows the active document: joins its own source and instrument set to
  // the lists, selects its entries and shows its values; without a
  // document every control is disabled.
  void Bind(KomorkaDocument* doc);
  // Reads every field into the document (range rules applied). False, with
  // the field's refusal shown, when a field holds no number; then nothing
  // is written. Quietly, such a field keeps the document's value.
  bool ReadFields(bool quiet = false);
  // Shows the document's values in every control.
  void ShowValues();

  KomorkaDocument* document() const { return doc_; }
  QComboBox* sources() const { return sources_; }
  QComboBox* apparatus() const { return apparatus_; }
  NumberEdit* edit(Edit e) const { return edits_[e]; }
  QLineEdit* text(Text t) const { return texts_[t]; }
  QCheckBox* dwBox() const { return dw_; }
  QCheckBox* solventBox() const { return solvent_; }
  QToolButton* defaultButton(Default d) const { return defaults_[d]; }
  // "Edytuj" beside the source list (true) or the instrument list.
  QPushButton* editButton(bool sources) const { return sources ? editSources_ : editApparatus_; }
  QPushButton* okButton() const { return ok_; }
  // The unit beside the energy of the first (0) or second line.
  QLabel* energyUnit(int line) const { return energyUnits_[static_cast<std::size_t>(line)]; }
  // The message of the values a calculation would refuse, empty when none.
  QString refusalText() const;

 signals:
  // The user's choice (in the list or through the source editor) changed
  // the document's first wavelength or radiation; the ones left are given.
  void sourceChanged(pelmora::KomorkaDocument* doc, double previousLambda1, int previousRadiation);

 private:
  QWidget* BuildRadiationGroup();
  QWidget* BuildApparatusGroup();
  QWidget* BuildRangeGroup();
  QWidget* BuildSampleGroup();
  QWidget* BuildDiffractometerGroup();
  QToolButton* MakeDefaultButton(Default d);
  NumberEdit* MakeEdit(Edit e);
  QLineEdit* MakeText(Text t, int chars);

  void FillLists();
  // A change made elsewhere (a step undone or redone, a refinement applied):
  // the lists select the document's entries and the fields show its values;
  // nothing is applied.
  void OnParametersChanged(KomorkaDocument* doc);
  void ChooseSource(int index);
  void ChooseApparatus(int index);
  // A user's change: fields in, values shown again, the change announced.
  // False when a field held no number (it has said so) or nothing is bound.
  bool Commit();
  // "OK": hides the page unless a value is refused.
  void Accept();
  // Marks the document modified and announces a change, when there was one.
  void Announce(const ExperimentParams& before);
  void AnnounceSource(const ExperimentParams& before);
  void FlagRefusedValues();
  void SetDefaults(Default d);
  // Runs the reference editor of one list, then refills the list and applies
  // the entry at the index chosen before.
  void EditList(bool sources);

  // The rows of the two lists a document chose last: of several entries
  // alike, a document that is bound again comes back to its own.
  struct ChosenRows {
    int source = 0;
    int apparatus = 0;
  };
  ChosenRows& Chosen();

  ReferenceData& reference_;
  CSettings& settings_;
  SettingsStore& store_;
  QPointer<KomorkaDocument> doc_;
  std::map<const KomorkaDocument*, ChosenRows> chosen_;  // each open document's rows
  bool showing_ = false;     // true while the controls are being filled
  bool committing_ = false;  // true while fields are being read in
  QComboBox* sources_ = nullptr;
  QComboBox* apparatus_ = nullptr;
  QCheckBox* dw_ = nullptr;
  QCheckBox* solvent_ = nullptr;
  std::array<NumberEdit*, kEditCount> edits_{};
  std::array<QLineEdit*, kTextCount> texts_{};
  std::array<QToolButton*, kDefaultCount> defaults_{};
  QLabel* refusal_ = nullptr;
  QPushButton* editSources_ = nullptr;
  QPushButton* editApparatus_ = nullptr;
  QPushButton* ok_ = nullptr;
  std::array<QLabel*, 2> energyUnits_{};
};

}  // namespace pelmora
