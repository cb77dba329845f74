#include "tools/zarn/Json.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/zarn/Names.h"

namespace zarn::tool {

std::string readFileBytes(const std::string &path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) throw BadInput(fmt::format("{}: cannot read: it is a folder", path));
  std::ifstream in(path, std::ios::binary);
  if (!in) throw BadInput(fmt::format("{}: cannot read: {}", path, std::strerror(errno)));
  std::stringstream text;
  try {
    text << in.rdbuf();
  } catch (const std::exception &) {
    throw BadInput(fmt::format("{}: cannot read", path));
  }
  if (in.bad()) throw BadInput(fmt::format("{}: cannot read", path));
  return text.str();
}

// A message must stay one readable line whatever bytes the input held.
static std::string printable(std::string text) {
  for (char &c : text)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) c = '?';
  return text;
}

Json readJsonFile(const std::string &path) {
  const std::string content = readFileBytes(path);
  try {
    return Json::parse(content);
  } catch (const nlohmann::json::parse_error &e) {
    // nlohmann reports a byte position; turn it into line and column of the text.
    size_t line = 1, column = 1;
    const size_t end = std::min<size_t>(e.byte == 0 ? 0 : e.byte - 1, content.size());
    for (size_t i = 0; i < end; ++i) {
      if (content[i] == '\n') {
        ++line;
        column = 1;
      } else {
        ++column;
      }
    }
    std::string why = e.what();
    // "[json.exception.parse_error.101] parse error at line 1, column 2: syntax error while ..."
    const auto colon = why.find(": ");
    if (colon != std::string::npos) why = why.substr(colon + 2);
    why = printable(why);
    throw BadInput(fmt::format("{}:{}:{}: malformed JSON: {}", path, line, column, why));
  }
}

std::string describe(const Json &value) {
  switch (value.type()) {
    case Json::value_t::object: return "an object";
    case Json::value_t::array: return "a list";
    case Json::value_t::null: return "null";
    default: {
      std::string text = value.dump();
      if (text.size() > 40) text = text.substr(0, 37) + "...";
      return text;
    }
  }
}

void fail(const std::string &path, const std::string &what) {
  throw BadInput(path.empty() ? what : fmt::format("{}: {}", path, what));
}

static std::string limitText(uint64_t max) {
  return max <= 0xFFFF ? fmt::format("{}", max) : fmt::format("0x{:X}", max);
}

uint64_t readNumber(const Json &value, const std::string &path, uint64_t max) {
  uint64_t result = 0;
  if (value.is_number_unsigned()) {
    result = value.get<uint64_t>();
  } else if (value.is_number_integer()) {
    const int64_t v = value.get<int64_t>();
    if (v < 0) fail(path, fmt::format("{} is negative; expected a number 0..{}", describe(value), limitText(max)));
    result = static_cast<uint64_t>(v);
  } else if (value.is_number_float()) {
    fail(path, fmt::format("{} is not a whole number; expected 0..{}", describe(value), limitText(max)));
  } else if (value.is_string()) {
    const std::string text = value.get<std::string>();
    if (text.size() < 3 || (text.compare(0, 2, "0x") != 0 && text.compare(0, 2, "0X") != 0) || text.size() > 18 ||
        text.find_first_not_of("0123456789abcdefABCDEF", 2) != std::string::npos)
      fail(path, fmt::format("{} is not a number; write a JSON number or a \"0x...\" hex string", describe(value)));
    result = std::stoull(text.substr(2), nullptr, 16);
  } else {
    fail(path, fmt::format("expected a number 0..{}, got {}", limitText(max), describe(value)));
  }
  if (result > max) fail(path, fmt::format("{} is out of range 0..{}", describe(value), limitText(max)));
  return result;
}

bool readBool(const Json &value, const std::string &path) {
  if (!value.is_boolean()) fail(path, fmt::format("expected true or false, got {}", describe(value)));
  return value.get<bool>();
}

std::string readString(const Json &value, const std::string &path) {
  if (!value.is_string()) fail(path, fmt::format("expected a string, got {}", describe(value)));
  return value.get<std::string>();
}

uint32_t readStatus(const Json &value, const std::string &path) {
  if (value.is_string()) {
    const std::string text = value.get<std::string>();
    if (text.rfind("EFI_", 0) == 0) {
      if (const auto status = statusFromName(text)) return *status;
      fail(path, fmt::format("{} is not a status name", describe(value)));
    }
  }
  if (!value.is_number() && !value.is_string())
    fail(path, fmt::format("expected a status (an EFI_* name or a number), got {}", describe(value)));
  return static_cast<uint32_t>(readNumber(value, path, 0xFFFFFFFFu));
}

std::vector<uint8_t> readHexBytes(const Json &value, const std::string &path) {
  const std::string text = readString(value, path);
  std::vector<uint8_t> bytes;
  std::string digits;
  for (char c : text) {
    if (c == ' ') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c)))
      fail(path, fmt::format("{} is not a string of hex byte pairs", describe(value)));
    digits.push_back(c);
  }
  if (digits.size() % 2 != 0) fail(path, fmt::format("{} has an odd number of hex digits", describe(value)));
  for (size_t i = 0; i < digits.size(); i += 2)
    bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  return bytes;
}

ObjectReader::ObjectReader(const Json &value, std::string path, std::initializer_list<const char *> keys)
    : value_(value), path_(std::move(path)) {
  if (!value_.is_object()) fail(path_, fmt::format("expected an object, got {}", describe(value_)));
  for (const auto &[key, v] : value_.items()) {
    (void)v;
    if (std::none_of(keys.begin(), keys.end(), [&](const char *k) { return key == k; })) fail(pathOf(key), "unknown key");
  }
}

const Json &ObjectReader::at(const std::string &key) {
  seen_.insert(key);
  const auto it = value_.find(key);
  if (it == value_.end()) fail(pathOf(key), "missing");
  return *it;
}

const Json &ObjectReader::object(const std::string &key) {
  const Json &v = at(key);
  if (!v.is_object()) fail(pathOf(key), fmt::format("expected an object, got {}", describe(v)));
  return v;
}

const Json &ObjectReader::array(const std::string &key) {
  const Json &v = at(key);
  if (!v.is_array()) fail(pathOf(key), fmt::format("expected a list, got {}", describe(v)));
  return v;
}

void ObjectReader::finish() const {
  for (const auto &[key, v] : value_.items()) {
    (void)v;
    if (!seen_.count(key)) fail(pathOf(key), "unknown key");
  }
}

}  // namespace zarn::tool
