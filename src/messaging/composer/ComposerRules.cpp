#include "ComposerRules.h"

#include <QJSEngine>
#include <QJSValue>
#include <QVariantMap>

ComposerRules::ComposerRules(QObject *parent)
    : QObject(parent)
{
}

ComposerRules *ComposerRules::create(QQmlEngine *, QJSEngine *engine)
{
    auto *rules = new ComposerRules;
    QJSEngine::setObjectOwnership(rules, QJSEngine::CppOwnership);
    rules->setParent(engine);
    return rules;
}

bool ComposerRules::hasText(const QString &message)
{
    return !message.trimmed().isEmpty();
}

bool ComposerRules::canSend(const QString &message, const QString &uploadStatus)
{
    if (uploadStatus.isNull())
        return hasText(message);
    if (uploadStatus == QLatin1String("failed"))
        return false;
    if (uploadStatus == QLatin1String("uploaded") || uploadStatus == QLatin1String("uploading"))
        return true;
    return hasText(message);
}

bool ComposerRules::canSend(const QString &message, const QVariant &attachedFile)
{
    QVariant file = attachedFile;
    if (file.metaType() == QMetaType::fromType<QJSValue>())
        file = file.value<QJSValue>().toVariant();
    if (!file.isValid() || file.isNull())
        return canSend(message, QString());
    QString status;
    if (file.canConvert<QVariantMap>() && file.metaType() != QMetaType::fromType<QObject *>()) {
        status = file.toMap().value(QStringLiteral("uploadStatus")).toString();
    } else if (QObject *object = file.value<QObject *>()) {
        status = object->property("uploadStatus").toString();
    } else {
        return canSend(message, QString());
    }
    // An attachment whose status is not given counts as pending.
    return canSend(message, status.isNull() ? QStringLiteral("pending") : status);
}
