#pragma once
// Characters of Chinese (and Japanese) writing and their full-width punctuation, which stand
// without spaces between words.

inline bool IsWideCharacter(char32_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFF00 && c <= 0xFF60) || (c >= 0x20000 && c <= 0x3FFFF);
}
