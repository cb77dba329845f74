// zarn: boots the two deliverable images on a simulated platform and shows what they left behind.
#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Platform/Host/Machine.h"
#include "tools/zarn/Json.h"
#include "tools/zarn/Names.h"

namespace {

std::string imageDir(const std::string &option) {
  if (!option.empty()) return option;
  if (const char *env = std::getenv("ZARN_IMAGE_DIR"); env && *env) return env;
  return ZARN_IMAGE_DIR;
}

int boot(const std::string &images) {
  zarn::host::Machine machine;
  machine.makeCurrent();
  const std::vector<std::string> paths = {images + "/Dramatlas.so", images + "/Quilkeep.so"};
  for (const auto &p : paths)
    if (!std::filesystem::exists(p)) throw zarn::tool::BadInput(fmt::format("{}: image not found", p));
  machine.dispatchAll(paths);
  for (const auto &d : machine.dispatches()) {
    fmt::print("{}\n", d.module);
    for (const auto &c : machine.constructors())
      if (c.module == d.module) fmt::print("  constructor {:<28} {}\n", c.constructor, zarn::tool::statusName(c.status));
    fmt::print("  entry       {:<28} {}\n", "", zarn::tool::statusName(d.status));
  }
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  CLI::App app{"zarn: boot the Dramatlas and Quilkeep images on a simulated platform"};
  app.require_subcommand(1);
  std::string images;
  app.add_option("--images", images, "Folder holding Dramatlas.so and Quilkeep.so (default: $ZARN_IMAGE_DIR, "
                                     "else the build tree's images folder)");
  CLI::App *bootCmd = app.add_subcommand("boot", "Boot both modules on a platform and report what they left behind");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError &e) {
    return app.exit(e) == 0 ? 0 : 2;
  }
  try {
    if (*bootCmd) return boot(imageDir(images));
  } catch (const zarn::tool::BadInput &e) {
    fmt::print(stderr, "zarn: {}\n", e.what());
    return 2;
  } catch (const std::exception &e) {
    fmt::print(stderr, "zarn: {}\n", e.what());
    return 1;
  }
  return 0;
}
