// The same scenario booted on the host's simulated machine (`zarn boot`) and on the emulated PC with the
// IA32 images executed in place (`zarn qemu`) must leave the same results: module and constructor
// statuses, every HOB's bytes, the PPIs, the accessor results, the module messages (apart from the
// addresses of objects that live in different places on the two targets) and the bytes each UART sent.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

namespace {

using Json = nlohmann::json;

struct Output {
  int status = -1;
  std::string out;
};

Output run(const std::string &command) {
  Output r;
  FILE *pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return r;
  std::array<char, 65536> buffer;
  for (size_t n; (n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) r.out.append(buffer.data(), n);
  const int status = pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

Json report(const std::string &command, const std::string &scenario) {
  const Output r = run(std::string(ZARN_TOOL) + " " + command + " --json " + scenario);
  if (r.status != 0) {
    ADD_FAILURE() << "zarn " << command << " " << scenario << " exited " << r.status << ":\n" << r.out;
    return Json::object();
  }
  // Notes on standard error come before the report.
  const size_t start = r.out.find("\n{");
  return Json::parse(r.out[0] == '{' ? r.out : r.out.substr(start + 1));
}

// The two messages that print where a record lives: the hole map (the platform module's data) and the
// info HOB's data (inside the HOB list).
std::string withoutAddresses(const std::string &text) {
  static const std::regex address("(HoleMapPtr: |QuilInfoPtr )[0-9A-F]+");
  return std::regex_replace(text, address, "$1<address>");
}

uint64_t le64(const std::string &hex, size_t byte) {
  uint64_t v = 0;
  for (size_t i = 0; i < 8; ++i) v |= std::stoull(hex.substr(2 * (byte + i), 2), nullptr, 16) << (8 * i);
  return v;
}

// The hand-off HOB holds the list's own addresses: compare its version and boot mode, and where the
// free memory and the end lie relative to the list's start.
Json handoffShape(const Json &hob) {
  const std::string d = hob.at("data");
  const uint64_t bottom = le64(d, 16);
  return {{"header", d.substr(0, 16)}, {"top", le64(d, 8) - bottom}, {"freeTop", le64(d, 24) - bottom},
          {"freeBottom", le64(d, 32) - bottom}, {"end", le64(d, 40) - bottom}};
}

Json comparable(Json r) {
  r.erase("emulator");
  for (Json &m : r["messages"]) m["text"] = withoutAddresses(m["text"]);
  for (Json &h : r["hobs"])
    if (h["type"] == 1) h["data"] = handoffShape(h);
  return r;
}

std::vector<std::string> scenarios() {
  std::vector<std::string> names = {"default"};
  for (const auto &e : std::filesystem::directory_iterator(ZARN_QEMU_SCENARIOS))
    if (e.path().extension() == ".json") names.push_back(e.path().stem().string());
  std::sort(names.begin() + 1, names.end());
  return names;
}

class Parity : public testing::TestWithParam<std::string> {};

TEST_P(Parity, HostAndEmulatorLeaveTheSameResults) {
  const std::string file = GetParam() == "default" ? "" : std::string(ZARN_QEMU_SCENARIOS) + "/" + GetParam() + ".json";
  const Json host = report("boot", file);
  const Json emulated = report("qemu", file);
  ASSERT_FALSE(host.empty());
  ASSERT_FALSE(emulated.empty());

  // The emulator ran the images it was given and measured their stacks.
  const Json &stack = emulated.at("emulator").at("stackPeakBytes");
  for (const char *module : {"Dramatlas", "Quilkeep"}) {
    ASSERT_TRUE(stack.contains(module)) << module;
    EXPECT_GT(stack[module].get<int>(), 12) << module;    // at least its arguments and return address
    EXPECT_LT(stack[module].get<int>(), 0x20000) << module;  // inside the measured stack
  }
  EXPECT_TRUE(emulated.at("emulator").at("foundationReports").empty());

  const Json a = comparable(host), b = comparable(emulated);
  for (const auto &[key, value] : a.items()) {
    ASSERT_TRUE(b.contains(key)) << key;
    if (value.is_array() && b[key].is_array()) {
      ASSERT_EQ(value.size(), b[key].size()) << key;
      for (size_t i = 0; i < value.size(); ++i)
        EXPECT_EQ(value[i], b[key][i]) << key << "[" << i << "]\n host:     " << value[i].dump()
                                       << "\n emulator: " << b[key][i].dump();
    } else {
      EXPECT_EQ(value, b[key]) << key << "\n host:     " << value.dump() << "\n emulator: " << b[key].dump();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, Parity, testing::ValuesIn(scenarios()),
                         [](const testing::TestParamInfo<std::string> &info) {
                           std::string name = info.param;
                           for (char &c : name)
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

// The IA32-only checks: each runs in the emulator and reports pass or fail by name.
TEST(SelfTest, EveryIa32CheckPasses) {
  const Json r = report("qemu --self-test", "");
  ASSERT_FALSE(r.empty());
  std::vector<std::string> names;
  for (const Json &t : r.at("emulator").at("selfTests")) {
    names.push_back(t.at("check"));
    EXPECT_TRUE(t.at("passed").get<bool>()) << t.dump();
  }
  const std::vector<std::string> expected = {
      "sidt-six-byte-image",    "services-pointer-cell", "services-table-layout",
      "varargs-64bit-two-slots", "print-64bit-then-32bit", "print-32bit-from-64bit-slots",
      "print-hi-lo-message-slots", "copymem-to-top-6",   "copymem-to-top-7",
      "copymem-from-top-6",     "copymem-from-top-7",    "clearmem-top-6",
      "clearmem-top-7",         "accessor-table-layout", "completion-ppi-layout"};
  EXPECT_EQ(names, expected);
}

// A scenario the emulator cannot show is refused as bad input, in one line.
TEST(Refusal, OutputBlockInTheBootsOwnRamIsBadInput) {
  const std::string dir = testing::TempDir();
  const std::string file = dir + "/low-block.json";
  FILE *f = fopen(file.c_str(), "w");
  ASSERT_NE(f, nullptr);
  fputs(R"({ "outputBlock": { "address": "0x10000" } })", f);
  fclose(f);
  const Output r = run(std::string(ZARN_TOOL) + " qemu --json " + file);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("lies in the RAM the emulator boot uses"), std::string::npos) << r.out;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
}

}  // namespace
