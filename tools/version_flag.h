#pragma once
// `--version` for the command-line tools: "TOOL VERSION" on stdout, exit 0.

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include <cstdlib>
#include <string>

inline void AddVersionFlag(CLI::App& app, std::string tool) {
  app.add_flag_callback(
      "--version",
      [tool] {
        fmt::print("{} {}\n", tool, PELMORA_VERSION);
        std::exit(0);
      },
      "Print the version and exit");
}
