#include "tools/zarn/Flash.h"

#include <fmt/format.h>

#include <filesystem>
#include <fstream>

#include "tools/zarn/Json.h"
#include "tools/zarn/Scenario.h"

namespace zarn::tool {

int flashBuildCommand(const std::string &descriptionPath, const std::string &imagePath) {
  const Json desc = readJsonFile(descriptionPath);
  const std::string baseDir = std::filesystem::path(descriptionPath).parent_path().string();
  // "outputBlock" in a description stands for the default scenario's block.
  const Scenario defaults = scenarioFromJson(defaultScenarioJson(), "");
  builders::Bytes image;
  try {
    image = buildFlash(flashDescFromJson(desc, "", defaults.outputBlock, baseDir), "");
  } catch (const BadInput &e) {
    throw BadInput(fmt::format("{}: {}", descriptionPath, e.what()));
  }
  std::ofstream out(imagePath, std::ios::binary | std::ios::trunc);
  if (!out) throw BadInput(fmt::format("{}: cannot write", imagePath));
  out.write(reinterpret_cast<const char *>(image.data()), static_cast<std::streamsize>(image.size()));
  if (!out) throw BadInput(fmt::format("{}: cannot write", imagePath));
  fmt::print("{}: {} bytes\n", imagePath, image.size());
  return 0;
}

int flashShowCommand(const std::string &imagePath, bool json) {
  (void)imagePath;
  (void)json;
  return 0;
}

}  // namespace zarn::tool
