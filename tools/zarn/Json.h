// Reading user-written JSON: numbers as JSON numbers or "0x..." strings, statuses by name, and one
// error type whose message names the path of the offending value. Every reader throws BadInput; the
// command line turns it into one line on standard error and exit status 2.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace zarn::tool {

using Json = nlohmann::ordered_json;

// Input the tool refuses: an unreadable file, malformed JSON, an unknown key, a wrong type or a value
// out of range, an image of a size the modules cannot map.
struct BadInput : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Reads a whole file; an unreadable file (missing, a folder, no permission) is BadInput.
std::string readFileBytes(const std::string &path);

// Reads and parses a JSON file; malformed JSON is reported with its line and column.
Json readJsonFile(const std::string &path);

// Short text of a JSON value for messages ("\"abc\"", "12", "an object").
std::string describe(const Json &value);

[[noreturn]] void fail(const std::string &path, const std::string &what);

// An unsigned integer given as a JSON number or as a "0x..." string, at most `max`.
uint64_t readNumber(const Json &value, const std::string &path, uint64_t max);
bool readBool(const Json &value, const std::string &path);
std::string readString(const Json &value, const std::string &path);
// A status as its EFI_* name or as a number.
uint32_t readStatus(const Json &value, const std::string &path);
// A string of hex byte pairs ("a1b2c3"; blanks between pairs allowed).
std::vector<uint8_t> readHexBytes(const Json &value, const std::string &path);

// An object whose keys are consumed one by one; finish() refuses any key left over.
class ObjectReader {
 public:
  // Refuses at once a key that is not one of `keys`, so a misspelt key is reported as unknown rather than
  // as the key it was meant to be missing.
  ObjectReader(const Json &value, std::string path, std::initializer_list<const char *> keys);
  bool has(const std::string &key) const { return value_.contains(key); }
  const Json &at(const std::string &key);  // the key must exist
  std::string pathOf(const std::string &key) const { return path_.empty() ? key : path_ + "." + key; }
  uint64_t number(const std::string &key, uint64_t max) { return readNumber(at(key), pathOf(key), max); }
  bool boolean(const std::string &key) { return readBool(at(key), pathOf(key)); }
  uint32_t status(const std::string &key) { return readStatus(at(key), pathOf(key)); }
  std::string string(const std::string &key) { return readString(at(key), pathOf(key)); }
  const Json &object(const std::string &key);
  const Json &array(const std::string &key);
  void finish() const;
  const std::string &path() const { return path_; }

 private:
  const Json &value_;
  std::string path_;
  std::set<std::string> seen_;
};

}  // namespace zarn::tool
