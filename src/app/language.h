#pragma once
// The few interface texts that exist in more than one language. The table is laid out in
// groups of one row per language: group 0 holds the language headers ("$$" before the
// language's name, keyed by the language identifier), each later group one text, in the order
// of the header rows. The main window derives from QVLanguage, so it is also the program's
// language object.

#include <QString>

#include <cstdint>
#include <span>

struct QVLanguageRow {
    int32_t key;           // language identifier in a header row; unused in text rows
    const char16_t* text;  // never null
};

class QVLanguage {
public:
    static constexpr int32_t kEnglish = 1033;
    static constexpr int32_t kSimplifiedChinese = 2052;
    // Text groups.
    static constexpr int kStoragePathCaption = 1;
    static constexpr int kFileNamingCaption = 2;

    // The program's own table; the language is 2052 unless the environment variable
    // QUORVANE_LANGUAGE names another identifier (for example 1033).
    QVLanguage();
    QVLanguage(std::span<const QVLanguageRow> table, int32_t requestedLanguage);

    // The text of group k in the chosen language; empty when the table has no such row.
    QString Text(int group) const;

    int32_t RequestedLanguage() const { return requestedLanguage_; }
    int32_t CurrentLanguage() const { return currentLanguage_; }
    int Column() const { return column_; }
    int LanguageCount() const { return languageCount_; }

    static std::span<const QVLanguageRow> Table();

private:
    void Init(int32_t requestedLanguage);

    std::span<const QVLanguageRow> table_;
    int32_t requestedLanguage_ = kSimplifiedChinese;
    int column_ = 0;
    int languageCount_ = 0;
    int32_t currentLanguage_ = kSimplifiedChinese;
};
