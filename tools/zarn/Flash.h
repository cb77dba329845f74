// `zarn flash build` and `zarn flash show`.
#pragma once

#include <string>

namespace zarn::tool {

int flashBuildCommand(const std::string &descriptionPath, const std::string &imagePath);
int flashShowCommand(const std::string &imagePath, bool json);

}  // namespace zarn::tool
