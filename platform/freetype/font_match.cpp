#include "platform/freetype/font_match.h"

#include <fontconfig/fontconfig.h>
#include <strings.h>

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/os.h"

namespace {

// Tried, in order, after the requested family's own base name when the system lacks the
// family. scripts/setup installs both, so every machine resolves the same face; the
// generic alias keeps machines without them working.
const char* const kSubstituteFamilies[] = {"Open Sans", "DejaVu Sans", "sans-serif"};

struct WeightWord {
  const char* word;
  int32_t weight;
};
const WeightWord kWeightWords[] = {
    {"Thin", 100},      {"Hairline", 100},  {"ExtraLight", 200}, {"UltraLight", 200},
    {"SemiLight", 350}, {"DemiLight", 350}, {"Light", 300},      {"Medium", 500},
    {"SemiBold", 600},  {"DemiBold", 600},  {"ExtraBold", 800},  {"UltraBold", 800},
    {"Bold", 700},      {"Black", 900},     {"Heavy", 900},
};

int fontconfigWeight(int32_t weight) {
  if (weight <= 0) return FC_WEIGHT_REGULAR;
  return FcWeightFromOpenType(weight > 1000 ? 1000 : weight);
}

// Family names compare as fontconfig compares them: case and blanks do not matter.
bool sameFamily(const char* a, const char* b) {
  for (;;) {
    while (*a == ' ') a += 1;
    while (*b == ' ') b += 1;
    if (*a == 0 || *b == 0) return *a == *b;
    if (tolower(static_cast<unsigned char>(*a)) != tolower(static_cast<unsigned char>(*b)))
      return false;
    a += 1;
    b += 1;
  }
}

bool hasFamily(FcPattern* font, const char* family) {
  FcChar8* name = nullptr;
  for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
    if (sameFamily(reinterpret_cast<const char*>(name), family)) return true;
  }
  return false;
}

FcPattern* matchPattern(FcConfig* config, FcPattern* pattern) {
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* font = FcFontMatch(config, pattern, &result);
  FcPatternDestroy(pattern);
  return font;
}

FcPattern* newPattern(int32_t weight, bool italic) {
  FcPattern* pattern = FcPatternCreate();
  if (pattern == nullptr) return nullptr;
  FcPatternAddInteger(pattern, FC_WEIGHT, fontconfigWeight(weight));
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  return pattern;
}

void addFamily(FcPattern* pattern, const char* family) {
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
}

bool describe(FcPattern* font, bool substitute, FontFileMatch* match) {
  FcChar8* file = nullptr;
  if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch || file == nullptr) return false;
  if (strlen(reinterpret_cast<const char*>(file)) + 1 > sizeof(match->path)) return false;
  strcpy(match->path, reinterpret_cast<const char*>(file));
  int index = 0;
  FcPatternGetInteger(font, FC_INDEX, 0, &index);
  match->index = index;
  FcChar8* family = nullptr;
  FcChar8* style = nullptr;
  FcPatternGetString(font, FC_FAMILY, 0, &family);
  FcPatternGetString(font, FC_STYLE, 0, &style);
  snprintf(match->description, sizeof(match->description), "%.160s %.80s (%.380s)",
           family ? reinterpret_cast<const char*>(family) : "?",
           style ? reinterpret_cast<const char*>(style) : "?", match->path);
  match->substitute = substitute;
  return true;
}

}  // namespace

int32_t splitWeightWord(const char* name, char* base, uint32_t baseSize) {
  if (baseSize == 0) return 0;
  snprintf(base, baseSize, "%s", name);
  size_t length = strlen(base);
  while (length > 0 && base[length - 1] == ' ') base[--length] = 0;
  const char* lastSpace = strrchr(base, ' ');
  if (lastSpace == nullptr) return 0;
  for (const WeightWord& entry : kWeightWords) {
    if (strcasecmp(lastSpace + 1, entry.word) != 0) continue;
    size_t baseLength = size_t(lastSpace - base);
    while (baseLength > 0 && base[baseLength - 1] == ' ') baseLength -= 1;
    base[baseLength] = 0;
    return entry.weight;
  }
  return 0;
}

bool matchFontFile(const char* family, int32_t weight, bool italic, FontFileMatch* match) {
  // A configuration of our own, read afresh: nothing global is left behind.
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (config == nullptr) {
    printTextMessage("Text: fontconfig could not load its configuration\n");
    return false;
  }
  bool found = false;
  FcPattern* pattern = newPattern(weight, italic);
  if (pattern != nullptr) {
    addFamily(pattern, family);
    FcPattern* font = matchPattern(config, pattern);
    if (font != nullptr && hasFamily(font, family)) found = describe(font, false, match);
    if (font != nullptr) FcPatternDestroy(font);
  }
  if (!found) {
    char base[256];
    int32_t namedWeight = splitWeightWord(family, base, sizeof(base));
    pattern = newPattern(namedWeight != 0 ? namedWeight : weight, italic);
    if (pattern != nullptr) {
      if (base[0] != 0) addFamily(pattern, base);
      for (const char* substitute : kSubstituteFamilies) addFamily(pattern, substitute);
      FcPattern* font = matchPattern(config, pattern);
      if (font != nullptr) {
        found = describe(font, true, match);
        FcPatternDestroy(font);
      }
    }
  }
  FcConfigDestroy(config);
  if (!found) printTextMessage("Text: no font file found for the face \"%s\"\n", family);
  return found;
}

void printTextMessage(const char* format, ...) {
  char text[4096];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  osPrint(text);
}
