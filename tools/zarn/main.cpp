// zarn: boots the two deliverable images on a simulated platform and shows what they left behind; builds
// and shows flash images. Bad input ends with one line on standard error and exit status 2, before any
// report is written.
#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "tools/zarn/Boot.h"
#include "tools/zarn/Flash.h"
#include "tools/zarn/Json.h"
#include "tools/zarn/QemuCommand.h"
#include "tools/zarn/Report.h"
#include "tools/zarn/Scenario.h"

namespace zarn::tool {
namespace {

std::string imageDir(const std::string &option) {
  if (!option.empty()) return option;
  if (const char *env = std::getenv("ZARN_IMAGE_DIR"); env && *env) return env;
  return ZARN_IMAGE_DIR;
}

void writeFile(const std::string &path, const std::string &bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw BadInput(fmt::format("{}: cannot write", path));
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw BadInput(fmt::format("{}: cannot write", path));
}

int boot(const std::string &scenarioPath, bool json, const std::string &svgPath, const std::string &images) {
  const Scenario scenario = loadScenario(scenarioPath);
  const BootResult result = runBoot(scenario, imageDir(images));
  const std::string source = scenarioPath.empty() ? "built-in default scenario" : scenarioPath;
  // Everything is produced before anything is written, so a failure leaves no partial report.
  const std::string report = json ? jsonReport(result).dump(2) + "\n" : textReport(result, scenario, source);
  if (!svgPath.empty()) writeFile(svgPath, svgMemoryMap(memoryMapOf(result), "Memory map: " + source));
  fmt::print("{}", report);
  return 0;
}

}  // namespace
}  // namespace zarn::tool

int main(int argc, char **argv) {
  using namespace zarn::tool;
  CLI::App app{"zarn: boot the Dramatlas and Quilkeep images on a simulated platform and show what they left "
               "behind; build and inspect flash images."};
  app.name("zarn");
  app.require_subcommand(1);
  std::string images;
  app.add_option("--images", images,
                 "Folder holding Dramatlas.so and Quilkeep.so (default: $ZARN_IMAGE_DIR, else the build tree's "
                 "images folder)");

  std::string scenarioPath, svgPath;
  bool json = false;
  CLI::App *bootCmd = app.add_subcommand(
      "boot",
      "Build a simulated machine from the built-in default scenario changed by SCENARIO.json, dispatch the "
      "Dramatlas and Quilkeep images, call every requested accessor slot, and report modules, messages, serial "
      "output, HOBs, PPIs, accessor results, breakpoints and port 0xE8 markers.");
  bootCmd->add_option("scenario", scenarioPath, "Scenario file (JSON); without it the built-in default is booted");
  bootCmd->add_flag("--json", json, "Write the report as JSON");
  bootCmd->add_option("--svg", svgPath, "Also draw the memory map HOB's ranges as SVG into FILE")->type_name("FILE");

  CLI::App *scenarioCmd = app.add_subcommand(
      "scenario", "Print the built-in default scenario (JSON), the starting point for a scenario file");

  CLI::App *flashCmd = app.add_subcommand("flash", "Build or show flash images");
  flashCmd->require_subcommand(1);
  std::string descPath, outPath;
  CLI::App *flashBuild = flashCmd->add_subcommand(
      "build", "Build a flash image from a description (JSON; the format of a scenario's \"flash\" key)");
  flashBuild->add_option("description", descPath, "Flash description file")->required();
  flashBuild->add_option("-o,--output", outPath, "Image file to write")->required()->type_name("IMAGE");
  std::string imagePath;
  bool showJson = false;
  CLI::App *flashShow = flashCmd->add_subcommand(
      "show",
      "Show an image's tables as the modules find them: for each processor line the probe that found the "
      "embedded firmware table, the directories, each checksum's verdict and every BIOS directory entry");
  flashShow->add_option("image", imagePath, "Flash image file")->required();
  flashShow->add_flag("--json", showJson, "Write the result as JSON");

  QemuCommandOptions qemuOptions;
  CLI::App *qemuCmd = addQemuCommand(app, qemuOptions);

  for (CLI::App *sub : {bootCmd, scenarioCmd, flashCmd, flashBuild, flashShow, qemuCmd}) sub->fallthrough();

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp &e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp &e) {
    return app.exit(e);
  } catch (const CLI::ParseError &e) {
    fmt::print(stderr, "zarn: {} (run zarn --help)\n", e.what());
    return 2;
  }

  try {
    if (*bootCmd) return boot(scenarioPath, json, svgPath, images);
    if (*scenarioCmd) {
      fmt::print("{}\n", defaultScenarioJson().dump(2));
      return 0;
    }
    if (*flashBuild) return flashBuildCommand(descPath, outPath);
    if (*flashShow) return flashShowCommand(imagePath, showJson);
    if (*qemuCmd) return qemuCommand(qemuOptions);
  } catch (const BadInput &e) {
    fmt::print(stderr, "zarn: {}\n", e.what());
    return 2;
  } catch (const std::exception &e) {
    fmt::print(stderr, "zarn: {}\n", e.what());
    return 1;
  }
  return 0;
}
