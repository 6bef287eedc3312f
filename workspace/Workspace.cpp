#include "workspace/Workspace.h"

#include "settings/Paths.h"

namespace pelmora {

const ElementTable& ScatteringTables::Elements(std::vector<std::string>* messages) {
  std::call_once(once_, [this, messages] {
    ReferenceData files;
    files.dataDir = dataDir_;
    files.userDir = userDir_;
    std::vector<std::string> left = files.LoadIonsAndIsotopes();
    if (messages) *messages = std::move(left);
    elements_ = std::move(files.elements);
  });
  return elements_;
}

Workspace::Workspace(const std::string& settingsFile)
    : store_(settingsFile.empty() ? std::make_unique<SettingsStore>() : std::make_unique<SettingsStore>(settingsFile)) {}

Workspace::~Workspace() = default;

void Workspace::LoadSettings() { pelmora::LoadSettings(*store_, settings); }

void Workspace::UseDataDir(const std::string& namedFolder) {
  if (namedFolder.empty()) reference.UseDataDirSetting(settings.DataDir, programDir);
  else reference.dataDir = ResolveFolder(namedFolder, programDir);
  lazyTables_ = std::make_shared<ScatteringTables>(reference.dataDir, reference.userDir);
}

std::vector<std::string> Workspace::LoadScatteringTables() {
  scatteringLoaded_ = true;
  return reference.LoadScatteringTables();
}

std::vector<std::string> Workspace::LoadSourceTables() {
  return reference.LoadSourceTables(settings.CurrentSource(), settings.CurrentApparatus());
}

std::string Workspace::ScanPlugins(const std::string& namedFolder) {
  // A folder named for the run is the user's own choice; the settings'
  // folder is looked for beside the program only.
  const std::string dir = namedFolder.empty() ? ResolvePluginsFolder(settings.PluginsDir, programDir) : namedFolder;
  std::string error = pelmora::ScanPlugins(dir, plugins_);
  formats_ = BuildChartFormats(plugins_);
  profiles_ = BuildProfileList(plugins_);
  return error;
}

bool Workspace::SaveSettings() {
  const bool ok = pelmora::SaveSettings(*store_, settings);
  return store_->Sync() && ok;
}

const ElementTable& Workspace::Elements(std::vector<std::string>* messages) {
  if (scatteringLoaded_ || !lazyTables_) return reference.elements;
  return lazyTables_->Elements(messages);
}

SynthesisSetup Workspace::SetupFor(int profileId, std::vector<PseudoVoigtInfo>* info) const {
  SynthesisSetup setup;
  setup.profile = profileId;
  setup.plugins = &plugins_;
  setup.options = SynthesisOptionsOf(settings);
  setup.pseudoVoigtInfo = info;
  return setup;
}

SynthesisOptions SynthesisOptionsOf(const CSettings& settings) {
  SynthesisOptions o;
  o.dthMargin = settings.dthMargin;
  o.dthMF = settings.dthMF;
  o.useTHMF = settings.useTHMF != 0;
  return o;
}

}  // namespace pelmora
