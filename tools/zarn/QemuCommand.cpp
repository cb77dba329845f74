#include "tools/zarn/QemuCommand.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstring>

#include "Platform/Host/PhysicalMemory.h"
#include "tools/qemu/EmulatorBoot.h"
#include "tools/zarn/Boot.h"
#include "tools/zarn/Json.h"
#include "tools/zarn/Names.h"
#include "tools/zarn/Report.h"
#include "tools/zarn/Scenario.h"

namespace zarn::tool {

namespace {

constexpr uint64_t kReservedBlockSize = 0x1000000;  // the DRAM the host gives the block, as `zarn boot` does
constexpr uint8_t kFirstCmosByte = 0x0E;            // 0x00-0x0D are the emulator's clock registers
constexpr uint16_t kCmosBytes = 0x80;               // the emulator's RTC has 128 bytes at ports 0x70/0x71

// Scenario values the emulator cannot show, each said once on standard error.
std::vector<std::string> notApplicable(const Scenario &s) {
  std::vector<std::string> notes;
  if (s.apicIdBits != 0)
    notes.push_back(fmt::format("cpu.apicIdBits {} (the emulator's boot processor has APIC ID 0)", s.apicIdBits));
  for (const auto &[index, value] : s.cmos)
    if (index < kFirstCmosByte || index >= kCmosBytes)
      notes.push_back(fmt::format("cmos.0x{:02X} (the emulator has CMOS bytes 0x0E-0x7F for data)", index));
  if (s.com1.heldBusy) notes.push_back("uarts.com1.heldBusy (the emulator's UART transmits at once)");
  if (s.com2.heldBusy) notes.push_back("uarts.com2.heldBusy (the emulator's UART transmits at once)");
  return notes;
}

qemu::UartSetup uartSetup(const UartSetup &u) { return {u.present, u.lineControl, u.divisor, u.fifoControl}; }

qemu::Platform platformOf(const Scenario &s, bool selfTest) {
  qemu::Platform p;
  p.cpuSignature = s.cpuSignature;
  p.mm0 = s.mm0;
  for (const auto &[index, value] : s.cmos)
    if (index >= kFirstCmosByte && index < kCmosBytes) p.cmos[index] = value;
  p.uarts = {uartSetup(s.com1), uartSetup(s.com2)};
  p.debugPrintPpi = s.debugPrintPpi;
  p.revision = s.revision;
  p.faults = s.faults;
  p.memoryInfoPresent = s.memoryInfo.present;
  p.memoryInfo = s.memoryInfo.config;
  p.outputBlockPresent = s.outputBlock.present;
  p.outputBlockAddress = s.outputBlock.address;
  p.outputBlock = s.outputBlock.bytes;
  // The block's non-volatile copy, when the flash description holds one, is what the boot copies.
  if (s.flashDesc)
    for (const builders::Blob &payload : s.flashDesc->payloads)
      if (!payload.bytes.empty() && payload.bytes == s.outputBlock.bytes) p.outputBlockFlashOffset = payload.offset;
  p.flash = s.flashImage;
  for (const AccessorCall &c : s.accessorCalls) p.accessorCalls.push_back({c.slot, c.args});
  p.selfTest = selfTest;
  return p;
}

std::string lineSettingsOf(uint8_t lcr) {
  const unsigned dataBits = 5 + (lcr & 0x03);
  char parity = 'N';
  if (lcr & 0x08) {
    const bool even = (lcr & 0x10) != 0;
    const bool stick = (lcr & 0x20) != 0;
    parity = stick ? (even ? 'S' : 'M') : (even ? 'E' : 'O');
  }
  const char *stop = (lcr & 0x04) ? (dataBits == 5 ? "1.5" : "2") : "1";
  return std::to_string(dataBits) + parity + stop;
}

// An absent UART is not there to read back: its registers are as the scenario set them.
UartResult uartResult(const UartSetup &setup, const std::string &bytes, const qemu::UartState &state) {
  UartResult r;
  r.present = setup.present;
  r.transmitted = bytes;
  r.lineControl = setup.present ? state.lineControl : setup.lineControl.value_or(0);
  r.divisor = setup.present ? state.divisor : setup.divisor.value_or(0);
  r.lineSettings = lineSettingsOf(r.lineControl);
  r.baud = r.divisor ? 115200 / r.divisor : 0;
  return r;
}

// A pointer out-parameter names memory when it points into what the host machine backs: the block's
// DRAM or the flash window. Otherwise its raw 8 bytes are shown, as on the host.
OutputValue outputOf(OutKind kind, const std::array<uint8_t, 8> &bytes, const Scenario &s) {
  uint64_t raw = 0;
  std::memcpy(&raw, bytes.data(), sizeof raw);
  switch (kind) {
    case OutKind::U8: return {kind, bytes[0], std::nullopt};
    case OutKind::U16: return {kind, raw & 0xFFFF, std::nullopt};
    case OutKind::U32: return {kind, raw & 0xFFFFFFFF, std::nullopt};
    case OutKind::U64: return {kind, raw, std::nullopt};
    case OutKind::Pointer: break;
  }
  const uint64_t address = raw & 0xFFFFFFFF;  // IA32 pointers are 4 bytes
  const uint64_t dram = s.outputBlock.address;
  const uint64_t dramEnd =
      dram < host::PhysicalMemory::kFlashWindowBase
          ? std::min(host::PhysicalMemory::kFlashWindowBase,
                     dram + std::max<uint64_t>(kReservedBlockSize, s.outputBlock.bytes.size()))
          : dram;
  const bool mapped = (address >= dram && address < dramEnd) || address >= host::PhysicalMemory::kFlashWindowBase;
  return {kind, mapped ? address : raw, mapped ? std::optional<uint64_t>(address) : std::nullopt};
}

BootResult bootResultOf(const qemu::Result &q, const Scenario &s) {
  BootResult r;
  for (const qemu::Module &m : q.modules) {
    ModuleResult module{m.name, {}, m.status};
    for (const qemu::Constructor &c : m.constructors) module.constructors.push_back({c.name, c.status});
    r.modules.push_back(std::move(module));
  }
  for (const qemu::Message &m : q.messages) r.messages.push_back({m.module, m.messageClass, m.format, m.text});
  r.com1 = uartResult(s.com1, q.com1, q.uarts[0]);
  r.com2 = uartResult(s.com2, q.com2, q.uarts[1]);
  size_t offset = 0;
  for (const qemu::Hob &h : q.hobs) {
    HobResult hob{offset, 0, 0, h.bytes, h.creator};
    if (h.bytes.size() >= 4) {
      std::memcpy(&hob.type, h.bytes.data(), sizeof hob.type);
      std::memcpy(&hob.length, h.bytes.data() + 2, sizeof hob.length);
    }
    offset += h.bytes.size();
    r.hobs.push_back(std::move(hob));
  }
  for (const qemu::Ppi &p : q.ppis) r.ppis.push_back({p.guid, p.installer});
  r.accessorPpiFound = q.accessorPpiFound;
  for (const qemu::AccessorResult &a : q.accessors) {
    AccessorResult out{a.slot, a.args, a.status, {}, a.firstMessage, a.endMessage};
    const AccessorSlot &slot = kAccessorSlots[a.slot];
    for (unsigned k = 0; k < slot.outputs; ++k) out.outputs.push_back(outputOf(slot.outKinds[k], a.outputs[k], s));
    r.accessors.push_back(std::move(out));
  }
  r.breakpoints = q.breakpoints;
  for (const qemu::ServiceCount &c : q.services)
    r.serviceCalls.push_back({c.module, host::serviceName(static_cast<host::Service>(c.service)), c.calls, c.failed});
  return r;
}

uint32_t accessorPeak(const qemu::Result &q) {
  uint32_t peak = 0;
  for (const qemu::AccessorResult &a : q.accessors) peak = std::max(peak, a.stackPeak);
  return peak;
}

Json emulatorJson(const qemu::Result &q, const std::vector<std::string> &notes) {
  Json stack = Json::object();
  for (const qemu::Module &m : q.modules) stack[m.name] = m.stackPeak;
  if (!q.accessors.empty()) stack["Quilkeep accessors"] = accessorPeak(q);
  Json layout = Json::array();
  for (const auto &[name, range] : q.layout.ranges)
    layout.push_back({{"name", name}, {"first", hex(range.first, 8)}, {"last", hex(range.second, 8)}});
  Json tests = Json::array();
  for (const qemu::SelfTestResult &t : q.selfTests)
    tests.push_back({{"check", t.check}, {"passed", t.passed}, {"detail", t.detail}});
  Json reports = Json::array();
  for (const qemu::FoundationReport &f : q.foundationReports)
    reports.push_back({{"source", f.source}, {"line", f.line}, {"expression", f.expression}});
  return {{"commandLine", q.commandLine},
          {"cpuid", {{"leaf1Ebx", hex(q.cpuidLeaf1Ebx, 8)}, {"leaf80000001Eax", hex(q.cpuidExtendedEax, 8)}}},
          {"stackPeakBytes", stack},
          {"flash", layout},
          {"ramMiB", q.layout.ramMiB},
          {"selfTests", tests},
          {"foundationReports", reports},
          {"notApplicable", notes}};
}

std::string emulatorText(const qemu::Result &q, const std::vector<std::string> &notes) {
  std::string out = "\nEmulator\n--------\n";
  std::string command;
  for (const std::string &a : q.commandLine) command += (command.empty() ? "" : " ") + a;
  out += fmt::format("  {}\n", command);
  out += fmt::format("  CPUID 0x80000001 EAX 0x{:08X}, leaf 1 EBX 0x{:08X}; RAM {} MiB\n", q.cpuidExtendedEax,
                     q.cpuidLeaf1Ebx, q.layout.ramMiB);
  out += "  Flash:\n";
  for (const auto &[name, range] : q.layout.ranges)
    out += fmt::format("    0x{:08X}-0x{:08X}  {}\n", range.first, range.second, name);
  out += "  Peak stack use (bytes below the dispatcher's stack pointer):\n";
  for (const qemu::Module &m : q.modules) out += fmt::format("    {:<20} {}\n", m.name, m.stackPeak);
  if (!q.accessors.empty()) out += fmt::format("    {:<20} {}\n", "Quilkeep accessors", accessorPeak(q));
  for (const qemu::SelfTestResult &t : q.selfTests)
    out += fmt::format("  self-test {:<28} {}  {}\n", t.check, t.passed ? "pass" : "FAIL", t.detail);
  for (const qemu::FoundationReport &f : q.foundationReports)
    out += fmt::format("  foundation check {}({}): {}\n", f.source, f.line, f.expression);
  for (const std::string &n : notes) out += fmt::format("  not applicable on the emulator: {}\n", n);
  out += "  Markers on port 0xE8 are not seen on the emulator.\n";
  return out;
}

// The IA32 figures: flash bytes of each image as linked, and the stack each used on the emulator.
std::string figuresText(const qemu::Result &q, const std::string &source) {
  std::string out = fmt::format("IA32 figures, measured on the emulator ({})\n", source);
  out += fmt::format("  {:<20} {:>12} {:>18}\n", "Image", "Flash bytes", "Peak stack bytes");
  const auto flashBytes = [&](const std::string &name) {
    uint64_t bytes = 0;
    for (const auto &[range, span] : q.layout.ranges)
      if (range == name) bytes += uint64_t{span.second} - span.first + 1;
    return bytes;
  };
  for (const qemu::Module &m : q.modules)
    out += fmt::format("  {:<20} {:>12} {:>18}\n", m.name, flashBytes(m.name), m.stackPeak);
  if (!q.accessors.empty())
    out += fmt::format("  {:<20} {:>12} {:>18}\n", "Quilkeep accessors", "", accessorPeak(q));
  out += fmt::format("  {:<20} {:>12} {:>18}\n", "ZarnBoot (foundation)", flashBytes("ZarnBoot"), "");
  out += "  Peak stack: bytes below the dispatcher's stack pointer at the call (arguments and return address\n"
         "  included), found by filling the stack with a pattern before the call and scanning it after.\n";
  return out;
}

}  // namespace

CLI::App *addQemuCommand(CLI::App &app, QemuCommandOptions &o) {
  CLI::App *cmd = app.add_subcommand(
      "qemu",
      "Boot the same scenario on an emulated PC (qemu-system-i386): the IA32 images of Dramatlas and Quilkeep "
      "run in place from flash under a minimal foundation; the report is that of zarn boot, with the "
      "emulator's figures added.");
  cmd->add_option("scenario", o.scenario, "Scenario file (JSON); without it the built-in default is booted");
  cmd->add_flag("--json", o.json, "Write the report as JSON");
  cmd->add_flag("--self-test", o.selfTest,
                "Also run the IA32 self-test phase (memory routines at the top of the address space, print "
                "engine argument slots, services and accessor table layouts)");
  cmd->add_flag("--figures", o.figures,
                "Print only the IA32 figures: each image's flash bytes and its peak stack use on the emulator");
  cmd->add_option("--ia32-images", o.images,
                  "Folder holding Dramatlas.elf, Quilkeep.elf and ZarnBoot.elf (default: $ZARN_IA32_IMAGE_DIR, else "
                  "the ia32 build's images folder)");
  cmd->add_option("--keep", o.keep, "Keep the flash image and the captured serial and debug console output here")
      ->type_name("DIR");
  cmd->add_option("--timeout", o.timeout, "Seconds the emulator may run (default 30)");
  return cmd;
}

int qemuCommand(const QemuCommandOptions &o) {
  const Scenario scenario = loadScenario(o.scenario);
  const std::vector<std::string> notes = notApplicable(scenario);
  qemu::RunOptions run;
  run.imageDir = o.images;
  run.keepDir = o.keep;
  run.timeoutSeconds = o.timeout;
  qemu::Result q;
  try {
    q = qemu::boot(platformOf(scenario, o.selfTest), run);
  } catch (const qemu::Unsupported &e) {
    throw BadInput(fmt::format("the emulator cannot run this scenario: {}", e.what()));
  }
  const BootResult result = bootResultOf(q, scenario);
  const std::string source = o.scenario.empty() ? "built-in default scenario" : o.scenario;
  for (const std::string &n : notes) fmt::print(stderr, "zarn: note: {} does not apply on the emulator\n", n);
  if (o.figures) {
    fmt::print("{}", figuresText(q, source));
  } else if (o.json) {
    Json report = jsonReport(result);
    report["emulator"] = emulatorJson(q, notes);
    fmt::print("{}\n", report.dump(2));
  } else {
    std::string text = textReport(result, scenario, source);
    // The report is zarn boot's; its first line names the command that made it.
    if (const std::string boot = "zarn boot"; text.compare(0, boot.size(), boot) == 0) text.replace(0, boot.size(), "zarn qemu");
    fmt::print("{}{}", text, emulatorText(q, notes));
  }
  bool selfTestsPassed = true;
  for (const qemu::SelfTestResult &t : q.selfTests) selfTestsPassed = selfTestsPassed && t.passed;
  return selfTestsPassed ? 0 : 1;
}

}  // namespace zarn::tool
