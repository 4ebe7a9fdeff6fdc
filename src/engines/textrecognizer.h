#pragma once

#include "core/result.h"

#include <QCoroTask>
#include <QImage>
#include <QObject>
#include <QString>

// Recognises Chinese and English text in a captured screen region, off the GUI thread.
class TextRecognizer final : public QObject
{
    Q_OBJECT

public:
    explicit TextRecognizer(QObject *parent = nullptr);
    ~TextRecognizer() override;
    Q_DISABLE_COPY_MOVE(TextRecognizer)

    // The recognised text, lines joined by script; a failure's reason is the Chinese text shown to the user
    // ("未识别到文字", or the missing-data message naming tesseract-ocr-chi-sim and tesseract-ocr-eng).
    QCoro::Task<Result<QString>> recognize(QImage image);
};
