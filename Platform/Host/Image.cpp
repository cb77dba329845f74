#include "Platform/Host/Image.h"

#include <dlfcn.h>

#include <stdexcept>

#include "Platform/Host/Machine.h"

namespace zarn::host {

Image::Image(const std::string &path) : path_(path) {
  const size_t slash = path.find_last_of('/');
  name_ = path.substr(slash == std::string::npos ? 0 : slash + 1);
  if (const size_t dot = name_.find('.'); dot != std::string::npos) name_.resize(dot);
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) throw std::runtime_error("cannot load image " + path + ": " + dlerror());
  entry_ = reinterpret_cast<Entry>(dlsym(handle_, "PeimEntryPoint"));
  if (!entry_) {
    dlclose(handle_);
    throw std::runtime_error("image " + path + " does not export PeimEntryPoint");
  }
}

Image::~Image() {
  if (handle_) dlclose(handle_);
}

Image::Image(Image &&other) noexcept
    : path_(std::move(other.path_)), name_(std::move(other.name_)), handle_(other.handle_), entry_(other.entry_) {
  other.handle_ = nullptr;
  other.entry_ = nullptr;
}

EFI_STATUS Image::dispatch(Machine &machine) {
  if (!entry_) throw std::logic_error("dispatch of an image that was moved from");
  machine.makeCurrent();
  machine.pei.setRunningModule(name_);
  // A device model that throws leaves through here: the image is no longer running.
  struct Running {
    Machine &m;
    ~Running() { m.pei.setRunningModule(""); }
  } running{machine};
  // The file handle only has to be distinct per image; the deliverables never use it.
  const EFI_STATUS status = entry_(static_cast<EFI_PEI_FILE_HANDLE>(this), machine.pei.servicesPointer());
  machine.recordDispatch(name_, status);
  return status;
}

}  // namespace zarn::host
