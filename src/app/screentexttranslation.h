#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QImage;
class ScreenCapture;
class TextRecognizer;
class TranslationViewModel;

// Text on the screen translated: the user selects a region, the panel opens
// busy while the text is read, then translates it as a selection would be.
class ScreenTextTranslation final : public QObject
{
    Q_OBJECT

public:
    // `openPanel` brings the panel up without touching its input.
    ScreenTextTranslation(std::function<void()> openPanel, std::shared_ptr<TranslationViewModel> model,
                          QObject *parent = nullptr);
    ~ScreenTextTranslation() override;
    Q_DISABLE_COPY_MOVE(ScreenTextTranslation)

    void start();

private:
    void recognize(const QImage &region);

    std::function<void()> m_openPanel;
    std::shared_ptr<TranslationViewModel> m_model;
    std::unique_ptr<ScreenCapture> m_capture;
    // Made on first use: an idle program keeps no recogniser.
    std::unique_ptr<TextRecognizer> m_recognizer;
};
