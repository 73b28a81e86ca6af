#pragma once
// The photos a PDF benchmark makes in its scratch folder, named so that they sort in order.

#include <QString>
#include <QStringList>

inline QString PhotoPath(const QString& folder, int index) {
    return QStringLiteral("%1/photo%2.jpg").arg(folder).arg(index, 3, 10, QLatin1Char('0'));
}

inline QStringList Photos(const QString& folder, int count) {
    QStringList paths;
    for (int i = 0; i < count; ++i)
        paths << PhotoPath(folder, i);
    return paths;
}
