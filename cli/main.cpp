// pelmora-cli: the calculations of Pelmora from the command line.
#include <CLI/CLI.hpp>

#include <malloc.h>

#include <algorithm>
#include <clocale>
#include <map>
#include <string>
#include <thread>

#include "cli/Commands.h"
#include "cli/Texts.h"
#include "engine/LargeArrays.h"

int main(int argc, char** argv) {
  // A large cell's lists (megabytes each) are made and dropped one after
  // another; a fixed threshold gives each dropped one straight back to the
  // system, where glibc's adaptive one would keep it in the heap and add it
  // to the peak memory.
  mallopt(M_MMAP_THRESHOLD, 256 * 1024);
  // With that, a run's large buffers can hand their pages on to its next ones.
  static_assert(256 * 1024 <= pelmora::kKeptPagesFrom);
  pelmora::KeepPagesOfLargeBuffers();
  // A run starts and ends threads of its own for each stage; with as many
  // malloc arenas as cores they take over the arenas of those that ended
  // instead of each setting up one of its own.
  mallopt(M_ARENA_MAX, static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
  std::setlocale(LC_ALL, "");  // messages may carry Polish letters
  // Numbers on the command line always take a decimal point: CLI11 converts
  // them with strtold, which a Polish LC_NUMERIC would make expect a comma.
  std::setlocale(LC_NUMERIC, "C");
  pelmora::cli::ChooseLanguage();
  CLI::App app{"Pelmora: powder diffraction patterns from crystal structures."};
  app.require_subcommand(1);
  std::map<std::string, pelmora::cli::Runner> runners;
  runners["calc"] = pelmora::cli::AddCalcCommand(app);
  runners["convert"] = pelmora::cli::AddConvertCommand(app);
  runners["plugins"] = pelmora::cli::AddPluginsCommand(app);
  runners["fit"] = pelmora::cli::AddFitCommand(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }
  for (CLI::App* sub : app.get_subcommands()) {
    const auto it = runners.find(sub->get_name());
    if (it != runners.end()) return it->second();
  }
  return 1;
}
