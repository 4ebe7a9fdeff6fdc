#pragma once

#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The models a translateLocally worker reports for ListModels, and the choice
// of one for a direction.
namespace TranslateLocallyModels {

struct Model {
    QString id; // what Translate expects in "model", e.g. "zh-en-base0"
    QStringList sourceTags;
    QString targetTag;
    QString type; // "base", "tiny", … when reported
};

// Reads the reply's "data". Entries without an id or a target tag, and entries
// marked as not installed locally, are skipped.
QList<Model> parse(const QJsonValue &data);

// The model translating `source` to `target` ("zh" or "en"), compared after
// normalising every tag; a "base" model wins over smaller ones, then the
// first listed.
std::optional<QString> choose(const QList<Model> &models, const QString &source, const QString &target);

} // namespace TranslateLocallyModels
