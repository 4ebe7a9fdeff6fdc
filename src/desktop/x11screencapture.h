#pragma once

#include "desktop/screencapture.h"

namespace Widgets {
class ScreenRegionPicker;
}

// Grabs every X screen at once and lets the user drag over the frozen pictures.
class X11ScreenCapture final : public ScreenCapture
{
    Q_OBJECT

public:
    explicit X11ScreenCapture(QObject *parent = nullptr);

    void start() override;

private:
    Widgets::ScreenRegionPicker *m_picker;
};
