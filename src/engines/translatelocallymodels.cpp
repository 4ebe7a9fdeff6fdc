#include "engines/translatelocallymodels.h"

#include "engines/languagetag.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>

namespace TranslateLocallyModels {

QList<Model> parse(const QJsonValue &data)
{
    // The list is the reply's data itself; some versions wrap it in an object.
    const QJsonArray entries = data.isArray() ? data.toArray() : data.toObject().value(u"models").toArray();
    QList<Model> models;
    for (const QJsonValue &entry : entries) {
        const QJsonObject object = entry.toObject();
        if (object.value(u"local").isBool() && !object.value(u"local").toBool())
            continue;
        Model model;
        model.id = object.value(u"id").toString();
        model.targetTag = object.value(u"trgTag").toString();
        model.type = object.value(u"type").toString();
        const QJsonObject sourceTags = object.value(u"srcTags").toObject();
        model.sourceTags = sourceTags.keys();
        if (model.id.isEmpty() || model.targetTag.isEmpty() || model.sourceTags.isEmpty())
            continue;
        models.append(std::move(model));
    }
    return models;
}

std::optional<QString> choose(const QList<Model> &models, const QString &source, const QString &target)
{
    const Model *best = nullptr;
    for (const Model &model : models) {
        if (LanguageTag::normalised(model.targetTag) != target)
            continue;
        const bool readsSource = std::any_of(
            model.sourceTags.cbegin(), model.sourceTags.cend(),
            [&](const QString &tag) { return LanguageTag::normalised(tag) == source; });
        if (!readsSource)
            continue;
        if (!best || (model.type == u"base" && best->type != u"base"))
            best = &model;
    }
    if (!best)
        return std::nullopt;
    return best->id;
}

} // namespace TranslateLocallyModels
