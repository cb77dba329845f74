// Running qemu-system-i386 on a composed flash image.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "Library/ZarnKovProcessorLines.h"
#include "Platform/Ia32/Boot/BootProtocol.h"
#include "tools/qemu/EmulatorBoot.h"

namespace zarn::qemu {

namespace {

std::string readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string &path, const builders::Bytes &bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error(path + ": cannot write");
}

// The last lines of a log, for an error message.
std::string tail(const std::string &text, size_t lines) {
  std::vector<std::string> all;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) all.push_back(line);
  std::string out;
  for (size_t n = all.size() > lines ? all.size() - lines : 0; n < all.size(); ++n) out += all[n] + "\n";
  return out;
}

// QEMU's family and model properties for a leaf 0x80000001 signature: families above 15 are written as
// base family 0xF plus the extended family; the model's high nibble is the extended model.
std::pair<unsigned, unsigned> familyAndModel(uint32_t signature) {
  if ((signature & ~ProcessorSignatureMask) != 0)
    throw Unsupported("CPUID signature has bits outside 0x0FFF0F00");
  const unsigned baseFamily = (signature >> 8) & 0xF;
  const unsigned extendedModel = (signature >> 16) & 0xF;
  const unsigned extendedFamily = (signature >> 20) & 0xFF;
  if (baseFamily != 0xF && extendedFamily != 0)
    throw Unsupported("the emulator cannot show an extended family with a base family other than 0xF");
  return {baseFamily == 0xF ? 0xF + extendedFamily : baseFamily, extendedModel << 4};
}

struct Exit {
  bool timedOut = false;
  int status = -1;  // exit status, or -1 when killed by a signal
};

Exit run(const std::vector<std::string> &command, const std::string &logPath, double timeoutSeconds) {
  std::vector<char *> argv;
  for (const std::string &a : command) argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error(std::string("cannot start the emulator: ") + std::strerror(errno));
  if (pid == 0) {
    const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int null = open("/dev/null", O_RDONLY);
    if (log >= 0) {
      dup2(log, STDOUT_FILENO);
      dup2(log, STDERR_FILENO);
    }
    if (null >= 0) dup2(null, STDIN_FILENO);
    execvp(argv[0], argv.data());
    std::fprintf(stderr, "cannot run %s: %s\n", argv[0], std::strerror(errno));
    _exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
  Exit e;
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      e.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      return e;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      e.timedOut = true;
      return e;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

class WorkDir {
 public:
  explicit WorkDir(const std::string &keep) : keep_(!keep.empty()) {
    if (keep_) {
      path_ = keep;
      std::filesystem::create_directories(path_);
      return;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "zarn-qemu-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder for the emulator");
    path_ = pattern;
  }
  ~WorkDir() {
    if (!keep_) {
      std::error_code ignored;
      std::filesystem::remove_all(path_, ignored);
    }
  }
  WorkDir(const WorkDir &) = delete;
  WorkDir &operator=(const WorkDir &) = delete;
  std::string file(const std::string &name) const { return path_ + "/" + name; }

 private:
  std::string path_;
  bool keep_;
};

}  // namespace

std::string defaultImageDir() {
  if (const char *env = std::getenv("ZARN_IA32_IMAGE_DIR"); env && *env) return env;
  return ZARN_IA32_IMAGE_DIR;
}

std::vector<std::string> emulatorCommand(const Platform &p, const RunOptions &o, const Layout &layout,
                                         const std::string &flashPath, const std::string &com1Path,
                                         const std::string &com2Path, const std::string &consolePath) {
  const auto [family, model] = familyAndModel(p.cpuSignature);
  char port[16];
  std::vector<std::string> c = {o.emulator, "-machine", "pc", "-accel", "tcg", "-nodefaults", "-display", "none",
                                "-monitor", "none", "-no-reboot", "-m", std::to_string(layout.ramMiB),
                                "-cpu", "qemu32,family=" + std::to_string(family) + ",model=" + std::to_string(model) +
                                            ",stepping=0",
                                "-bios", flashPath};
  // An absent UART gets no device: its ports read all ones. COM2 keeps its index (and 0x2F8) when COM1 is
  // absent.
  const bool com2 = p.uarts[1].present;
  if (p.uarts[0].present) {
    c.insert(c.end(), {"-serial", "file:" + com1Path});
  } else if (com2) {
    c.insert(c.end(), {"-serial", "none"});
  }
  if (com2) c.insert(c.end(), {"-serial", "file:" + com2Path});
  std::snprintf(port, sizeof port, "0x%x", BootDebugConsolePort);
  c.insert(c.end(), {"-chardev", "file,id=zarncon,path=" + consolePath, "-device",
                     std::string("isa-debugcon,iobase=") + port + ",chardev=zarncon"});
  std::snprintf(port, sizeof port, "0x%x", BootExitPort);
  c.insert(c.end(), {"-device", std::string("isa-debug-exit,iobase=") + port + ",iosize=0x01"});
  return c;
}

Result boot(const Platform &p, const RunOptions &o) {
  return runFlash(composeFlash(p, o.imageDir.empty() ? defaultImageDir() : o.imageDir), p, o);
}

Result runFlash(const Flash &flash, const Platform &p, const RunOptions &o) {
  const WorkDir dir(o.keepDir);
  const std::string flashPath = dir.file("flash.bin"), com1 = dir.file("com1.bin"), com2 = dir.file("com2.bin"),
                    console = dir.file("debugcon.log"), log = dir.file("emulator.log");
  writeFile(flashPath, flash.image);
  for (const std::string &f : {com1, com2, console}) writeFile(f, {});
  const std::vector<std::string> command = emulatorCommand(p, o, flash.layout, flashPath, com1, com2, console);
  const Exit e = run(command, log, o.timeoutSeconds);
  const std::string consoleText = readFile(console);
  if (e.timedOut)
    throw std::runtime_error("the emulator did not finish within " + std::to_string(int(o.timeoutSeconds)) +
                             " s; last debug console lines:\n" + tail(consoleText, 5));
  if (e.status == 127 || (consoleText.empty() && e.status != 1 && e.status != 3))
    throw std::runtime_error("the emulator did not run (exit status " + std::to_string(e.status) + "): " +
                             tail(readFile(log), 5));
  Result r = parseConsole(consoleText, p);
  r.com1 = readFile(com1);
  r.com2 = readFile(com2);
  r.commandLine = command;
  r.layout = flash.layout;
  return r;
}

}  // namespace zarn::qemu
