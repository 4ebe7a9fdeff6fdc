#include "inputfocusrequest.h"

#include <QCoreApplication>
#include <QMetaObject>

InputFocusRequest &InputFocusRequest::instance()
{
    static auto *center = [] {
        auto *object = new InputFocusRequest;
        object->setObjectName(QString::fromLatin1(name));
        // Parented to the application so it is destroyed with it, on its thread.
        if (QCoreApplication::instance())
            object->setParent(QCoreApplication::instance());
        return object;
    }();
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
