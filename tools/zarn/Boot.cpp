#include "tools/zarn/Boot.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "Guid/ZarnGuids.h"
#include "Platform/Host/Devices/StandardPlatform.h"
#include "Platform/Host/Machine.h"
#include "Platform/Host/Modules/MemoryInitModule.h"
#include "Ppi/QuilAccessor.h"

namespace zarn::tool {

namespace {

constexpr uint64_t kReservedBlockSize = 0x1000000;  // what the discovery reserves at the block's address

host::UartOptions uartOptions(const UartSetup &u) {
  host::UartOptions o;
  o.present = u.present;
  o.lineControl = u.lineControl;
  o.divisor = u.divisor;
  o.fifoControl = u.fifoControl;
  o.heldBusy = u.heldBusy;
  return o;
}

UartResult uartResult(const UartSetup &setup, const host::Uart16550 &uart) {
  UartResult r;
  r.present = setup.present;
  r.transmitted = uart.transmittedText();
  r.lineSettings = uart.lineSettings();
  r.lineControl = uart.lineControl();
  r.divisor = uart.divisor();
  r.baud = uart.baudRate();
  return r;
}

// Out-parameter storage of one call: every byte 0xA5 before the call, so an untouched one shows.
struct OutSlot {
  alignas(8) uint8_t bytes[8];
  OutSlot() { std::memset(bytes, 0xA5, sizeof bytes); }
  template <typename T>
  T *as() {
    return reinterpret_cast<T *>(bytes);
  }
};

uint64_t readOut(const OutSlot &slot, OutKind kind) {
  switch (kind) {
    case OutKind::U8: return slot.bytes[0];
    case OutKind::U16: {
      uint16_t v;
      std::memcpy(&v, slot.bytes, sizeof v);
      return v;
    }
    case OutKind::U32: {
      uint32_t v;
      std::memcpy(&v, slot.bytes, sizeof v);
      return v;
    }
    case OutKind::U64:
    case OutKind::Pointer: {
      uint64_t v;
      std::memcpy(&v, slot.bytes, sizeof v);
      return v;
    }
  }
  return 0;
}

EFI_STATUS callSlot(const ZARN_QUIL_ACCESSOR_PPI &ppi, unsigned slot, const std::vector<uint32_t> &a, OutSlot &o0,
                    OutSlot &o1) {
  switch (slot) {
    case 0: return ppi.GetDornInstanceTrov(o0.as<UINT8>());
    case 1: return ppi.GetDornRecoveryFlagTrov(o0.as<UINT8>());
    case 2: return ppi.GetDimmCfgUpdatedFlagTrov(o0.as<UINT8>());
    case 3: return ppi.GetG3T3Level1ByteTrov(a[0], a[1], o0.as<UINT8>());
    case 4: return ppi.GetG3T3Level2ByteTrov(a[0], a[1], a[2], o0.as<UINT8>());
    case 5: return ppi.GetG3T3Level3ByteTrov(a[0], a[1], a[2], a[3], o0.as<UINT8>());
    case 6: return ppi.GetG3T3Level3DataByteTrov(a[0], a[1], a[2], a[3], a[4], o0.as<UINT8>());
    case 7: return ppi.GetG1T2ArrayByteTrov(a[0], a[1], o0.as<UINT8>());
    case 8: return ppi.GetG1T15ByteTrov(a[0], o0.as<UINT8>());
    case 9: return ppi.GetG1T15BufferTrov(a[0], o0.as<VOID *>(), o1.as<UINT32>());
    case 10: return ppi.GetG1T17FirstByteTrov(a[0], o0.as<UINT8>());
    case 11: return ppi.GetFixedByteTrov(a[0], o0.as<UINT8>());
    case 12: return ppi.GetG1T17SecondByteTrov(a[0], o0.as<UINT8>());
    case 13: return ppi.GetG1T17RecordTrov(a[0], a[1], o0.as<VOID *>());
    case 14: return ppi.GetG1T2FirstWordTrov(a[0], o0.as<UINT16>());
    case 15: return ppi.GetG1T2SecondWordTrov(a[0], o0.as<UINT16>());
    case 16: return ppi.GetG1T2SelectedValueTrov(a[0], a[1], o0.as<UINT16>(), o1.as<UINT64>());
    case 17: return ppi.GetG3T2DwordTrov(a[0], o0.as<UINT32>());
    case 18: return ppi.GetG3T2RecordTrov(a[0], a[1], o0.as<VOID *>());
    case 19: return ppi.GetG7T3WordTrov(a[0], o0.as<UINT16>());
  }
  throw std::logic_error("accessor slot out of range");
}

}  // namespace

BootResult runBoot(const Scenario &s, const std::string &imageDir) {
  const std::vector<std::string> paths = {imageDir + "/Dramatlas.so", imageDir + "/Quilkeep.so"};
  for (const auto &p : paths)
    if (!std::filesystem::exists(p))
      throw std::runtime_error(p + ": image not found (build the images, or name their folder with --images)");

  host::Machine machine;
  machine.makeCurrent();

  host::StandardPlatformOptions options;
  options.firstUart = uartOptions(s.com1);
  options.secondUart = uartOptions(s.com2);
  options.superIoUartAActivate = s.superIoUartAActivate;
  options.superIoUartBActivate = s.superIoUartBActivate;
  options.extendedEnableNode = s.apicIdBits;
  host::StandardPlatform platform(machine.io, machine.mmio, options);
  for (const auto &[index, value] : s.cmos) platform.cmos.set(index, value);

  machine.cpu.setCpuid(0x80000001u, {s.cpuSignature, 0, 0, 0});
  machine.cpu.setCpuid(1u, {0, uint32_t(s.apicIdBits) << 28, 0, 0});
  machine.cpu.setMm0(s.mm0);

  machine.memory.setFlashImage(s.flashImage);
  // The block's DRAM: the 16 MiB the discovery reserves, or as much of it as fits below the flash window.
  const uint64_t address = s.outputBlock.address;
  if (address < host::PhysicalMemory::kFlashWindowBase) {
    const uint64_t room = host::PhysicalMemory::kFlashWindowBase - address;
    machine.memory.addDram(address, std::min(room, std::max<uint64_t>(kReservedBlockSize, s.outputBlock.bytes.size())));
  }
  if (s.outputBlock.present && !s.outputBlock.bytes.empty()) machine.memory.write(address, s.outputBlock.bytes);

  machine.pei.setRevision(s.revision);
  host::DebugPrintProducer producer;
  if (s.debugPrintPpi) producer.install(machine);
  host::MemoryInitModule memoryInit(s.memoryInfo.config);
  if (s.memoryInfo.present) memoryInit.install(machine);
  for (const host::Fault &f : s.faults) machine.pei.injectFault(f);

  machine.dispatchAll(paths);

  BootResult r;
  // A later module: finds the accessor PPI through the platform (never counted, never faulted) and calls
  // each slot; the slots' own service calls are Quilkeep's and are counted like any other.
  const auto *ppi = static_cast<const ZARN_QUIL_ACCESSOR_PPI *>(machine.pei.locatePpi(gZarnQuilAccessorPpiGuid));
  r.accessorPpiFound = ppi != nullptr;
  if (ppi) {
    machine.pei.setRunningModule("Quilkeep");
    for (const AccessorCall &call : s.accessorCalls) {
      const AccessorSlot &slot = kAccessorSlots[call.slot];
      AccessorResult a;
      a.slot = call.slot;
      a.args = call.args;
      a.firstMessage = producer.messages().size();
      OutSlot o0, o1;
      a.status = callSlot(*ppi, call.slot, call.args, o0, o1);
      a.endMessage = producer.messages().size();
      for (unsigned k = 0; k < slot.outputs; ++k) {
        OutputValue v{slot.outKinds[k], readOut(k == 0 ? o0 : o1, slot.outKinds[k]), std::nullopt};
        if (v.kind == OutKind::Pointer) v.physical = machine.memory.physicalOf(reinterpret_cast<const void *>(v.value));
        a.outputs.push_back(v);
      }
      r.accessors.push_back(std::move(a));
    }
    machine.pei.setRunningModule("");
  }

  for (const host::DispatchRecord &d : machine.dispatches()) {
    ModuleResult m{d.module, {}, d.status};
    for (const host::ConstructorRecord &c : machine.constructors())
      if (c.module == d.module) m.constructors.push_back({c.constructor, c.status});
    r.modules.push_back(std::move(m));
  }
  r.messages = producer.messages();
  r.com1 = uartResult(s.com1, platform.firstUart);
  r.com2 = uartResult(s.com2, platform.secondUart);
  for (const host::HobRecord &h : machine.pei.hobs()) {
    HobResult hob{h.offset, h.type, 0, {h.bytes.begin(), h.bytes.end()}, h.creator};
    if (h.bytes.size() >= 4) std::memcpy(&hob.length, h.bytes.data() + 2, sizeof hob.length);
    r.hobs.push_back(std::move(hob));
  }
  for (const host::PpiRecord &p : machine.pei.ppis()) r.ppis.push_back({p.guid, p.installer});
  r.breakpoints = machine.cpu.breakpoints().size();
  r.markers = platform.marker.values32();
  for (const host::ServiceCall &c : machine.pei.calls()) {
    const std::string service = host::serviceName(c.service);
    const std::string module = c.module.empty() ? "platform" : c.module;
    auto it = std::find_if(r.serviceCalls.begin(), r.serviceCalls.end(),
                           [&](const ServiceSummary &x) { return x.module == module && x.service == service; });
    if (it == r.serviceCalls.end()) it = r.serviceCalls.insert(r.serviceCalls.end(), {module, service, 0, 0});
    ++it->calls;
    if (c.status != EFI_SUCCESS) ++it->failed;
  }
  return r;
}

}  // namespace zarn::tool
