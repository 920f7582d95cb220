#pragma once

#include "AppPalette.h"

#include <QColor>
#include <QObject>
#include <QtQml/qqmlregistration.h>

class QJSEngine;
class QQmlEngine;

// The palette of the current theme for QML: each named colour follows ThemeManager.isDark, so a
// binding such as `color: AppColors.background` repaints every open window on a theme change.
// `light` and `dark` are the two fixed palettes; `current` is the one in use (handed down as `colors`).
class AppColors : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(AppPalette light READ light CONSTANT)
    Q_PROPERTY(AppPalette dark READ dark CONSTANT)
    Q_PROPERTY(AppPalette current READ current NOTIFY changed)
    Q_PROPERTY(QColor background READ background NOTIFY changed)
    Q_PROPERTY(QColor foreground READ foreground NOTIFY changed)
    Q_PROPERTY(QColor card READ card NOTIFY changed)
    Q_PROPERTY(QColor cardForeground READ cardForeground NOTIFY changed)
    Q_PROPERTY(QColor popover READ popover NOTIFY changed)
    Q_PROPERTY(QColor popoverForeground READ popoverForeground NOTIFY changed)
    Q_PROPERTY(QColor primary READ primary NOTIFY changed)
    Q_PROPERTY(QColor primaryForeground READ primaryForeground NOTIFY changed)
    Q_PROPERTY(QColor secondary READ secondary NOTIFY changed)
    Q_PROPERTY(QColor secondaryForeground READ secondaryForeground NOTIFY changed)
    Q_PROPERTY(QColor muted READ muted NOTIFY changed)
    Q_PROPERTY(QColor mutedForeground READ mutedForeground NOTIFY changed)
    Q_PROPERTY(QColor accent READ accent NOTIFY changed)
    Q_PROPERTY(QColor accentForeground READ accentForeground NOTIFY changed)
    Q_PROPERTY(QColor destructive READ destructive NOTIFY changed)
    Q_PROPERTY(QColor border READ border NOTIFY changed)
    Q_PROPERTY(QColor input READ input NOTIFY changed)
    Q_PROPERTY(QColor ring READ ring NOTIFY changed)

public:
    static AppColors &shared();
    static AppColors *create(QQmlEngine *, QJSEngine *);

    AppPalette light() const { return AppPalette::light(); }
    AppPalette dark() const { return AppPalette::dark(); }
    AppPalette current() const;
    QColor background() const { return current().background; }
    QColor foreground() const { return current().foreground; }
    QColor card() const { return current().card; }
    QColor cardForeground() const { return current().cardForeground; }
    QColor popover() const { return current().popover; }
    QColor popoverForeground() const { return current().popoverForeground; }
    QColor primary() const { return current().primary; }
    QColor primaryForeground() const { return current().primaryForeground; }
    QColor secondary() const { return current().secondary; }
    QColor secondaryForeground() const { return current().secondaryForeground; }
    QColor muted() const { return current().muted; }
    QColor mutedForeground() const { return current().mutedForeground; }
    QColor accent() const { return current().accent; }
    QColor accentForeground() const { return current().accentForeground; }
    QColor destructive() const { return current().destructive; }
    QColor border() const { return current().border; }
    QColor input() const { return current().input; }
    QColor ring() const { return current().ring; }

    Q_INVOKABLE static QColor colorFromHex(const QString &hex);

signals:
    void changed();

private:
    explicit AppColors(QObject *parent = nullptr);
};
