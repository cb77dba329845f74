// Runs the zarn executable as a user would and checks its JSON against values taken from the module
// texts and the scenario files; every bad input must end with exactly one line on stderr and status 2.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::json;
namespace fs = std::filesystem;

struct ToolRun {
  int status;
  std::string out, err;
};

std::string slurp(const fs::path &p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class ZarnTool : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("zarn-tool-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  ToolRun zarn(const std::string &args) {
    const fs::path out = dir_ / "stdout", err = dir_ / "stderr";
    const std::string command = std::string(ZARN_TOOL) + " " + args + " >" + out.string() + " 2>" + err.string();
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(out), slurp(err)};
  }

  static std::string scenario(const std::string &name) { return std::string(ZARN_TOOL_SCENARIOS) + "/" + name; }

  Json boot(const std::string &name) {
    const ToolRun r = zarn("boot --json " + scenario(name));
    EXPECT_EQ(r.status, 0) << r.err;
    return Json::parse(r.out);
  }

  fs::path write(const std::string &name, const std::string &content) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << content;
    return p;
  }

  fs::path dir_;
};

std::vector<std::string> textsOf(const Json &report, const std::string &module) {
  std::vector<std::string> out;
  for (const Json &m : report["messages"])
    if (m["module"] == module) out.push_back(m["text"]);
  return out;
}

std::vector<std::string> hobNames(const Json &report) {
  std::vector<std::string> out;
  for (const Json &h : report["hobs"]) {
    const int type = h["type"];
    if (type == 4) out.push_back(h["name"]);
    else if (type == 2) out.push_back("allocation");
    else if (type == 1) out.push_back("hand-off");
    else if (type == 0xFFFF) out.push_back("end");
  }
  return out;
}

std::vector<std::string> ppiNames(const Json &report) {
  std::vector<std::string> out;
  for (const Json &p : report["ppis"]) out.push_back(p["name"]);
  return out;
}

const Json &hobNamed(const Json &report, const std::string &name) {
  for (const Json &h : report["hobs"])
    if (h.contains("name") && h["name"] == name) return h;
  static const Json none;
  return none;
}

TEST_F(ZarnTool, DefaultPlatformBootsWithEveryModuleAndAccessorSucceeding) {
  const Json r = boot("default.json");
  EXPECT_EQ(r["modules"], Json::parse(R"([
    {"name": "Dramatlas", "status": "EFI_SUCCESS", "constructors": [
      {"name": "SerialInitialize", "status": "EFI_SUCCESS"},
      {"name": "AcpiTimerLibConstructor", "status": "EFI_SUCCESS"}]},
    {"name": "Quilkeep", "status": "EFI_SUCCESS", "constructors": [
      {"name": "SerialInitialize", "status": "EFI_SUCCESS"},
      {"name": "AcpiTimerLibConstructor", "status": "EFI_SUCCESS"},
      {"name": "ZarnKovQuilLibConstructor", "status": "EFI_SUCCESS"}]}])"));
  EXPECT_EQ(hobNames(r), (std::vector<std::string>{"hand-off", "gZarnMemoryInfoHobGuid", "gMemoryConfigInfoDataHobGuid",
                                                   "gZarnQuilInfoHobGuid", "allocation", "end"}));
  EXPECT_EQ(ppiNames(r), (std::vector<std::string>{"gZarnDebugPrintPpiGuid", "gMemoryInformationPpiGuid",
                                                   "gMemoryHobsReadyPpiGuid", "gZarnQuilAccessorPpiGuid"}));

  // Holes (0xA0000, 384 KiB, 0), (0x7F000000, 16 MiB, 1), (0x80000000, 2 GiB, 2) below 0x480000000.
  const Json &map = hobNamed(r, "gZarnMemoryInfoHobGuid");
  EXPECT_EQ(map["length"], 24 + 22 + 6 * 24);
  EXPECT_EQ(map["decoded"]["descriptors"], Json::parse(R"([
    {"base": "0x0", "size": "0xa0000", "attribute": 1},
    {"base": "0xa0000", "size": "0x60000", "attribute": 2},
    {"base": "0x100000", "size": "0x7ef00000", "attribute": 1},
    {"base": "0x7f000000", "size": "0x1000000", "attribute": 3},
    {"base": "0x80000000", "size": "0x80000000", "attribute": 4},
    {"base": "0x100000000", "size": "0x380000000", "attribute": 1}])"));
  EXPECT_EQ(map["data"].get<std::string>().substr(0, 44), "10010000" "01" "800c" "01" "02" "01" "00400000" "40000000"
                                                           "06000000");

  // Counts 2, 2, 2: a 292-byte record with the array offsets of the layout table.
  const Json &config = hobNamed(r, "gMemoryConfigInfoDataHobGuid");
  EXPECT_EQ(config["length"], 24 + 292);
  EXPECT_EQ(config["decoded"]["arrayOffsets"],
            Json::parse("[116, 124, 156, 172, 188, 204, 212, 220, 228, 236, 244, 252, 260, 268, 276, 284]"));
  EXPECT_EQ(config["decoded"]["arrays"][5], Json::parse("[80, 81, 82, 83, 84, 85, 86, 87]"));

  const Json &info = hobNamed(r, "gZarnQuilInfoHobGuid");
  EXPECT_EQ(info["length"], 40);
  EXPECT_EQ(info["decoded"]["supported"], 1);
  EXPECT_EQ(info["decoded"]["quilAddr"], "0x7f000000");
  for (const Json &h : r["hobs"])
    if (h["type"] == 2) {
      EXPECT_EQ(h["memoryBaseAddress"], "0x7f000000");
      EXPECT_EQ(h["memoryLength"], "0x1000000");
      EXPECT_EQ(h["memoryType"], 10);
    }

  ASSERT_EQ(r["accessors"].size(), 20u);
  for (const Json &a : r["accessors"]) EXPECT_EQ(a["status"], "EFI_SUCCESS") << a.dump();
  EXPECT_EQ(r["accessors"][0]["outputs"], Json::parse("[2]"));              // Dorn instance at 0x30
  EXPECT_EQ(r["accessors"][2]["outputs"], Json::parse("[1]"));              // DIMM configuration updated
  EXPECT_EQ(r["accessors"][9]["outputs"], Json::parse(R"(["0x7f0003b0", 256])"));  // entry 1/15 at 0x380, +0x30
  EXPECT_EQ(r["accessors"][11]["outputs"], Json::parse("[8]"));
  EXPECT_EQ(r["accessors"][14]["outputs"], Json::parse("[288]"));           // word 0x0120 at 0x34
  EXPECT_EQ(r["accessors"][16]["outputs"], Json::parse(R"([1, "0xa0"])"));   // selector 0: byte at 0x154
  EXPECT_EQ(r["accessors"][17]["outputs"], Json::parse("[305419896]"));     // 0x12345678

  const std::vector<std::string> dramatlas = textsOf(r, "Dramatlas");
  ASSERT_FALSE(dramatlas.empty());
  EXPECT_EQ(dramatlas.front(), "    NumOfHoles: 3\r\n");
  EXPECT_EQ(dramatlas.back(), "NumOfAllocInfoHob = 16\r\n");
  EXPECT_EQ(r["messages"][0]["class"], "0x0004000000000000");
  const std::vector<std::string> quilkeep = textsOf(r, "Quilkeep");
  ASSERT_GE(quilkeep.size(), 7u);
  EXPECT_EQ(std::vector<std::string>(quilkeep.begin(), quilkeep.begin() + 7),
            (std::vector<std::string>{"ZarnKovQuilLibConstructor\r\n", "Init QUIL HOB Info struct\r\n",
                                      "QUIL Addr 7F000000\r\n", "QUIL HOB Build Success\r\n",
                                      "QuilkeepDriverEntry >>\r\n", "\tInstall PPI\r\n", "QuilkeepDriverEntry <<\r\n"}));

  EXPECT_EQ(r["serial"], Json::parse(R"({"com1": "", "com2": ""})"));
  EXPECT_EQ(r["uarts"]["com1"]["baud"], 115200);
  EXPECT_EQ(r["uarts"]["com2"]["lineSettings"], "8N1");
  EXPECT_EQ(r["breakpoints"], 0);
  EXPECT_EQ(r["markers"], Json::array());
}

TEST_F(ZarnTool, FaultInjectionCountsOnlyModuleCalls) {
  // InstallPpi failing every time: Dramatlas returns the status; Quilkeep reports and still succeeds.
  Json r = boot("install-ppi-fails.json");
  EXPECT_EQ(r["modules"][0]["status"], "EFI_OUT_OF_RESOURCES");
  EXPECT_EQ(r["modules"][1]["status"], "EFI_SUCCESS");
  EXPECT_EQ(ppiNames(r), (std::vector<std::string>{"gZarnDebugPrintPpiGuid", "gMemoryInformationPpiGuid"}));
  const std::vector<std::string> quilkeep = textsOf(r, "Quilkeep");
  EXPECT_NE(std::find(quilkeep.begin(), quilkeep.end(), "InstallPpi fail\r\n"), quilkeep.end());
  EXPECT_EQ(r["accessors"], Json::array());
  EXPECT_EQ(r["breakpoints"], 1);
  EXPECT_NE(r["serial"]["com1"].get<std::string>().find("ASSERT [Quilkeep] Kov/QuilDrv/Quilkeep/Quilkeep("),
            std::string::npos);

  // The first CreateHob (the memory map) succeeds, every later one fails.
  r = boot("create-hob-fails-after-one.json");
  EXPECT_EQ(r["modules"][0]["status"], "EFI_NOT_FOUND");
  EXPECT_EQ(hobNames(r), (std::vector<std::string>{"hand-off", "gZarnMemoryInfoHobGuid", "end"}));
  const std::vector<std::string> dramatlas = textsOf(r, "Dramatlas");
  EXPECT_EQ(dramatlas.back(), "BuildHobInfo: BuildHobMemoryConfigInfoData FAILED!\r\n");
  const std::vector<std::string> quilkeepAfterFault = textsOf(r, "Quilkeep");
  EXPECT_NE(std::find(quilkeepAfterFault.begin(), quilkeepAfterFault.end(), "QUIL HOB Build fail\r\n"),
            quilkeepAfterFault.end());
  EXPECT_EQ(ppiNames(r), (std::vector<std::string>{"gZarnDebugPrintPpiGuid", "gMemoryInformationPpiGuid",
                                                   "gZarnQuilAccessorPpiGuid"}));

  // The platform's own PPI installs and locates are not counted: the first module call is failed.
  r = boot("locate-fails-once.json");
  EXPECT_EQ(r["modules"][0]["status"], "EFI_DEVICE_ERROR");
  EXPECT_EQ(r["modules"][1]["status"], "EFI_SUCCESS");
  EXPECT_EQ(hobNames(r), (std::vector<std::string>{"hand-off", "gZarnQuilInfoHobGuid", "allocation", "end"}));
  EXPECT_EQ(r["messages"], Json::array());
}

TEST_F(ZarnTool, BrokenFlashAndBlockAreReportedNotRefused) {
  // A corrupt level-1 BIOS directory of line A: the checksum fails, discovery finds nothing.
  Json r = boot("broken-bios-directory.json");
  EXPECT_EQ(hobNames(r), (std::vector<std::string>{"hand-off", "gZarnMemoryInfoHobGuid", "gMemoryConfigInfoDataHobGuid", "end"}));
  std::vector<std::string> quilkeep = textsOf(r, "Quilkeep");
  ASSERT_GE(quilkeep.size(), 3u);
  EXPECT_EQ(quilkeep[2], "QUIL Entry not found\r\n");
  EXPECT_NE(r["serial"]["com1"].get<std::string>().find("): BiosDirSigValid\r\n"), std::string::npos);
  EXPECT_EQ(r["accessors"][0]["status"], "EFI_NOT_FOUND");
  EXPECT_EQ(r["accessors"][0]["outputs"], Json::parse("[0]"));  // slots 0-2 clear their out-parameter
  EXPECT_EQ(r["accessors"][3]["outputs"], Json::parse("[165]"));  // untouched: 0xA5
  EXPECT_EQ(r["accessors"][9]["outputs"], Json::parse(R"(["0xa5a5a5a5a5a5a5a5", 256])"));
  EXPECT_EQ(r["accessors"][11]["status"], "EFI_SUCCESS");

  r = boot("broken-block-signature.json");
  quilkeep = textsOf(r, "Quilkeep");
  ASSERT_GE(quilkeep.size(), 4u);
  EXPECT_EQ(quilkeep[3], "QUIL SIG Check fail, QUIL is not supported\r\n");
  EXPECT_TRUE(hobNamed(r, "gZarnQuilInfoHobGuid").is_null());

  // Version 4 is refused at every lookup; the fixed slot still answers.
  r = boot("old-block-version.json");
  EXPECT_EQ(r["accessors"][0]["status"], "EFI_NOT_FOUND");
  EXPECT_EQ(r["accessors"][0]["outputs"], Json::parse("[42405]"));  // 0xA5A5
  EXPECT_EQ(r["accessors"][1]["outputs"], Json::parse("[8]"));
  quilkeep = textsOf(r, "Quilkeep");
  EXPECT_NE(std::find(quilkeep.begin(), quilkeep.end(), "QUIL version is not supported\r\n"), quilkeep.end());
}

TEST_F(ZarnTool, ExcludedLineAndMissingDebugPrintPpi) {
  Json r = boot("excluded-line.json");
  const std::vector<std::string> quilkeep = textsOf(r, "Quilkeep");
  ASSERT_GE(quilkeep.size(), 2u);
  EXPECT_EQ(quilkeep[0], "ZarnKovQuilLibConstructor\r\n");
  EXPECT_EQ(quilkeep[1], "QuilkeepDriverEntry >>\r\n");
  EXPECT_EQ(r["accessors"], Json::parse(R"([
    {"slot": 0, "name": "GetDornInstanceTrov", "args": [], "status": "EFI_NOT_FOUND", "outputs": [0]},
    {"slot": 9, "name": "GetG1T15BufferTrov", "args": [0], "status": "EFI_NOT_FOUND",
     "outputs": ["0xa5a5a5a5a5a5a5a5", 256]},
    {"slot": 11, "name": "GetFixedByteTrov", "args": [7], "status": "EFI_SUCCESS", "outputs": [8]}])"));

  r = boot("no-debug-print.json");
  EXPECT_EQ(r["messages"], Json::array());
  EXPECT_EQ(r["modules"][0]["status"], "EFI_SUCCESS");
  EXPECT_EQ(r["modules"][1]["status"], "EFI_SUCCESS");
  EXPECT_EQ(hobNames(r), (std::vector<std::string>{"hand-off", "gZarnMemoryInfoHobGuid", "gMemoryConfigInfoDataHobGuid",
                                                   "gZarnQuilInfoHobGuid", "allocation", "end"}));
}

TEST_F(ZarnTool, AccessorEdgesAndSerialSettings) {
  Json r = boot("accessor-edges.json");
  EXPECT_EQ(r["accessors"][0]["outputs"], Json::parse(R"(["0x7f002634"])"));  // record 16 of entry 1/17
  EXPECT_EQ(r["accessors"][1]["status"], "EFI_NOT_FOUND");                     // index 17
  EXPECT_EQ(r["accessors"][1]["outputs"], Json::parse(R"(["0xa5a5a5a5a5a5a5a5"])"));
  EXPECT_EQ(r["accessors"][2]["outputs"], Json::parse(R"([1, "0x101"])"));      // selector 13: width 1, all 32 bits
  EXPECT_EQ(r["accessors"][3]["status"], "EFI_NOT_FOUND");                     // selector 14
  EXPECT_EQ(r["accessors"][3]["outputs"], Json::parse(R"([42405, "0xa5a5a5a5a5a5a5a5"])"));
  EXPECT_EQ(r["accessors"][4]["status"], "EFI_NOT_FOUND");                     // slot 18, index 4
  EXPECT_EQ(r["accessors"][5]["outputs"], Json::parse("[78]"));                // entry offset 0x60
  EXPECT_EQ(r["breakpoints"], 1);

  r = boot("slow-serial-no-holes.json");
  EXPECT_EQ(r["uarts"]["com1"]["divisor"], 6);
  EXPECT_EQ(r["uarts"]["com2"]["baud"], 19200);
  EXPECT_EQ(hobNamed(r, "gZarnMemoryInfoHobGuid")["decoded"]["descriptors"],
            Json::parse(R"([{"base": "0x0", "size": "0x80000000", "attribute": 1}])"));
}

TEST_F(ZarnTool, FlashBuildAndShowFollowTheModules) {
  ToolRun r = zarn("scenario");
  ASSERT_EQ(r.status, 0);
  Json flash = Json::parse(r.out)["flash"];
  flash["patches"] = Json::parse(R"([{"offset": "0x40010", "bytes": "ff"}])");
  const fs::path desc = write("flash.json", flash.dump());
  const fs::path image = dir_ / "flash.bin";
  r = zarn("flash build " + desc.string() + " -o " + image.string());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(fs::file_size(image), 0x1000000u);

  r = zarn("flash show --json " + image.string());
  ASSERT_EQ(r.status, 0) << r.err;
  const Json show = Json::parse(r.out);
  ASSERT_EQ(show["lines"].size(), 5u);
  const Json &a = show["lines"][0];
  EXPECT_EQ(a["table"]["probe"], 6);
  EXPECT_EQ(a["biosDirectory"]["address"], "0xff040000");
  EXPECT_EQ(a["biosDirectory"]["valid"], false);
  EXPECT_EQ(a["kovDirectory"]["valid"], true);
  EXPECT_EQ(a["lookups"]["0x61"], nullptr);
  const Json &b = show["lines"][1];
  EXPECT_EQ(b["biosDirectory"]["valid"], true);
  EXPECT_EQ(b["level2Directory"]["address"], "0xff050000");
  EXPECT_EQ(b["level2Directory"]["entries"][0]["typeName"], "QuilBiosDirType");
  EXPECT_EQ(b["lookups"]["0x61"]["destination"], "0x7f000000");
  EXPECT_EQ(b["lookups"]["0x63"]["location"], "0xff100000");

  // The image boots through a scenario's "image" key, relative to the scenario's folder.
  write("boot.json", R"({"flash": {"image": "flash.bin"}, "cpu": {"line": "B"}})");
  r = zarn("boot --json " + (dir_ / "boot.json").string());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(hobNamed(Json::parse(r.out), "gZarnQuilInfoHobGuid")["decoded"]["quilAddr"], "0x7f000000");
}

TEST_F(ZarnTool, SvgDrawsEveryRange) {
  const fs::path svg = dir_ / "map.svg";
  const ToolRun r = zarn("boot --svg " + svg.string());
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string text = slurp(svg);
  EXPECT_EQ(text.rfind("<svg", 0), 0u);
  for (const char *label : {"#0  0x0 - 0x9FFFF", "#3  0x7F000000 - 0x7FFFFFFF", "#5  0x100000000 - 0x47FFFFFFF"})
    EXPECT_NE(text.find(label), std::string::npos) << label;
}

TEST_F(ZarnTool, BadInputGivesOneLineAndStatusTwo) {
  write("small.bin", std::string(1000, '\0'));
  struct Case {
    const char *name;
    const char *scenario;  // file content; null: the arguments alone
    const char *args;
    const char *message;   // part of the one line
  };
  const Case cases[] = {
      {"unreadable file", nullptr, "boot /nonexistent/zarn.json", "/nonexistent/zarn.json: cannot read"},
      {"malformed JSON", "{\n  \"cpu\": }\n", "boot @", "bad.json:2:10: malformed JSON"},
      {"unknown key", R"({"cpu": {"lines": "A"}})", "boot @", "cpu.lines: unknown key"},
      {"unknown key in a list", R"({"memoryInfo": {"holes": [{"base": 0, "size": 1, "typo": 0}]}})", "boot @",
       "memoryInfo.holes[0].typo: unknown key"},
      {"wrong type", R"({"debugPrintPpi": "yes"})", "boot @", "debugPrintPpi: expected true or false"},
      {"out of range", R"({"cpu": {"apicIdBits": 8}})", "boot @", "cpu.apicIdBits: 8 is out of range"},
      {"bad hex string", R"({"cpu": {"mm0": "0x12G"}})", "boot @", "cpu.mm0:"},
      {"CMOS byte too big", R"({"cmos": {"0x6F": 256}})", "boot @", "cmos.0x6F: 256 is out of range"},
      {"unknown status", R"({"memoryInfo": {"getHoleMapStatus": "EFI_OOPS"}})", "boot @",
       "memoryInfo.getHoleMapStatus:"},
      {"array length", R"({"memoryInfo": {"counts": [1, 1, 1, 0]}})", "boot @", "memoryInfo.arrays[0]: 4 elements"},
      {"accessor arguments", R"({"accessorCalls": [{"slot": 5, "args": [0]}]})", "boot @", "accessorCalls[0].args:"},
      {"field bytes", R"({"outputBlock": {"entries": [{"group": 1, "type": 2, "instance": 0, "fields": {"0x30": "zz"}}]}})",
       "boot @", "outputBlock.entries[0].fields.0x30:"},
      {"flash image size", R"({"flash": {"image": "small.bin"}})", "boot @", "cannot be mapped"},
      {"flash show of a bad size", nullptr, "flash show @small.bin", "cannot be mapped"},
      {"unknown option", nullptr, "boot --frobnicate", "--frobnicate"},
  };
  for (const Case &c : cases) {
    std::string args = c.args;
    if (c.scenario) write("bad.json", c.scenario);
    if (const size_t at = args.find('@'); at != std::string::npos)
      args.replace(at, 1, c.scenario ? (dir_ / "bad.json").string() : (dir_ / "").string());
    const ToolRun r = zarn(args);
    EXPECT_EQ(r.status, 2) << c.name;
    EXPECT_EQ(r.out, "") << c.name;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.name << ": " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.name << ": " << r.err;
  }
}

}  // namespace
