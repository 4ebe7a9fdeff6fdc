#include "app/screentexttranslation.h"

#include "app/applog.h"
#include "desktop/screencapture.h"
#include "engines/textrecognizer.h"
#include "ui/translationviewmodel.h"

ScreenTextTranslation::ScreenTextTranslation(std::function<void()> openPanel,
                                             std::shared_ptr<TranslationViewModel> model, QObject *parent)
    : QObject(parent)
    , m_openPanel(std::move(openPanel))
    , m_model(std::move(model))
{ }

ScreenTextTranslation::~ScreenTextTranslation() = default;

void ScreenTextTranslation::start()
{
    if (!m_capture) {
        m_capture = ScreenCapture::create();
        connect(m_capture.get(), &ScreenCapture::captured, this, &ScreenTextTranslation::recognize);
        connect(m_capture.get(), &ScreenCapture::failed, this, [this](const QString &reason) {
            if (reason.isEmpty())
                return; // the user changed their mind: nothing else happens
            qCWarning(lcApp) << "no screen picture:" << reason;
            m_openPanel();
            m_model->translateWhenReady(
                [](QString why) -> QCoro::Task<Result<QString>> { co_return Failure{std::move(why)}; }(reason));
        });
    }
    m_capture->start();
}

void ScreenTextTranslation::recognize(const QImage &region)
{
    if (!m_recognizer)
        m_recognizer = std::make_unique<TextRecognizer>();
    m_openPanel();
    m_model->translateWhenReady(m_recognizer->recognize(region));
}
