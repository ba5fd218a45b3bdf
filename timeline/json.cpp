#include "timeline/json.h"

#include <charconv>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "base/diagnostics.h"
#include "timeline/double_text.h"

namespace {

// What kindAt reports for an index past the last token: matches no kind the parser
// looks for, so every "expected X" check fails with that structure's message.
constexpr TokenKind kNoToken = TokenKind(0xFFFFFFFFu);

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// ---- lexing -------------------------------------------------------------------------

void pushToken(DynamicArray<Token>& tokens, TokenKind kind) {
  Token token{};
  token.kind = kind;
  tokens.push(token);
}

// Integer text is "-" or an optional '-' followed by digits; "-" alone is 0. The
// payload is a 32-bit word: negative text down to -2^31 gives its two's complement,
// and text up to 2^32 - 1 is accepted too, because the writer prints unsigned track
// values and bookmarks that way.
uint32_t convertInteger(const char* first, const char* last, uint32_t line) {
  int64_t value = 0;
  std::from_chars_result result = std::from_chars(first, last, value);
  if (result.ec == std::errc::result_out_of_range || value < int64_t(INT32_MIN) ||
      value > int64_t(UINT32_MAX))
    PANIC("Integer out of the 32-bit range at line %u\n", line);
  if (result.ec != std::errc()) value = 0;
  return uint32_t(value);
}

// Float text holds one '.', e.g. "1.", "-.5" or "-."; converted as a double and then
// rounded to single precision. Text with no digit at all ("-.") is 0.
uint32_t convertFloat(const char* first, const char* last, uint32_t line) {
  double value = 0.0;
  std::from_chars_result result = doubleFromText(first, last, value);
  if (result.ec == std::errc::result_out_of_range || std::fabs(value) > double(FLT_MAX))
    PANIC("Float out of the single-precision range at line %u\n", line);
  if (result.ec != std::errc()) value = 0.0;
  float single = float(value);
  uint32_t word;
  memcpy(&word, &single, sizeof(word));
  return word;
}

void lexNumber(const char* text, uint32_t length, uint32_t& pos, uint32_t line,
               DynamicArray<Token>& tokens) {
  uint32_t start = pos;
  TokenKind kind = TokenKind::IntNumber;
  pos += 1;
  if (pos < length && text[pos] == '.') {
    kind = TokenKind::FloatNumber;
    pos += 1;
  }
  while (pos < length && isDigit(text[pos])) {
    pos += 1;
    if (pos < length && text[pos] == '.') {
      pos += 1;
      if (kind == TokenKind::FloatNumber) PANIC("Invalid token at line %u\n", line);
      kind = TokenKind::FloatNumber;
    }
  }
  Token token{};
  token.kind = kind;
  token.word = kind == TokenKind::IntNumber ? convertInteger(text + start, text + pos, line)
                                            : convertFloat(text + start, text + pos, line);
  tokens.push(token);
}

void lexString(const char* text, uint32_t length, uint32_t& pos, uint32_t& line,
               DynamicArray<Token>& tokens) {
  pos += 1;
  if (pos >= length) PANIC("Incomplete string at line %u\n", line);
  uint32_t start = pos;
  while (text[pos] != '"') {
    if (text[pos] == '\n') line += 1;
    pos += 1;
    if (pos >= length) PANIC("Incomplete string at line %u\n", line);
  }
  Token token{};
  token.kind = TokenKind::String;
  token.string = text + start;
  token.length = pos - start;
  tokens.push(token);
  pos += 1;
}

void lexLiteral(const char* text, uint32_t length, uint32_t& pos, uint32_t line,
                DynamicArray<Token>& tokens) {
  char c = text[pos];
  const char* rest = c == 'n' ? "ull" : c == 't' ? "rue" : "alse";
  uint32_t restLength = c == 'f' ? 4 : 3;
  if (uint64_t(pos) + restLength >= length || memcmp(text + pos + 1, rest, restLength) != 0)
    PANIC("Undefine token at line %u\n", line);
  pushToken(tokens, c == 'n' ? TokenKind::Null : c == 't' ? TokenKind::True : TokenKind::False);
  pos += restLength + 1;
}

void lex(const char* text, uint32_t length, DynamicArray<Token>& tokens) {
  uint32_t pos = 0;
  uint32_t line = 1;
  while (pos < length) {
    char c = text[pos];
    if (c == '-' || isDigit(c)) {
      lexNumber(text, length, pos, line, tokens);
    } else if (c == '"') {
      lexString(text, length, pos, line, tokens);
    } else if (c == 'n' || c == 't' || c == 'f') {
      lexLiteral(text, length, pos, line, tokens);
    } else if (c == '{' || c == '}' || c == '[' || c == ']' || c == ',' || c == ':') {
      TokenKind kind = c == '{'   ? TokenKind::ObjectBegin
                       : c == '}' ? TokenKind::ObjectEnd
                       : c == '[' ? TokenKind::ArrayBegin
                       : c == ']' ? TokenKind::ArrayEnd
                       : c == ',' ? TokenKind::Comma
                                  : TokenKind::Colon;
      pushToken(tokens, kind);
      pos += 1;
    } else if (c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\0') {
      if (c == '\n') line += 1;
      pos += 1;
    } else {
      PANIC("Undefine token at line %u\n", line);
    }
    if (tokens.count > 0) {
      tokens[tokens.count - 1].line = line;
      tokens[tokens.count - 1].end = pos;
    }
  }
}

// ---- parsing ------------------------------------------------------------------------

struct Parser {
  const DynamicArray<Token>& tokens;
  uint32_t depth = 0;

  TokenKind kindAt(uint64_t index) const {
    return index < tokens.count ? tokens[index].kind : kNoToken;
  }
};

bool parseValue(Parser& parser, uint64_t& index, JsonValue* value);

void copyString(const Token& token, JsonValue* value) {
  char* characters = static_cast<char*>(malloc(size_t(token.length) + 1));
  ASSERT(characters != nullptr, "Out of memory copying a JSON string\n");
  if (token.length > 0) memcpy(characters, token.string, token.length);
  characters[token.length] = '\0';
  value->type = JsonValueType::String;
  value->string.characters = characters;
  value->string.length = token.length;
}

void enterStructure(Parser& parser) {
  parser.depth += 1;
  if (parser.depth > kJsonMaxDepth)
    PANIC("JSON nested deeper than %u levels\n", unsigned(kJsonMaxDepth));
}

bool parseObject(Parser& parser, uint64_t& index, JsonValue* value) {
  if (parser.kindAt(index) != TokenKind::ObjectBegin) return false;
  enterStructure(parser);
  JsonObject* object = new JsonObject();
  index += 1;
  while (parser.kindAt(index) == TokenKind::String) {
    JsonMember member{};
    copyString(parser.tokens[index], &member.key);
    index += 1;
    if (parser.kindAt(index) != TokenKind::Colon) PANIC("Missing colon (:) token\n");
    index += 1;
    if (!parseValue(parser, index, &member.value))
      PANIC("Missing value of key \"%s\"\n", member.key.string.characters);
    object->members.push(member);
    if (parser.kindAt(index) != TokenKind::Comma) break;
    index += 1;
  }
  object->count = uint32_t(object->members.count);
  if (parser.kindAt(index) != TokenKind::ObjectEnd) PANIC("Missing }\n");
  index += 1;
  value->type = JsonValueType::Object;
  value->object = object;
  parser.depth -= 1;
  return true;
}

// Looks ahead, consuming nothing: an array whose elements are all integers (or all
// floats), separated by commas or by nothing, up to "]", is stored packed.
ArrayKind classifyArray(const Parser& parser, uint64_t first) {
  TokenKind elementKind = parser.kindAt(first);
  if (elementKind != TokenKind::IntNumber && elementKind != TokenKind::FloatNumber)
    return ArrayKind::Mixed;
  uint64_t element = first;
  for (;;) {
    TokenKind next = parser.kindAt(element + 1);
    if (next == TokenKind::ArrayEnd)
      return elementKind == TokenKind::IntNumber ? ArrayKind::Int : ArrayKind::Float;
    uint64_t candidate = next == TokenKind::Comma ? element + 2 : element + 1;
    if (parser.kindAt(candidate) != elementKind) return ArrayKind::Mixed;
    element = candidate;
  }
}

bool parseArray(Parser& parser, uint64_t& index, JsonValue* value) {
  if (parser.kindAt(index) != TokenKind::ArrayBegin) return false;
  enterStructure(parser);
  JsonArray* array = new JsonArray();
  index += 1;
  array->kind = classifyArray(parser, index);
  if (array->kind == ArrayKind::Mixed) {
    for (;;) {
      JsonValue element{};
      if (!parseValue(parser, index, &element)) break;
      array->values.push(element);
      if (parser.kindAt(index) != TokenKind::Comma) break;
      index += 1;
    }
    array->count = uint32_t(array->values.count);
  } else {
    // The look-ahead guarantees a number of the array's kind after every comma.
    TokenKind elementKind =
        array->kind == ArrayKind::Int ? TokenKind::IntNumber : TokenKind::FloatNumber;
    for (;;) {
      ASSERT(parser.kindAt(index) == elementKind, "Packed JSON array lost its element\n");
      array->words.push(parser.tokens[index].word);
      index += 1;
      if (parser.kindAt(index) != TokenKind::Comma) break;
      index += 1;
    }
    array->count = uint32_t(array->words.count);
  }
  if (parser.kindAt(index) != TokenKind::ArrayEnd) PANIC("Missing ]\n");
  index += 1;
  value->type = JsonValueType::Array;
  value->array = array;
  parser.depth -= 1;
  return true;
}

// Returns false, leaving the value unset and the index unchanged, when the token
// begins no value (or there is no token left).
bool parseValue(Parser& parser, uint64_t& index, JsonValue* value) {
  TokenKind kind = parser.kindAt(index);
  switch (kind) {
    case TokenKind::String:
      copyString(parser.tokens[index], value);
      index += 1;
      return true;
    case TokenKind::IntNumber:
    case TokenKind::FloatNumber:
      value->type = JsonValueType::Number;
      value->number.numberKind = kind;
      value->number.word = parser.tokens[index].word;
      index += 1;
      return true;
    case TokenKind::True:
    case TokenKind::False:
      value->type = JsonValueType::Bool;
      value->boolean = kind == TokenKind::True ? 1 : 0;
      index += 1;
      return true;
    case TokenKind::Null:
      value->type = JsonValueType::Null;
      index += 1;
      return true;
    default:
      if (parseObject(parser, index, value)) return true;
      return parseArray(parser, index, value);
  }
}

void freeValue(JsonValue* value) {
  switch (value->type) {
    case JsonValueType::String:
      free(value->string.characters);
      break;
    case JsonValueType::Object:
      for (JsonMember& member : value->object->members) {
        freeValue(&member.key);
        freeValue(&member.value);
      }
      value->object->members.clear();
      delete value->object;
      break;
    case JsonValueType::Array:
      for (JsonValue& element : value->array->values) freeValue(&element);
      value->array->values.clear();
      value->array->words.clear();
      delete value->array;
      break;
    default:
      break;
  }
  *value = JsonValue{};
  value->type = JsonValueType::Null;
}

}  // namespace

bool parseJson(JsonDocument* document, const char* text, uint32_t length,
               uint32_t tokenCapacityHint) {
  if (text == nullptr || length == 0) return false;
  DynamicArray<Token> tokens;
  if (tokenCapacityHint > 0) tokens.reserve(tokenCapacityHint);
  printMessage("Lexing JSON buffer\n\n");
  lex(text, length, tokens);
  printMessage("Parsing JSON token stream. Token count: %u\n\n", unsigned(tokens.count));
  Parser parser{tokens};
  uint64_t index = 0;
  bool found = parseValue(parser, index, &document->root);
  tokens.clear();
  return found;
}

void freeJsonDocument(JsonDocument* document) { freeValue(&document->root); }

const JsonValue* findMember(const JsonObject* object, const char* key) {
  size_t keyLength = strlen(key);
  for (uint32_t i = 0; i < object->count; ++i) {
    const JsonMember& member = object->members[i];
    if (member.key.string.length == keyLength &&
        memcmp(member.key.string.characters, key, keyLength) == 0)
      return &member.value;
  }
  ASSERT(false, "Failed to find value with key \"%s\"\n\n", key);
  return nullptr;
}
