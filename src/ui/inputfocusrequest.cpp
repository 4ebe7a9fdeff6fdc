#include "inputfocusrequest.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

InputFocusRequest &InputFocusRequest::instance()
{
    // Owned by the application object, so it goes away with it on the GUI
    // thread; a later application object gets a new one.
    static QPointer<InputFocusRequest> center;
    if (!center) {
        center = new InputFocusRequest;
        center->setObjectName(QString::fromLatin1(name));
        center->setParent(QCoreApplication::instance());
    }
    return *center;
}

void InputFocusRequest::post()
{
    Q_EMIT instance().focusTranslatorInput();
}

void InputFocusRequest::postQueued()
{
    QMetaObject::invokeMethod(&instance(), &InputFocusRequest::focusTranslatorInput, Qt::QueuedConnection);
}
