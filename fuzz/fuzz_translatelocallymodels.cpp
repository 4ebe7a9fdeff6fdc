// A ListModels reply from a translateLocally worker, and the choice of a model
// from it for both directions.
#include "engines/translatelocallymodels.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdlib>
#include <utility>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QJsonDocument reply = QJsonDocument::fromJson(
        QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    const QList<TranslateLocallyModels::Model> models = TranslateLocallyModels::parse(reply.object().value(u"data"));
    const std::pair<QString, QString> directions[] = {{QStringLiteral("zh"), QStringLiteral("en")},
                                                      {QStringLiteral("en"), QStringLiteral("zh")}};
    for (const auto &[source, target] : directions) {
        const std::optional<QString> chosen = TranslateLocallyModels::choose(models, source, target);
        const bool listed = std::any_of(models.cbegin(), models.cend(),
                                        [&](const auto &model) { return chosen && model.id == *chosen; });
        if (chosen && !listed)
            std::abort();
    }
    return 0;
}
