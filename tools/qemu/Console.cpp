// Reading the debug console records of an emulator boot (Platform/Ia32/Boot/BootProtocol.h).
#include <cstring>
#include <sstream>

#include "Platform/Ia32/Boot/BootProtocol.h"
#include "tools/qemu/EmulatorBoot.h"

namespace zarn::qemu {

namespace {

std::vector<std::string> fieldsOf(const std::string &line) {
  std::vector<std::string> out;
  std::istringstream in(line);
  for (std::string f; in >> f;) out.push_back(f);
  return out;
}

class Line {
 public:
  Line(const std::string &text, size_t number) : text_(text), number_(number), fields_(fieldsOf(text.substr(1))) {}
  size_t count() const { return fields_.size(); }
  const std::string &text(size_t n) const { return field(n); }
  // "-" stands for an empty field.
  std::string name(size_t n) const { return field(n) == "-" ? "" : field(n); }
  uint64_t number(size_t n) const {
    const std::string &f = field(n);
    char *end = nullptr;
    const unsigned long long v = std::strtoull(f.c_str(), &end, 16);
    if (f.empty() || *end != '\0') fail("not a hex number: " + f);
    return v;
  }
  std::string bytes(size_t n) const {
    const std::string &f = field(n);
    if (f == "-") return {};
    if (f.size() % 2 != 0) fail("odd hex byte string");
    std::string out;
    for (size_t i = 0; i < f.size(); i += 2) out += static_cast<char>(std::stoi(f.substr(i, 2), nullptr, 16));
    return out;
  }
  [[noreturn]] void fail(const std::string &why) const {
    throw std::runtime_error("debug console line " + std::to_string(number_) + " (" + text_ + "): " + why);
  }

 private:
  const std::string &field(size_t n) const {
    if (n >= fields_.size()) fail("field " + std::to_string(n + 1) + " missing");
    return fields_[n];
  }
  std::string text_;
  size_t number_;
  std::vector<std::string> fields_;
};

std::string exceptionName(uint64_t vector) {
  static const char *const names[] = {"divide error",        "debug",          "NMI",
                                      "breakpoint",          "overflow",       "bound range",
                                      "invalid opcode",      "no math coprocessor", "double fault",
                                      "coprocessor overrun", "invalid TSS",    "segment not present",
                                      "stack fault",         "general protection", "page fault"};
  if (vector < std::size(names)) return names[vector];
  return vector == 0xFF ? "unexpected interrupt" : "exception";
}

}  // namespace

Result parseConsole(const std::string &console, const Platform &p) {
  Result r;
  bool started = false, ended = false;
  Module *current = nullptr;
  size_t callStartMessage = 0;
  std::istringstream in(console);
  size_t number = 0;
  for (std::string text; std::getline(in, text);) {
    ++number;
    if (text.empty()) continue;
    const Line l(text, number);
    switch (text[0]) {
      case BootRecordStart:
        if (l.number(0) != BootProtocolVersion) l.fail("the boot speaks another record version");
        started = true;
        break;
      case BootRecordFatal:
        throw std::runtime_error("the emulator boot stopped: " + l.bytes(0));
      case BootRecordException: {
        const uint64_t vector = l.number(0);
        const std::string module = l.name(3);
        char where[64];
        std::snprintf(where, sizeof where, " at EIP 0x%08llX", static_cast<unsigned long long>(l.number(2)));
        throw std::runtime_error("the emulator boot stopped on " + exceptionName(vector) + " (vector " +
                                 std::to_string(vector) + ", error code " + std::to_string(l.number(1)) + ")" + where +
                                 (module.empty() ? " in the foundation" : " while " + module + " ran"));
      }
      case BootRecordDispatch:
        r.modules.push_back({l.name(0), {}, 0, 0});
        current = &r.modules.back();
        break;
      case BootRecordConstructor:
        if (!current) l.fail("constructor outside a dispatch");
        current->constructors.push_back({l.name(0), static_cast<EFI_STATUS>(l.number(1))});
        break;
      case BootRecordReturn:
        if (!current || current->name != l.name(0)) l.fail("return without its dispatch");
        current->status = static_cast<EFI_STATUS>(l.number(1));
        current->stackPeak = static_cast<uint32_t>(l.number(2));
        current = nullptr;
        break;
      case BootRecordMessage:
        r.messages.push_back({l.name(0), l.number(1), l.bytes(2), l.bytes(3)});
        break;
      case BootRecordAssert: {
        std::string expression = l.bytes(2);
        r.foundationReports.push_back({l.bytes(0), static_cast<uint32_t>(l.number(1)), expression});
        break;
      }
      case BootRecordAccessorPpi:
        r.accessorPpiFound = l.number(0) != 0;
        break;
      case BootRecordCallStart:
        callStartMessage = r.messages.size();
        break;
      case BootRecordCall: {
        const size_t index = r.accessors.size();
        if (index >= p.accessorCalls.size()) l.fail("more accessor calls than requested");
        AccessorResult a;
        a.slot = static_cast<unsigned>(l.number(0));
        a.args = p.accessorCalls[index].args;
        a.status = static_cast<EFI_STATUS>(l.number(1));
        a.stackPeak = static_cast<uint32_t>(l.number(2));
        for (size_t k = 0; k < 2; ++k) {
          const std::string out = l.bytes(3 + k);
          if (out.size() != 8) l.fail("an out-parameter is not 8 bytes");
          std::memcpy(a.outputs[k].data(), out.data(), 8);
        }
        a.firstMessage = callStartMessage;
        a.endMessage = r.messages.size();
        r.accessors.push_back(a);
        break;
      }
      case BootRecordHob: {
        const std::string bytes = l.bytes(1);
        r.hobs.push_back({{bytes.begin(), bytes.end()}, l.name(0)});
        break;
      }
      case BootRecordPpi: {
        const std::string guid = l.bytes(1);
        if (guid.size() != sizeof(EFI_GUID)) l.fail("a GUID is not 16 bytes");
        Ppi ppi{};
        std::memcpy(&ppi.guid, guid.data(), sizeof ppi.guid);
        ppi.installer = l.name(0);
        r.ppis.push_back(ppi);
        break;
      }
      case BootRecordService:
        r.services.push_back({l.name(0), static_cast<unsigned>(l.number(1)), static_cast<uint32_t>(l.number(2)),
                              static_cast<uint32_t>(l.number(3))});
        break;
      case BootRecordBreakpoints:
        r.breakpoints = static_cast<uint32_t>(l.number(0));
        break;
      case BootRecordUart: {
        const uint64_t n = l.number(0);
        if (n < 1 || n > 2) l.fail("no such UART");
        r.uarts[n - 1] = {static_cast<uint8_t>(l.number(1)), static_cast<uint16_t>(l.number(2)),
                          static_cast<uint8_t>(l.number(3))};
        break;
      }
      case BootRecordCpu:
        r.cpuidLeaf1Ebx = static_cast<uint32_t>(l.number(0));
        r.cpuidExtendedEax = static_cast<uint32_t>(l.number(1));
        break;
      case BootRecordTest:
        r.selfTests.push_back({l.text(0), l.number(1) != 0, l.bytes(2)});
        break;
      case BootRecordEnd:
        ended = true;
        break;
      default:
        l.fail("unknown record");
    }
  }
  if (!started) throw std::runtime_error("the emulator boot wrote nothing to the debug console");
  if (!ended) throw std::runtime_error("the emulator boot stopped before its end (debug console ends early)");
  return r;
}

}  // namespace zarn::qemu
