#include "engines/textrecognizer.h"

TextRecognizer::TextRecognizer(QObject *parent)
    : QObject(parent)
{ }

TextRecognizer::~TextRecognizer() = default;

QCoro::Task<Result<QString>> TextRecognizer::recognize(QImage image)
{
    Q_UNUSED(image);
    co_return Failure{QStringLiteral("未识别到文字")};
}
