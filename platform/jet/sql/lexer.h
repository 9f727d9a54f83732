#pragma once
// Splits a statement into tokens. A token views the statement text; quoted
// names and strings are unescaped only when the parser takes their value.
//
//   word      letters, digits, "_", "$" and any non-ASCII character; not starting with a digit
//   name      "double quoted" ("" inside) or [bracketed]
//   string    'single quoted' ('' inside)
//   number    digits with at most one full stop and an optional exponent: 12 1.5 .5 1e-3
//   binary    0x followed by hexadecimal digits
//   date      #...#
//   symbol    ( ) , ; * + - .

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/jet/public/result.h"

namespace jet::sql {

enum class TokenKind { kWord, kName, kString, kNumber, kBinary, kDate, kSymbol, kEnd };

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string_view raw;  // as written, quotes included
  size_t offset = 0;     // in the statement text

  // The value: quotes removed and doubled quotes undone for kName/kString,
  // digits after 0x for kBinary, the inside for kDate, `raw` otherwise.
  std::string Value() const;
  // The same into `out`, reusing its buffer.
  void ValueInto(std::string& out) const;
  bool IsSymbol(char c) const { return kind == TokenKind::kSymbol && raw.size() == 1 && raw[0] == c; }
  // A bare word equal to `keyword` without regard to ASCII case.
  bool IsKeyword(std::string_view keyword) const;
};

// Reads tokens one at a time from `position()`; after the last, kEnd tokens.
// A character that starts no token, an unclosed quote or a malformed number
// fails. The parser may move `position` to read part of the text in its own way.
class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}
  Result<Token> Next();
  size_t position() const { return pos_; }
  void set_position(size_t pos) { pos_ = pos; }
  std::string_view text() const { return text_; }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

// All tokens of `text`, ending with a kEnd token.
Result<std::vector<Token>> Tokenize(std::string_view text);

bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace jet::sql
