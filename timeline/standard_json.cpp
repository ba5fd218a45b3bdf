// The standard JSON reader: one pass over the bytes with a cursor that keeps the line and
// column, recursive descent over values, the first fault ends the read.
#include "timeline/standard_json.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "timeline/double_text.h"

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

class Reader {
 public:
  Reader(const char* text, size_t length, TextError* error) : text_(text), length_(length), error_(error) {
    if (length_ >= 3 && memcmp3(text_, "\xEF\xBB\xBF")) pos_ = 3;  // the mark is no character
  }

  bool readDocument(JsonFileValue* root) {
    skipWhitespace();
    if (atEnd()) return fail(here(), "the text holds no JSON value");
    if (!readValue(root, 0)) return false;
    skipWhitespace();
    if (!atEnd()) return fail(here(), "unexpected " + describeHere() + " after the JSON value");
    return true;
  }

 private:
  const char* text_;
  size_t length_;
  TextError* error_;
  size_t pos_ = 0;
  TextPosition cursor_{1, 1};

  static bool memcmp3(const char* a, const char* b) { return a[0] == b[0] && a[1] == b[1] && a[2] == b[2]; }

  bool atEnd() const { return pos_ >= length_; }
  char peek() const { return atEnd() ? '\0' : text_[pos_]; }
  TextPosition here() const { return cursor_; }

  // Moves past one byte, keeping the line and the column (continuation bytes of a UTF-8
  // sequence and carriage returns take no column).
  void advance() {
    const unsigned char c = static_cast<unsigned char>(text_[pos_++]);
    if (c == '\n') {
      cursor_.line += 1;
      cursor_.column = 1;
    } else if (!isContinuation(c) && c != '\r') {
      cursor_.column += 1;
    }
  }

  bool fail(TextPosition at, const std::string& message) {
    error_->position = at;
    error_->message = message;
    return false;
  }

  std::string describeHere() const {
    if (atEnd()) return "end of the text";
    const unsigned char c = static_cast<unsigned char>(text_[pos_]);
    char text[32];
    if (c >= 0x20 && c < 0x7F)
      snprintf(text, sizeof(text), "'%c'", c);
    else if (c < 0x80)
      snprintf(text, sizeof(text), "character 0x%02X", c);
    else
      snprintf(text, sizeof(text), "non-ASCII character");
    return text;
  }

  void skipWhitespace() {
    while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r')) advance();
  }

  bool expect(char c, const char* what) {
    if (peek() != c || atEnd()) return fail(here(), std::string("expected ") + what + ", found " + describeHere());
    advance();
    return true;
  }

  bool readValue(JsonFileValue* node, uint32_t depth) {
    node->position = here();
    switch (peek()) {
      case '{':
        return readObject(node, depth + 1);
      case '[':
        return readArray(node, depth + 1);
      case '"':
        node->kind = JsonFileKind::String;
        return readString(&node->text);
      case 't':
        node->kind = JsonFileKind::Bool;
        node->boolean = true;
        return readLiteral("true");
      case 'f':
        node->kind = JsonFileKind::Bool;
        return readLiteral("false");
      case 'n':
        node->kind = JsonFileKind::Null;
        return readLiteral("null");
      default:
        if (peek() == '-' || isDigit(peek())) return readNumber(node);
        return fail(here(), "expected a value, found " + describeHere());
    }
  }

  bool enter(uint32_t depth) {
    if (depth <= kStandardJsonMaxDepth) return true;
    return fail(here(), "arrays and objects nested deeper than " + std::to_string(kStandardJsonMaxDepth) + " levels");
  }

  bool readObject(JsonFileValue* node, uint32_t depth) {
    if (!enter(depth)) return false;
    node->kind = JsonFileKind::Object;
    advance();
    skipWhitespace();
    if (peek() == '}' && !atEnd()) {
      advance();
      return true;
    }
    for (;;) {
      JsonFileMember member;
      member.namePosition = here();
      if (peek() != '"' || atEnd()) return fail(here(), "expected a member name in double quotes, found " + describeHere());
      if (!readString(&member.name)) return false;
      skipWhitespace();
      if (!expect(':', "':' after the member name")) return false;
      skipWhitespace();
      if (!readValue(&member.value, depth)) return false;
      node->members.push_back(std::move(member));
      skipWhitespace();
      if (peek() == ',' && !atEnd()) {
        advance();
        skipWhitespace();
        continue;
      }
      return expect('}', "',' or '}' after a member");
    }
  }

  bool readArray(JsonFileValue* node, uint32_t depth) {
    if (!enter(depth)) return false;
    node->kind = JsonFileKind::Array;
    advance();
    skipWhitespace();
    if (peek() == ']' && !atEnd()) {
      advance();
      return true;
    }
    for (;;) {
      JsonFileValue element;
      if (!readValue(&element, depth)) return false;
      node->elements.push_back(std::move(element));
      skipWhitespace();
      if (peek() == ',' && !atEnd()) {
        advance();
        skipWhitespace();
        continue;
      }
      return expect(']', "',' or ']' after an element");
    }
  }

  bool readLiteral(const char* word) {
    const TextPosition start = here();
    for (const char* c = word; *c != '\0'; ++c) {
      if (atEnd() || peek() != *c) return fail(start, "expected a value, found an unknown word (only true, false and null)");
      advance();
    }
    return true;
  }

  // -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?
  bool readNumber(JsonFileValue* node) {
    const size_t start = pos_;
    const TextPosition position = here();
    if (peek() == '-') advance();
    if (!isDigit(peek()) || atEnd()) return fail(here(), "expected a digit in a number, found " + describeHere());
    if (peek() == '0') {
      advance();
      if (isDigit(peek()) && !atEnd()) return fail(position, "a number cannot have a leading zero");
    } else {
      while (!atEnd() && isDigit(peek())) advance();
    }
    if (peek() == '.' && !atEnd()) {
      advance();
      if (!isDigit(peek()) || atEnd()) return fail(here(), "expected a digit after the decimal point, found " + describeHere());
      while (!atEnd() && isDigit(peek())) advance();
    }
    if ((peek() == 'e' || peek() == 'E') && !atEnd()) {
      advance();
      if ((peek() == '+' || peek() == '-') && !atEnd()) advance();
      if (!isDigit(peek()) || atEnd()) return fail(here(), "expected a digit in the exponent, found " + describeHere());
      while (!atEnd() && isDigit(peek())) advance();
    }
    node->kind = JsonFileKind::Number;
    node->number = convertNumber(text_ + start, text_ + pos_);
    return true;
  }

  // Beyond the range of a double: the infinity of its sign; below it: zero of its sign.
  static double convertNumber(const char* first, const char* last) {
    double value = 0.0;
    std::from_chars_result result = doubleFromText(first, last, value);
    if (result.ec == std::errc()) return value;
    // Out of range: strtod says which way (the text is a valid number, so it parses).
    std::string copy(first, last);
    return std::strtod(copy.c_str(), nullptr);
  }

  bool readHex4(uint32_t* value) {
    *value = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = peek();
      uint32_t digit;
      if (atEnd()) return fail(here(), "expected four hexadecimal digits after \\u, found end of the text");
      if (isDigit(c))
        digit = uint32_t(c - '0');
      else if (c >= 'a' && c <= 'f')
        digit = uint32_t(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F')
        digit = uint32_t(c - 'A' + 10);
      else
        return fail(here(), "expected four hexadecimal digits after \\u, found " + describeHere());
      *value = *value * 16 + digit;
      advance();
    }
    return true;
  }

  static void appendUtf8(std::string* out, uint32_t codePoint) {
    if (codePoint < 0x80) {
      out->push_back(char(codePoint));
    } else if (codePoint < 0x800) {
      out->push_back(char(0xC0 | (codePoint >> 6)));
      out->push_back(char(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
      out->push_back(char(0xE0 | (codePoint >> 12)));
      out->push_back(char(0x80 | ((codePoint >> 6) & 0x3F)));
      out->push_back(char(0x80 | (codePoint & 0x3F)));
    } else {
      out->push_back(char(0xF0 | (codePoint >> 18)));
      out->push_back(char(0x80 | ((codePoint >> 12) & 0x3F)));
      out->push_back(char(0x80 | ((codePoint >> 6) & 0x3F)));
      out->push_back(char(0x80 | (codePoint & 0x3F)));
    }
  }

  // \uXXXX, with a surrogate pair as two of them.
  bool readUnicodeEscape(std::string* out, TextPosition escapeStart) {
    uint32_t unit = 0;
    if (!readHex4(&unit)) return false;
    if (unit >= 0xDC00 && unit <= 0xDFFF) return fail(escapeStart, "a \\u escape holds a lone low surrogate");
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (peek() != '\\' || pos_ + 1 >= length_ || text_[pos_ + 1] != 'u')
        return fail(escapeStart, "a \\u escape holds a high surrogate without its low surrogate");
      advance();
      advance();
      uint32_t low = 0;
      if (!readHex4(&low)) return false;
      if (low < 0xDC00 || low > 0xDFFF)
        return fail(escapeStart, "a \\u escape holds a high surrogate without its low surrogate");
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    appendUtf8(out, unit);
    return true;
  }

  bool readEscape(std::string* out) {
    const TextPosition start = here();
    advance();  // the backslash
    const char c = peek();
    if (atEnd()) return fail(start, "unterminated string");
    const char* simple = "\"\\/bfnrt";
    const char* decoded = "\"\\/\b\f\n\r\t";
    for (int i = 0; simple[i] != '\0'; ++i) {
      if (c == simple[i]) {
        out->push_back(decoded[i]);
        advance();
        return true;
      }
    }
    if (c == 'u') {
      advance();
      return readUnicodeEscape(out, start);
    }
    return fail(start, "unknown escape \\" + std::string(1, c >= 0x20 && c < 0x7F ? c : '?') +
                           " (JSON knows \\\" \\\\ \\/ \\b \\f \\n \\r \\t \\uXXXX)");
  }

  // One UTF-8 sequence, checked: no overlong forms, no surrogates, nothing above U+10FFFF.
  bool readUtf8Sequence(std::string* out) {
    const TextPosition start = here();
    const unsigned char lead = static_cast<unsigned char>(peek());
    int extra = lead >= 0xF0 && lead <= 0xF4 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 && lead < 0xE0 ? 1 : -1;
    if (lead >= 0xF5 || extra < 0) return fail(start, "invalid UTF-8 in a string");
    uint32_t codePoint = lead & (0x3F >> extra);
    const size_t first = pos_;
    advance();
    for (int i = 0; i < extra; ++i) {
      if (atEnd() || !isContinuation(static_cast<unsigned char>(peek()))) return fail(start, "invalid UTF-8 in a string");
      codePoint = (codePoint << 6) | (static_cast<unsigned char>(peek()) & 0x3F);
      advance();
    }
    const bool overlong = (extra == 2 && codePoint < 0x800) || (extra == 3 && codePoint < 0x10000);
    if (overlong || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
      return fail(start, "invalid UTF-8 in a string");
    out->append(text_ + first, pos_ - first);
    return true;
  }

  bool readString(std::string* out) {
    const TextPosition start = here();
    advance();  // the opening quote
    for (;;) {
      if (atEnd()) return fail(start, "unterminated string");
      const unsigned char c = static_cast<unsigned char>(peek());
      if (c == '"') {
        advance();
        return true;
      }
      if (c == '\\') {
        if (!readEscape(out)) return false;
      } else if (c < 0x20) {
        return fail(here(), c == '\n' ? std::string("unterminated string (a line break inside it must be written \\n)")
                                      : "a control character inside a string must be written as an escape");
      } else if (c < 0x80) {
        out->push_back(char(c));
        advance();
      } else if (!readUtf8Sequence(out)) {
        return false;
      }
    }
  }
};

}  // namespace

bool readStandardJson(const char* text, size_t length, JsonFileValue* root, TextError* error) {
  *root = JsonFileValue{};
  Reader reader(text, length, error);
  if (reader.readDocument(root)) return true;
  *root = JsonFileValue{};
  return false;
}
