#pragma once
// Finds the font file for a family name, weight and slant with fontconfig.
#include <cstdint>

struct FontFileMatch {
  char path[4096] = {};
  int32_t index = 0;          // face (and named instance) inside the file
  char description[640] = {}; // "Family Style (path)"
  bool substitute = false;    // the requested family was not found
};

// The requested family when the system has it; otherwise the closest sans-serif face
// of the weight (a trailing weight word in the name, such as "Light", overrides
// weight). weight: 0 (normal) or 1..1000 on the OpenType scale. False, with a
// message, when fontconfig cannot load its configuration or finds no font file.
bool matchFontFile(const char* family, int32_t weight, bool italic, FontFileMatch* match);

// Splits a trailing weight word off name ("Corbel Light" -> "Corbel", 300) into base
// (zero-terminated, at most baseSize bytes); returns the OpenType weight, 0 when the
// name ends in no weight word (then base is the whole name).
int32_t splitWeightWord(const char* name, char* base, uint32_t baseSize);

// printf-style: formats a message of the text rasteriser and prints it with osPrint.
void printTextMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
