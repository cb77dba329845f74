// `zarn qemu`: the same boot as `zarn boot`, on an emulated PC with the IA32 images executed in place from
// flash, and the same report.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace zarn::tool {

struct QemuCommandOptions {
  std::string scenario;
  bool json = false;
  bool selfTest = false;
  bool figures = false;  // print only the IA32 figures
  std::string images;  // IA32 image folder (default: $ZARN_IA32_IMAGE_DIR, else the ia32 build's)
  std::string keep;    // keep the flash image and the captures in this folder
  double timeout = 30;
};

CLI::App *addQemuCommand(CLI::App &app, QemuCommandOptions &options);
int qemuCommand(const QemuCommandOptions &options);

}  // namespace zarn::tool
