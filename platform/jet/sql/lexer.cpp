#include "platform/jet/sql/lexer.h"

#include <algorithm>
#include <cstring>

#include "platform/jet/sql/sql_error.h"
#include "platform/util/digits.h"

namespace jet::sql {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }
using util::IsDigit;
bool IsHexDigit(char c) { return util::HexValue(c) >= 0; }
bool IsWordStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' ||
         static_cast<unsigned char>(c) >= 0x80;
}
bool IsWordPart(char c) { return IsWordStart(c) || IsDigit(c); }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Removes the outer quotes and undoes the doubled closing quote.
void UnquoteInto(std::string_view raw, char close, std::string& out) {
  std::string_view inside = raw.substr(1, raw.size() - 2);
  out.clear();
  out.reserve(inside.size());
  if (close == ']') {
    out.append(inside);
    return;
  }
  while (true) {
    const size_t quote = inside.find(close);
    if (quote == std::string_view::npos) {
      out.append(inside);
      return;
    }
    out.append(inside.substr(0, quote + 1));  // keeps one of the two quotes
    inside.remove_prefix(std::min(quote + 2, inside.size()));
  }
}

}  // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

bool Token::IsKeyword(std::string_view keyword) const {
  return kind == TokenKind::kWord && EqualsIgnoreCase(raw, keyword);
}

std::string Token::Value() const {
  std::string out;
  ValueInto(out);
  return out;
}

void Token::ValueInto(std::string& out) const {
  switch (kind) {
    case TokenKind::kName:
      return UnquoteInto(raw, raw.front() == '[' ? ']' : '"', out);
    case TokenKind::kString:
      return UnquoteInto(raw, '\'', out);
    case TokenKind::kBinary:
      out.assign(raw.substr(2));
      return;
    case TokenKind::kDate:
      out.assign(raw.substr(1, raw.size() - 2));
      return;
    default:
      out.assign(raw);
  }
}

Result<Token> Lexer::Next() {
  std::string_view text = text_;
  size_t i = pos_;
  const size_t n = text.size();
  while (i < n && IsSpace(text[i])) ++i;
  if (i == n) {
    pos_ = n;
    return Token{TokenKind::kEnd, {}, n};
  }
  const size_t start = i;
  const char c = text[i];
  TokenKind kind;
  if (c == '"' || c == '\'' || c == '[') {
    const char close = c == '[' ? ']' : c;
    ++i;
    while (true) {
      if (i >= n) {
        return SqlError(ErrorCode::kSyntax, "Syntax error: the {} opened at position {} is not closed.",
                        c == '\'' ? "text" : "name", start + 1);
      }
      if (text[i] == close) {
        if (close != ']' && i + 1 < n && text[i + 1] == close) {
          i += 2;
          continue;
        }
        ++i;
        break;
      }
      ++i;
    }
    kind = c == '\'' ? TokenKind::kString : TokenKind::kName;
  } else if (c == '#') {
    ++i;
    while (i < n && text[i] != '#' && text[i] != '\n') ++i;
    if (i >= n || text[i] != '#') {
      return SqlError(ErrorCode::kSyntax, "Syntax error: the date opened with '#' at position {} is not closed.",
                      start + 1);
    }
    ++i;
    kind = TokenKind::kDate;
  } else if (c == '0' && i + 1 < n && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
             (i + 2 == n || IsHexDigit(text[i + 2]) || !IsWordPart(text[i + 2]))) {
    // 0x alone is the empty binary value (a zero-length bytea, say).
    i += 2;
    while (i < n && IsHexDigit(text[i])) ++i;
    kind = TokenKind::kBinary;
  } else if (IsDigit(c) || (c == '.' && i + 1 < n && IsDigit(text[i + 1]))) {
    while (i < n && IsDigit(text[i])) ++i;
    if (i < n && text[i] == '.') {
      ++i;
      while (i < n && IsDigit(text[i])) ++i;
    }
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
      size_t e = i + 1;
      if (e < n && (text[e] == '+' || text[e] == '-')) ++e;
      if (e < n && IsDigit(text[e])) {
        i = e;
        while (i < n && IsDigit(text[i])) ++i;
      }
    }
    if (i < n && (IsWordPart(text[i]) || text[i] == '.')) {
      size_t end = i;
      while (end < n && (IsWordPart(text[end]) || text[end] == '.')) ++end;
      return SqlError(ErrorCode::kSyntax, "Syntax error: {} at position {} is not a number.",
                      Shown(text.substr(start, end - start)), start + 1);
    }
    kind = TokenKind::kNumber;
  } else if (IsWordStart(c)) {
    while (i < n && IsWordPart(text[i])) ++i;
    kind = TokenKind::kWord;
  } else if (c == '(' || c == ')' || c == ',' || c == ';' || c == '*' || c == '+' || c == '-' || c == '.' ||
             c == '&') {
    ++i;
    kind = TokenKind::kSymbol;
  } else {
    std::string shown(1, c);
    if (static_cast<unsigned char>(c) < 0x20) shown = fmt::format("\\x{:02x}", static_cast<unsigned char>(c));
    return SqlError(ErrorCode::kSyntax, "Syntax error: unexpected character '{}' at position {}.", shown, start + 1);
  }
  pos_ = i;
  return Token{kind, text.substr(start, i - start), start};
}

Result<std::vector<Token>> Tokenize(std::string_view text) {
  std::vector<Token> tokens;
  Lexer lexer(text);
  while (true) {
    JET_ASSIGN_OR_RETURN(token, lexer.Next());
    tokens.push_back(token);
    if (token.kind == TokenKind::kEnd) return tokens;
  }
}

}  // namespace jet::sql
