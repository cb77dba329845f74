// A debug library for unit tests: records every assertion report and DEBUG message instead of
// writing them, so that a test can assert exactly which checks fired.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zarn::test {

struct AssertReport {
  std::string sourcePath;
  uint64_t line;
  std::string expression;
};

struct DebugMessage {
  uint32_t level;
  std::string text;  // formatted with the project's print engine when it is linked, else the format
};

enum class DebugEvent { Assert, Message };

struct DebugRecord {
  std::vector<AssertReport> asserts;
  std::vector<DebugMessage> messages;
  std::vector<DebugEvent> events;  // the kind of every report, in the order they were made
  void clear() {
    asserts.clear();
    messages.clear();
    events.clear();
  }
  std::vector<std::string> expressions() const {
    std::vector<std::string> out;
    for (const auto &a : asserts) out.push_back(a.expression);
    return out;
  }
};

DebugRecord &debugRecord();

}  // namespace zarn::test
