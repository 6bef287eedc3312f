// The subcommands of pelmora-cli; each is a thin layer over the core.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>

namespace pelmora::cli {

// Registers a subcommand; the returned function runs it and gives the exit
// status.
using Runner = std::function<int()>;
Runner AddCalcCommand(CLI::App& app);
Runner AddConvertCommand(CLI::App& app);
Runner AddPluginsCommand(CLI::App& app);
Runner AddFitCommand(CLI::App& app);

}  // namespace pelmora::cli
