#include "preview/mail_link.h"

namespace preview {
namespace {

bool Unreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~';
}

}  // namespace

std::string PercentEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() * 3);
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += "%0D%0A";
    } else if (Unreserved(c)) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string ErrorMailLink(std::string_view address, std::string_view product, std::string_view error_text) {
  std::string body = "Here is the error message that I get: \n";
  body += error_text;
  std::string link = "mailto:";
  link += address;
  link += "?subject=";
  link += PercentEncode(product);
  link += "&body=";
  link += PercentEncode(body);
  return link;
}

}  // namespace preview
