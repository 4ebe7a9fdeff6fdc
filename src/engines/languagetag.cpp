#include "engines/languagetag.h"

#include <QStringList>

QString LanguageTag::normalised(const QString &tag)
{
    const QString lower = tag.trimmed().toLower().replace(QLatin1Char('_'), QLatin1Char('-'));
    const QStringList parts = lower.split(QLatin1Char('-'), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return lower;
    const QString &primary = parts.first();
    if (primary == u"zh" || primary == u"zho" || primary == u"chi" || primary == u"cmn") {
        for (qsizetype i = 1; i < parts.size(); ++i) {
            const QString &part = parts.at(i);
            if (part == u"hant" || part == u"tw" || part == u"hk" || part == u"mo")
                return lower;
        }
        return QStringLiteral("zh");
    }
    if (primary == u"en" || primary == u"eng")
        return QStringLiteral("en");
    return lower;
}
