#pragma once
// Pages with known text for the text-recognition tests and benchmark: an English paragraph above
// a Chinese one, drawn at one text height (the font's pixel size) with the CJK fonts the set-up
// installs, black on white. Also the character error rate by which a recognised text is judged.

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <vector>

#include "image/dib_image.h"

struct OcrTestPage {
    QImage image;  // RGB32, white background
    QRect englishBlock;
    QRect chineseBlock;
};

inline QString OcrTestEnglish() {
    return QStringLiteral(
        "Paper goes under the camera and comes back as words you can search, copy and edit. "
        "Invoice 2024-117 lists 36 boxes of index cards, delivered on Monday morning.");
}

inline QString OcrTestChinese() {
    return QStringLiteral(
        "把文件放在镜头下面拍成清晰的图片，程序再把图片中的文字变成可以复制和编辑的文本。"
        "学生的作业、合同和发票都能这样保存下来。");
}

// A page `width` pixels wide, as tall as its two paragraphs need (at least minHeight); margins of
// one text height. 1240 x 1754 is an A4 sheet at 150 dots per inch.
inline OcrTestPage RenderOcrTestPage(int textHeight, int width = 1240, int minHeight = 0) {
    const int margin = std::max(textHeight, 40);
    const QRect column(margin, margin, width - 2 * margin, 100000);
    QFont english(QStringLiteral("Noto Sans CJK SC"));
    english.setPixelSize(textHeight);
    QFont chinese(QStringLiteral("Noto Serif CJK SC"));
    chinese.setPixelSize(textHeight);
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;

    QImage probe(1, 1, QImage::Format_RGB32);
    QPainter measure(&probe);
    measure.setFont(english);
    const QRect englishBlock = measure.boundingRect(column, flags, OcrTestEnglish());
    measure.setFont(chinese);
    QRect chineseBlock = measure.boundingRect(column, flags, OcrTestChinese());
    chineseBlock.moveTop(englishBlock.bottom() + 2 * textHeight);
    measure.end();

    OcrTestPage page;
    page.englishBlock = englishBlock;
    page.chineseBlock = chineseBlock;
    page.image =
        QImage(width, std::max(minHeight, chineseBlock.bottom() + margin), QImage::Format_RGB32);
    page.image.fill(Qt::white);
    QPainter p(&page.image);
    p.setPen(Qt::black);
    p.setFont(english);
    p.drawText(englishBlock, flags, OcrTestEnglish());
    p.setFont(chinese);
    p.drawText(chineseBlock, flags, OcrTestChinese());
    return page;
}

// The page as the program holds pictures: 24 bits, rows bottom-up.
inline CDibImage ToDib(const QImage& image) {
    const QImage bgr = image.convertToFormat(QImage::Format_BGR888);
    CDibImage dib;
    dib.CreateFromPixels(bgr.constBits(), uint32_t(bgr.width()), uint32_t(bgr.height()), 24,
                         uint32_t(bgr.bytesPerLine()), true);
    return dib;
}

// The recognised text's Chinese lines (those holding Chinese characters) or its other lines.
inline QString OcrLinesOf(const QString& text, bool chinese) {
    QStringList lines;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const bool hasChinese = std::any_of(line.begin(), line.end(), [](QChar c) {
            return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF;
        });
        if (hasChinese == chinese && !line.trimmed().isEmpty())
            lines << line;
    }
    return lines.join(QLatin1Char(' '));
}

// Text as it is compared: runs of white space become one space (none at all for Chinese, where
// spaces carry no meaning), and the ASCII forms of common punctuation count as the full-width
// ones.
inline QString NormaliseOcrText(const QString& text, bool chinese) {
    QString out = text.simplified();
    if (chinese) {
        out.remove(QLatin1Char(' '));
        out.replace(QLatin1Char(','), QChar(0xFF0C));
    }
    return out;
}

// Edit distance between recognised and truth, divided by the truth's length.
inline double CharacterErrorRate(const QString& recognised, const QString& truth) {
    const int n = int(recognised.size());
    const int m = int(truth.size());
    std::vector<int> previous(size_t(m) + 1), current(size_t(m) + 1);
    for (int j = 0; j <= m; ++j)
        previous[size_t(j)] = j;
    for (int i = 1; i <= n; ++i) {
        current[0] = i;
        for (int j = 1; j <= m; ++j) {
            const int substitute = previous[size_t(j) - 1] + (recognised[i - 1] != truth[j - 1]);
            current[size_t(j)] =
                std::min({previous[size_t(j)] + 1, current[size_t(j) - 1] + 1, substitute});
        }
        std::swap(previous, current);
    }
    return m == 0 ? (n == 0 ? 0.0 : 1.0) : double(previous[size_t(m)]) / m;
}
