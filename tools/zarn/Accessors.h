// The accessor PPI's twenty slots as a caller sees them: name, input arguments, out-parameters.
#pragma once

#include <array>
#include <cstdint>

namespace zarn::tool {

enum class OutKind : uint8_t { U8, U16, U32, U64, Pointer };

struct AccessorSlot {
  const char *name;
  unsigned inputs;                  // UINT32 input arguments, in call order
  std::array<const char *, 5> inputNames;
  unsigned outputs;                 // out-parameters, after the inputs
  std::array<OutKind, 2> outKinds;
  std::array<const char *, 2> outNames;
};

inline constexpr std::array<AccessorSlot, 20> kAccessorSlots = {{
    {"GetDornInstanceTrov", 0, {}, 1, {OutKind::U8}, {"QuilDornInstance"}},
    {"GetDornRecoveryFlagTrov", 0, {}, 1, {OutKind::U8}, {"QuilDornRecoveryFlag"}},
    {"GetDimmCfgUpdatedFlagTrov", 0, {}, 1, {OutKind::U8}, {"DimmCfgUpdatedFlag"}},
    {"GetG3T3Level1ByteTrov", 2, {"instance", "i"}, 1, {OutKind::U8}, {"value"}},
    {"GetG3T3Level2ByteTrov", 3, {"instance", "i", "j"}, 1, {OutKind::U8}, {"value"}},
    {"GetG3T3Level3ByteTrov", 4, {"instance", "i", "j", "k"}, 1, {OutKind::U8}, {"value"}},
    {"GetG3T3Level3DataByteTrov", 5, {"instance", "i", "j", "k", "n"}, 1, {OutKind::U8}, {"value"}},
    {"GetG1T2ArrayByteTrov", 2, {"instance", "index"}, 1, {OutKind::U8}, {"value"}},
    {"GetG1T15ByteTrov", 1, {"instance"}, 1, {OutKind::U8}, {"value"}},
    {"GetG1T15BufferTrov", 1, {"instance"}, 2, {OutKind::Pointer, OutKind::U32}, {"buffer", "size"}},
    {"GetG1T17FirstByteTrov", 1, {"instance"}, 1, {OutKind::U8}, {"value"}},
    {"GetFixedByteTrov", 1, {"ignored"}, 1, {OutKind::U8}, {"value"}},
    {"GetG1T17SecondByteTrov", 1, {"instance"}, 1, {OutKind::U8}, {"value"}},
    {"GetG1T17RecordTrov", 2, {"instance", "index"}, 1, {OutKind::Pointer}, {"record"}},
    {"GetG1T2FirstWordTrov", 1, {"instance"}, 1, {OutKind::U16}, {"value"}},
    {"GetG1T2SecondWordTrov", 1, {"instance"}, 1, {OutKind::U16}, {"value"}},
    {"GetG1T2SelectedValueTrov", 2, {"instance", "selector"}, 2, {OutKind::U16, OutKind::U64}, {"width", "value"}},
    {"GetG3T2DwordTrov", 1, {"ignored"}, 1, {OutKind::U32}, {"value"}},
    {"GetG3T2RecordTrov", 2, {"ignored", "index"}, 1, {OutKind::Pointer}, {"record"}},
    {"GetG7T3WordTrov", 1, {"ignored"}, 1, {OutKind::U16}, {"value"}},
}};

}  // namespace zarn::tool
