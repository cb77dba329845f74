// Boots the two IA32 images on an emulated PC (qemu-system-i386): turns a platform description into one
// flash image (the scenario's flash, the images and the boot foundation executed in place, and a blob of
// the platform data the foundation reads), runs the emulator with both serial ports and the debug console
// captured, and reads back what the guest dumped.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Platform/Host/Modules/MemoryInitModule.h"
#include "Platform/Host/PeiFoundation.h"
#include "ZarnBase.h"
#include "tools/builders/Bytes.h"

namespace zarn::qemu {

// A platform the emulator cannot be made to look like (the message says which value and why).
class Unsupported : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct UartSetup {
  bool present = true;
  std::optional<uint8_t> lineControl;
  std::optional<uint16_t> divisor;
  std::optional<uint8_t> fifoControl;
};

struct AccessorCall {
  unsigned slot = 0;
  std::vector<uint32_t> args;  // the slot's input arguments
};

struct Platform {
  uint32_t cpuSignature = 0;  // CPUID leaf 0x80000001 EAX AND 0x0FFF0F00
  uint64_t mm0 = 0;
  std::map<uint8_t, uint8_t> cmos;  // bytes below 0x80 other than the clock registers 0x00-0x0D
  std::array<UartSetup, 2> uarts;   // 0x3F8, 0x2F8
  bool debugPrintPpi = true;
  uint32_t revision = host::PeiFoundation::kDefaultRevision;
  std::vector<host::Fault> faults;
  bool memoryInfoPresent = true;
  host::MemoryInitConfig memoryInfo;
  bool outputBlockPresent = true;
  uint64_t outputBlockAddress = 0;
  builders::Bytes outputBlock;
  std::optional<uint32_t> outputBlockFlashOffset;  // image offset of the block's copy in `flash`, if any
  builders::Bytes flash;                            // the scenario's flash image, ending at 4 GiB
  std::vector<AccessorCall> accessorCalls;
  bool selfTest = false;
};

struct RunOptions {
  std::string imageDir;                  // Dramatlas.elf, Quilkeep.elf, ZarnBoot.elf
  std::string emulator = "qemu-system-i386";
  double timeoutSeconds = 30;
  std::string keepDir;                   // when set: flash image, captures and logs are written and kept here
};

struct Constructor {
  std::string name;
  EFI_STATUS status;
};

struct Module {
  std::string name;
  std::vector<Constructor> constructors;
  EFI_STATUS status = 0;
  uint32_t stackPeak = 0;  // bytes below the dispatcher's stack pointer, arguments and return address included
};

struct Message {
  std::string module;  // empty: none running
  uint64_t messageClass = 0;
  std::string text;    // as the print engine formatted it
  std::string format;
};

struct Hob {
  std::vector<uint8_t> bytes;  // the whole HOB, header included
  std::string creator;
};

struct Ppi {
  EFI_GUID guid;
  std::string installer;
};

struct AccessorResult {
  unsigned slot = 0;
  std::vector<uint32_t> args;
  EFI_STATUS status = 0;
  uint32_t stackPeak = 0;
  std::array<std::array<uint8_t, 8>, 2> outputs{};  // each out-parameter's 8 bytes, 0xA5 where untouched
  size_t firstMessage = 0, endMessage = 0;           // the messages the call produced: [first, end)
};

struct ServiceCount {
  std::string module;
  unsigned service = 0;  // host::Service numbering
  uint32_t calls = 0;
  uint32_t failed = 0;
};

struct UartState {
  uint8_t lineControl = 0;
  uint16_t divisor = 0;
  uint8_t interruptId = 0;
};

struct SelfTestResult {
  std::string check;
  bool passed = false;
  std::string detail;
};

struct FoundationReport {
  std::string source;
  uint32_t line = 0;
  std::string expression;
};

// Where things went in flash and RAM, for the report and the README's memory map.
struct Layout {
  std::vector<std::pair<std::string, std::pair<uint32_t, uint32_t>>> ranges;  // name, first and last address
  uint32_t blobAddress = 0;
  uint32_t blobSize = 0;
  uint32_t ramMiB = 0;
};

struct Result {
  std::vector<Module> modules;
  std::vector<Message> messages;
  std::string com1, com2;  // bytes each UART transmitted
  std::array<UartState, 2> uarts{};
  std::vector<Hob> hobs;
  std::vector<Ppi> ppis;
  bool accessorPpiFound = false;
  std::vector<AccessorResult> accessors;
  uint32_t breakpoints = 0;
  std::vector<ServiceCount> services;
  std::vector<SelfTestResult> selfTests;
  std::vector<FoundationReport> foundationReports;
  uint32_t cpuidLeaf1Ebx = 0;
  uint32_t cpuidExtendedEax = 0;
  std::vector<std::string> commandLine;
  Layout layout;
};

// The flash image of a boot: 16 MiB ending at 4 GiB. Throws Unsupported when the scenario's flash uses
// bytes the boot needs or the platform cannot be expressed.
struct Flash {
  builders::Bytes image;
  Layout layout;
};
Flash composeFlash(const Platform &platform, const std::string &imageDir);

// The emulator's command line for a composed flash written to `flashPath`.
std::vector<std::string> emulatorCommand(const Platform &platform, const RunOptions &options, const Layout &layout,
                                         const std::string &flashPath, const std::string &com1Path,
                                         const std::string &com2Path, const std::string &consolePath);

// Parses the debug console records into a result; throws std::runtime_error when the boot did not reach
// its end (an exception, a bad blob, or output that stops early).
Result parseConsole(const std::string &console, const Platform &platform);

// Runs the emulator on a composed flash image (composeFlash's, or one changed on purpose) and reads back
// the boot. Throws std::runtime_error as boot() does.
Result runFlash(const Flash &flash, const Platform &platform, const RunOptions &options);

// The whole boot. Throws Unsupported for a platform the emulator cannot show, std::runtime_error when
// the emulator cannot be run, times out or the boot does not reach its end.
Result boot(const Platform &platform, const RunOptions &options);

// The IA32 image folder this build was configured with (the ia32 preset's images folder).
std::string defaultImageDir();

}  // namespace zarn::qemu
