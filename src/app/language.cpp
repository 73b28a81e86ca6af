#include "app/language.h"

#include <QStringView>

namespace {

constexpr QVLanguageRow kTable[] = {
    {QVLanguage::kEnglish, u"$$English"},
    {QVLanguage::kSimplifiedChinese, u"$$简体中文"},
    {0, u"Set Path"},
    {0, u"路径设置"},
    {0, u"Name File"},
    {0, u"文件命名"},
};

int32_t LanguageFromEnvironment() {
    bool ok = false;
    const int value = qEnvironmentVariableIntValue("QUORVANE_LANGUAGE", &ok);
    return ok ? value : QVLanguage::kSimplifiedChinese;
}

bool IsHeader(const QVLanguageRow& row) {
    return QStringView(row.text).startsWith(u"$$");
}

}  // namespace

QVLanguage::QVLanguage() : QVLanguage(Table(), LanguageFromEnvironment()) {}

QVLanguage::QVLanguage(std::span<const QVLanguageRow> table, int32_t requestedLanguage)
    : table_(table) {
    Init(requestedLanguage);
}

std::span<const QVLanguageRow> QVLanguage::Table() {
    return kTable;
}

void QVLanguage::Init(int32_t requestedLanguage) {
    requestedLanguage_ = requestedLanguage;
    languageCount_ = 0;
    while (static_cast<size_t>(languageCount_) < table_.size() &&
           IsHeader(table_[languageCount_])) {
        ++languageCount_;
    }
    column_ = 0;
    currentLanguage_ = requestedLanguage_;
    for (int i = 0; i < languageCount_; ++i) {
        if (table_[i].key == requestedLanguage_) {
            column_ = i;
            break;
        }
    }
}

QString QVLanguage::Text(int group) const {
    const long long index = column_ + static_cast<long long>(group) * languageCount_;
    if (index < 0 || index >= static_cast<long long>(table_.size())) {
        return QString();
    }
    return QString::fromUtf16(table_[index].text);
}
