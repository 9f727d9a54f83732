#pragma once
// Just enough JSON for tests that read what tests/readers/dump.mjs prints.

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

struct Json {
  enum Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = kNull;
  bool boolean = false;
  std::string text;  // numbers keep their text
  std::vector<Json> items;
  std::map<std::string, Json> fields;

  const Json& operator[](const std::string& key) const {
    static const Json kMissing;
    auto it = fields.find(key);
    return it == fields.end() ? kMissing : it->second;
  }
};

class JsonParser {
 public:
  explicit JsonParser(std::string_view s) : s_(s) {}
  bool Parse(Json& out) {
    bool ok = Value(out);
    Space();
    return ok && i_ == s_.size();
  }

 private:
  void Space() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t')) ++i_;
  }
  bool Literal(std::string_view word) {
    if (s_.substr(i_, word.size()) != word) return false;
    i_ += word.size();
    return true;
  }
  static void Utf8(std::string& out, unsigned c) {
    if (c < 0x80) out += static_cast<char>(c);
    else if (c < 0x800) { out += static_cast<char>(0xC0 | (c >> 6)); out += static_cast<char>(0x80 | (c & 0x3F)); }
    else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  bool String(std::string& out) {
    if (s_[i_] != '"') return false;
    ++i_;
    while (i_ < s_.size() && s_[i_] != '"') {
      char c = s_[i_++];
      if (c != '\\') { out += c; continue; }
      if (i_ >= s_.size()) return false;
      char e = s_[i_++];
      switch (e) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'u': {
          unsigned c1 = std::strtoul(std::string(s_.substr(i_, 4)).c_str(), nullptr, 16);
          i_ += 4;
          if (c1 >= 0xD800 && c1 < 0xDC00 && s_.substr(i_, 2) == "\\u") {
            unsigned c2 = std::strtoul(std::string(s_.substr(i_ + 2, 4)).c_str(), nullptr, 16);
            if (c2 >= 0xDC00 && c2 < 0xE000) {
              i_ += 6;
              c1 = 0x10000 + ((c1 - 0xD800) << 10) + (c2 - 0xDC00);
            }
          }
          Utf8(out, c1);
          break;
        }
        default: out += e;
      }
    }
    if (i_ >= s_.size()) return false;
    ++i_;
    return true;
  }
  bool Value(Json& v) {
    Space();
    if (i_ >= s_.size()) return false;
    char c = s_[i_];
    if (c == 'n') { v.kind = Json::kNull; return Literal("null"); }
    if (c == 't') { v.kind = Json::kBool; v.boolean = true; return Literal("true"); }
    if (c == 'f') { v.kind = Json::kBool; v.boolean = false; return Literal("false"); }
    if (c == '"') { v.kind = Json::kString; return String(v.text); }
    if (c == '[') {
      v.kind = Json::kArray;
      ++i_;
      Space();
      if (i_ < s_.size() && s_[i_] == ']') { ++i_; return true; }
      while (true) {
        v.items.emplace_back();
        if (!Value(v.items.back())) return false;
        Space();
        if (i_ < s_.size() && s_[i_] == ',') { ++i_; continue; }
        if (i_ < s_.size() && s_[i_] == ']') { ++i_; return true; }
        return false;
      }
    }
    if (c == '{') {
      v.kind = Json::kObject;
      ++i_;
      Space();
      if (i_ < s_.size() && s_[i_] == '}') { ++i_; return true; }
      while (true) {
        Space();
        std::string key;
        if (i_ >= s_.size() || !String(key)) return false;
        Space();
        if (i_ >= s_.size() || s_[i_] != ':') return false;
        ++i_;
        if (!Value(v.fields[key])) return false;
        Space();
        if (i_ < s_.size() && s_[i_] == ',') { ++i_; continue; }
        if (i_ < s_.size() && s_[i_] == '}') { ++i_; return true; }
        return false;
      }
    }
    v.kind = Json::kNumber;
    size_t start = i_;
    while (i_ < s_.size() && std::string_view("+-0123456789.eE").find(s_[i_]) != std::string_view::npos) ++i_;
    v.text = std::string(s_.substr(start, i_ - start));
    return !v.text.empty();
  }

  std::string_view s_;
  size_t i_ = 0;
};

}  // namespace testing_support
