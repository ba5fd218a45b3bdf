#include "tests/shaders/spirv_reflection.h"

#include <cstdio>
#include <cstdlib>

namespace {

const JsonNode kNull;

struct Parser {
  explicit Parser(const std::string& text) : s(text) {}
  const std::string& s;
  size_t pos = 0;
  std::string error;

  void skipSpace() {
    while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\n' || s[pos] == '\r' || s[pos] == '\t')) ++pos;
  }
  bool fail(const char* what) {
    if (error.empty()) error = std::string(what) + " at offset " + std::to_string(pos);
    return false;
  }
  bool literal(const char* word) {
    size_t n = std::char_traits<char>::length(word);
    if (s.compare(pos, n, word) != 0) return fail("unexpected token");
    pos += n;
    return true;
  }
  bool string(std::string& out) {
    if (pos >= s.size() || s[pos] != '"') return fail("expected string");
    ++pos;
    while (pos < s.size() && s[pos] != '"') {
      char c = s[pos++];
      if (c == '\\') {
        if (pos >= s.size()) return fail("unterminated escape");
        char e = s[pos++];
        // Reflection names are plain identifiers; other escapes keep their letter.
        out.push_back(e == 'n' ? '\n' : e == 't' ? '\t' : e);
      } else {
        out.push_back(c);
      }
    }
    if (pos >= s.size()) return fail("unterminated string");
    ++pos;
    return true;
  }
  bool value(JsonNode& out, int depth) {
    if (depth > 64) return fail("nesting too deep");
    skipSpace();
    if (pos >= s.size()) return fail("unexpected end");
    char c = s[pos];
    if (c == '{') {
      out.kind = JsonNode::Kind::Object;
      ++pos;
      skipSpace();
      if (pos < s.size() && s[pos] == '}') return ++pos, true;
      for (;;) {
        skipSpace();
        std::string key;
        if (!string(key)) return false;
        skipSpace();
        if (pos >= s.size() || s[pos] != ':') return fail("expected ':'");
        ++pos;
        if (!value(out.fields[key], depth + 1)) return false;
        skipSpace();
        if (pos < s.size() && s[pos] == ',') { ++pos; continue; }
        if (pos < s.size() && s[pos] == '}') return ++pos, true;
        return fail("expected ',' or '}'");
      }
    }
    if (c == '[') {
      out.kind = JsonNode::Kind::Array;
      ++pos;
      skipSpace();
      if (pos < s.size() && s[pos] == ']') return ++pos, true;
      for (;;) {
        out.items.emplace_back();
        if (!value(out.items.back(), depth + 1)) return false;
        skipSpace();
        if (pos < s.size() && s[pos] == ',') { ++pos; continue; }
        if (pos < s.size() && s[pos] == ']') return ++pos, true;
        return fail("expected ',' or ']'");
      }
    }
    if (c == '"') {
      out.kind = JsonNode::Kind::String;
      return string(out.text);
    }
    if (c == 't' || c == 'f') {
      out.kind = JsonNode::Kind::Bool;
      out.boolean = c == 't';
      return literal(c == 't' ? "true" : "false");
    }
    if (c == 'n') return literal("null");
    char* end = nullptr;
    out.number = std::strtod(s.c_str() + pos, &end);
    if (end == s.c_str() + pos) return fail("expected value");
    out.kind = JsonNode::Kind::Number;
    pos = static_cast<size_t>(end - s.c_str());
    return true;
  }
};

}  // namespace

const JsonNode& JsonNode::operator[](const std::string& key) const {
  auto it = fields.find(key);
  return it == fields.end() ? kNull : it->second;
}

const JsonNode& JsonNode::operator[](size_t index) const {
  return index < items.size() ? items[index] : kNull;
}

bool parseJson(const std::string& text, JsonNode& out, std::string& error) {
  Parser parser(text);
  out = JsonNode();
  if (!parser.value(out, 0)) {
    error = parser.error;
    return false;
  }
  parser.skipSpace();
  if (parser.pos != text.size()) {
    error = "trailing characters at offset " + std::to_string(parser.pos);
    return false;
  }
  return true;
}

bool reflectSpirv(const std::string& spirvCross, const std::string& spvPath, JsonNode& out,
                  std::string& error) {
  std::string command = "'" + spirvCross + "' '" + spvPath + "' --reflect 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) {
    error = "cannot run " + command;
    return false;
  }
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) text.append(buffer, n);
  int status = pclose(pipe);
  if (status != 0) {
    error = command + " failed: " + text;
    return false;
  }
  return parseJson(text, out, error);
}
