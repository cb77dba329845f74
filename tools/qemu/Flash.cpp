// The flash image of an emulator boot and the platform blob in it.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "Platform/Ia32/Boot/BootProtocol.h"
#include "tools/builders/FlashImage.h"
#include "tools/qemu/Elf32.h"
#include "tools/qemu/EmulatorBoot.h"

namespace zarn::qemu {

namespace {

constexpr uint32_t kFlashSize = 16u << 20;
constexpr uint64_t kFlashBase = builders::kFourGiB - kFlashSize;
constexpr uint64_t kRamLimit = 0xDFF00000ull;  // the pc machine keeps all RAM below 4 GiB only under 3.5 GiB
constexpr uint64_t kReservedBlockSize = 0x1000000;

static_assert(unsigned(host::Service::InstallPpi) == BootServiceInstallPpi &&
                  unsigned(host::Service::LocatePpi) == BootServiceLocatePpi &&
                  unsigned(host::Service::GetHobList) == BootServiceGetHobList &&
                  unsigned(host::Service::CreateHob) == BootServiceCreateHob,
              "fault records number the services as the host foundation does");

std::string hex(uint64_t v) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(v));
  return text;
}

template <typename T>
void append(builders::Bytes &out, const T &value) {
  const auto *p = reinterpret_cast<const uint8_t *>(&value);
  out.insert(out.end(), p, p + sizeof value);
}

void alignTo8(builders::Bytes &out) { out.resize((out.size() + 7) & ~size_t{7}, 0); }

template <typename T>
uint32_t appendTable(builders::Bytes &out, const std::vector<T> &items) {
  alignTo8(out);
  const auto offset = static_cast<uint32_t>(out.size());
  for (const T &item : items) append(out, item);
  return offset;
}

// The blob, laid out for `address` (the block's copy may live inside it).
builders::Bytes buildBlob(const Platform &p, const ElfImage &dramatlas, const ElfImage &quilkeep, uint32_t address,
                          uint32_t selfContainedBlock) {
  BootBlobHeader h{};
  h.Signature = BootBlobSignature;
  h.Version = BootBlobVersion;
  h.Flags = (p.debugPrintPpi ? BootBlobDebugPrintPpi : 0) | (p.memoryInfoPresent ? BootBlobMemoryInfo : 0) |
            (p.memoryInfo.nullHoleMap ? BootBlobHoleMapNull : 0) | (p.selfTest ? BootBlobSelfTest : 0);
  h.ImageEntry[0] = dramatlas.entry;
  h.ImageEntry[1] = quilkeep.entry;
  h.ImageBase[0] = dramatlas.base();
  h.ImageBase[1] = quilkeep.base();
  h.ImageSize[0] = dramatlas.end() - dramatlas.base();
  h.ImageSize[1] = quilkeep.end() - quilkeep.base();
  h.Mm0 = p.mm0;
  h.Revision = p.revision;
  for (size_t n = 0; n < 2; ++n) {
    const UartSetup &u = p.uarts[n];
    BootUartSetup &b = h.Uart[n];
    if (u.lineControl) b.Flags |= BootUartSetLineControl, b.LineControl = *u.lineControl;
    if (u.divisor) b.Flags |= BootUartSetDivisor, b.Divisor = *u.divisor;
    if (u.fifoControl) b.Flags |= BootUartSetFifoControl, b.FifoControl = *u.fifoControl;
  }

  builders::Bytes out(sizeof h, 0);
  std::vector<BootCmosByte> cmos;
  for (const auto &[index, value] : p.cmos) cmos.push_back({index, value});
  h.CmosCount = static_cast<uint32_t>(cmos.size());
  h.CmosOffset = appendTable(out, cmos);

  std::vector<BootFault> faults;
  for (const host::Fault &f : p.faults) faults.push_back({unsigned(f.service), f.status, f.after, f.count});
  h.FaultCount = static_cast<uint32_t>(faults.size());
  h.FaultOffset = appendTable(out, faults);

  std::vector<BootAccessorCall> calls;
  for (const AccessorCall &c : p.accessorCalls) {
    BootAccessorCall b{c.slot, {}};
    for (size_t n = 0; n < c.args.size() && n < 5; ++n) b.Args[n] = c.args[n];
    calls.push_back(b);
  }
  h.AccessorCallCount = static_cast<uint32_t>(calls.size());
  h.AccessorCallOffset = appendTable(out, calls);

  // The memory-information PPI's answers; arrays are padded to the counts as the host module does.
  const host::MemoryInitConfig &m = p.memoryInfo;
  BootMemoryInfo &mi = h.MemoryInfo;
  std::vector<HoleMapEntry> holes;
  for (const host::HoleSpec &s : m.holes) holes.push_back({s.base, s.size, s.type, 0});
  mi.HoleCount = static_cast<uint32_t>(holes.size());
  if (holes.empty()) holes.push_back({});  // the map still has an address
  mi.HoleOffset = appendTable(out, holes);
  mi.TopOfMemory = m.topOfMemory;
  mi.HoleMapStatus = m.holeMapStatus;
  mi.Value32 = m.value32;
  mi.Value16 = m.value16;
  mi.Value8Valid = m.value8Valid;
  mi.Value8 = m.value8;
  mi.Value32B = m.value32B;
  std::copy(m.counts.begin(), m.counts.end(), mi.Counts);
  mi.Scalars = m.scalars;
  const size_t units = size_t{m.counts[0]} * m.counts[1];
  const size_t items = units * m.counts[2];
  const auto padded = [](auto v, size_t n) {
    if (v.size() < n) v.resize(n, {});
    return v;
  };
  mi.ArrayOffset[0] = appendTable(out, padded(m.arrays.array0, units));
  mi.ArrayOffset[1] = appendTable(out, padded(m.arrays.array1, items));
  mi.ArrayOffset[2] = appendTable(out, padded(m.arrays.array2, units));
  mi.ArrayOffset[3] = appendTable(out, padded(m.arrays.array3, units));
  mi.ArrayOffset[4] = appendTable(out, padded(m.arrays.array4, units));
  for (size_t n = 0; n < 11; ++n) mi.ArrayOffset[5 + n] = appendTable(out, padded(m.arrays.bytes[n], items));
  for (size_t n = 0; n < MEMORY_CONFIG_ARRAY_COUNT; ++n)
    if (m.nullSource[n]) mi.ArrayNullMask |= 1u << n;

  if (p.outputBlockPresent && !p.outputBlock.empty()) {
    h.Flags |= BootBlobOutputBlock;
    h.Block.Destination = p.outputBlockAddress;
    h.Block.Size = static_cast<uint32_t>(p.outputBlock.size());
    if (selfContainedBlock) {
      alignTo8(out);
      h.Block.Source = address + static_cast<uint32_t>(out.size());
      out.insert(out.end(), p.outputBlock.begin(), p.outputBlock.end());
    } else {
      h.Block.Source = static_cast<uint32_t>(builders::flashBase(static_cast<uint32_t>(p.flash.size())) +
                                             *p.outputBlockFlashOffset);
    }
  }
  alignTo8(out);
  h.Size = static_cast<uint32_t>(out.size());
  std::memcpy(out.data(), &h, sizeof h);
  return out;
}

void checkPlatform(const Platform &p) {
  if (p.flash.size() < builders::kMinFlashSize || p.flash.size() > kFlashSize)
    throw Unsupported("the flash image must hold 512 KiB to 16 MiB");
  if (p.faults.size() > BootBlobMaxFaults)
    throw Unsupported("at most " + std::to_string(BootBlobMaxFaults) + " injected faults on the emulator");
  if (p.accessorCalls.size() > BootBlobMaxAccessorCalls)
    throw Unsupported("at most " + std::to_string(BootBlobMaxAccessorCalls) + " accessor calls on the emulator");
  for (const AccessorCall &c : p.accessorCalls)
    if (c.slot >= 20) throw Unsupported("accessor slot " + std::to_string(c.slot) + " does not exist");
  if (p.outputBlockPresent && !p.outputBlock.empty()) {
    const uint64_t end = p.outputBlockAddress + p.outputBlock.size();
    if (p.outputBlockAddress < BootRamEnd)
      throw Unsupported("outputBlock.address " + hex(p.outputBlockAddress) +
                        " lies in the RAM the emulator boot uses (below " + hex(BootRamEnd) + ")");
    if (end > kRamLimit)
      throw Unsupported("the output block at " + hex(p.outputBlockAddress) + " ends above the emulator's RAM (at most " +
                        hex(kRamLimit) + ")");
  }
}

}  // namespace

Flash composeFlash(const Platform &p, const std::string &imageDir) {
  checkPlatform(p);
  const ElfImage dramatlas = readElf32(imageDir + "/Dramatlas.elf");
  const ElfImage quilkeep = readElf32(imageDir + "/Quilkeep.elf");
  const ElfImage boot = readElf32(imageDir + "/ZarnBoot.elf");

  Flash f;
  f.image.assign(kFlashSize, 0xFF);
  const size_t scenarioStart = kFlashSize - p.flash.size();
  std::copy(p.flash.begin(), p.flash.end(), f.image.begin() + static_cast<std::ptrdiff_t>(scenarioStart));
  f.layout.ranges.push_back({"scenario flash", {static_cast<uint32_t>(kFlashBase + scenarioStart), 0xFFFFFFFFu}});

  // Bytes in use: the scenario's (anything not erased) and, as they are placed, the boot's own.
  std::vector<uint8_t> used(kFlashSize, 0);
  for (size_t i = 0; i < kFlashSize; ++i) used[i] = f.image[i] != 0xFF;

  const auto place = [&](const std::string &name, const ElfImage &elf) {
    for (const ElfSegment &s : elf.segments) {
      if (s.address < kFlashBase || s.bytes.size() > builders::kFourGiB - s.address)
        throw Unsupported(elf.path + ": a segment lies outside the flash window");
      const size_t at = static_cast<size_t>(s.address - kFlashBase);
      for (size_t i = 0; i < s.bytes.size(); ++i) {
        if (used[at + i])
          throw Unsupported("the scenario's flash uses " + hex(s.address + i) + ", where the emulator boot places " +
                            name + " (" + hex(s.address) + "-" + hex(s.address + s.bytes.size() - 1) + ")");
      }
      std::copy(s.bytes.begin(), s.bytes.end(), f.image.begin() + static_cast<std::ptrdiff_t>(at));
      std::fill_n(used.begin() + static_cast<std::ptrdiff_t>(at), s.bytes.size(), 2);
      f.layout.ranges.push_back({name, {s.address, static_cast<uint32_t>(s.address + s.bytes.size() - 1)}});
    }
  };
  place("Dramatlas", dramatlas);
  place("Quilkeep", quilkeep);
  place("ZarnBoot", boot);

  // The blob goes into the first erased 4 KiB-aligned window that holds no probe address, searched from
  // the top of the area left free for platform blobs downwards.
  const bool selfContained = !p.outputBlockFlashOffset.has_value();
  const size_t blobSize = buildBlob(p, dramatlas, quilkeep, 0, selfContained).size();
  std::vector<uint32_t> usedBefore(kFlashSize + 1, 0);
  for (size_t i = 0; i < kFlashSize; ++i) usedBefore[i + 1] = usedBefore[i] + (used[i] != 0);
  const auto free = [&](size_t at) {
    if (at + blobSize > kFlashSize || usedBefore[at + blobSize] != usedBefore[at]) return false;
    for (uint32_t probe : builders::kProbeAddresses) {
      const uint64_t offset = probe - kFlashBase;
      if (offset + 4 > at && offset < at + blobSize) return false;
    }
    return true;
  };
  std::optional<size_t> blobAt;
  for (size_t at = (0xFFD00000u - kFlashBase); !blobAt; at -= 0x1000) {
    if (free(at)) blobAt = at;
    if (at == 0) break;
  }
  for (size_t at = 0xFFD01000u - kFlashBase; !blobAt && at < kFlashSize; at += 0x1000)
    if (free(at)) blobAt = at;
  if (!blobAt) throw Unsupported("the flash has no erased room for the platform blob (" + std::to_string(blobSize) + " bytes)");

  const auto blobAddress = static_cast<uint32_t>(kFlashBase + *blobAt);
  const builders::Bytes blob = buildBlob(p, dramatlas, quilkeep, blobAddress, selfContained);
  std::copy(blob.begin(), blob.end(), f.image.begin() + static_cast<std::ptrdiff_t>(*blobAt));
  const uint32_t cell = boot.symbol("BootBlobCell");
  if (cell != BootBlobCellAddress) throw std::runtime_error(boot.path + ": the blob cell is not at 0xFFFFFFE0");
  const builders::Bytes address = builders::le32(blobAddress);
  std::copy(address.begin(), address.end(), f.image.begin() + static_cast<std::ptrdiff_t>(cell - kFlashBase));
  f.layout.blobAddress = blobAddress;
  f.layout.blobSize = static_cast<uint32_t>(blob.size());
  f.layout.ranges.push_back({"platform blob", {blobAddress, static_cast<uint32_t>(blobAddress + blob.size() - 1)}});

  // The modules must find at the probe addresses what they find on the host, where everything outside
  // the scenario's flash reads erased.
  for (uint32_t probe : builders::kProbeAddresses) {
    const size_t at = probe - kFlashBase;
    const uint32_t expected = at >= scenarioStart ? builders::get32(p.flash, at - scenarioStart) : 0xFFFFFFFFu;
    if (builders::get32(f.image, at) != expected)
      throw Unsupported("the emulator boot's code changes the word at probe address " + hex(probe));
  }

  // RAM: the 16 MiB the block's discovery reserves at the block's address, and at least 32 MiB.
  uint64_t ramTop = 32u << 20;
  if (p.outputBlockAddress < kRamLimit)
    ramTop = std::max(ramTop, std::min(kRamLimit, p.outputBlockAddress + std::max<uint64_t>(kReservedBlockSize,
                                                                                         p.outputBlock.size())));
  f.layout.ramMiB = static_cast<uint32_t>((ramTop + (1u << 20) - 1) >> 20);
  return f;
}

}  // namespace zarn::qemu
