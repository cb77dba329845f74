// A deliverable's host image: a shared object that exports only PeimEntryPoint. Each image is opened
// with its own copy of the libraries, so two images share nothing but the machine they run on.
#pragma once

#include <string>

#include "Pi/PiPeiCis.h"
#include "ZarnBase.h"

namespace zarn::host {

class Machine;

class Image {
 public:
  // Opens the shared object (RTLD_NOW | RTLD_LOCAL). Throws std::runtime_error when it cannot be loaded or
  // does not export PeimEntryPoint. The name is the file name without folder and extension ("Dramatlas").
  explicit Image(const std::string &path);
  ~Image();
  Image(Image &&other) noexcept;
  Image &operator=(Image &&) = delete;
  Image(const Image &) = delete;

  const std::string &name() const { return name_; }
  const std::string &path() const { return path_; }

  // Makes `machine` current, calls PeimEntryPoint(file handle, the foundation's services pointer) with
  // the image recorded as the running module, records the entry's status on the machine and returns it.
  // PPIs the image installs point into it: keep the image loaded while the machine is inspected.
  EFI_STATUS dispatch(Machine &machine);

 private:
  using Entry = EFI_STATUS(EFIAPI *)(EFI_PEI_FILE_HANDLE, const EFI_PEI_SERVICES **);
  std::string path_;
  std::string name_;
  void *handle_ = nullptr;
  Entry entry_ = nullptr;
};

}  // namespace zarn::host
