#pragma once

#include <QColor>
#include <QObject>
#include <QtQml/qqmlregistration.h>

// The eighteen named colours of one theme. Screens receive it as their `colors` field.
class AppPalette
{
    Q_GADGET
    QML_VALUE_TYPE(appPalette)
    Q_PROPERTY(QColor background MEMBER background CONSTANT)
    Q_PROPERTY(QColor foreground MEMBER foreground CONSTANT)
    Q_PROPERTY(QColor card MEMBER card CONSTANT)
    Q_PROPERTY(QColor cardForeground MEMBER cardForeground CONSTANT)
    Q_PROPERTY(QColor popover MEMBER popover CONSTANT)
    Q_PROPERTY(QColor popoverForeground MEMBER popoverForeground CONSTANT)
    Q_PROPERTY(QColor primary MEMBER primary CONSTANT)
    Q_PROPERTY(QColor primaryForeground MEMBER primaryForeground CONSTANT)
    Q_PROPERTY(QColor secondary MEMBER secondary CONSTANT)
    Q_PROPERTY(QColor secondaryForeground MEMBER secondaryForeground CONSTANT)
    Q_PROPERTY(QColor muted MEMBER muted CONSTANT)
    Q_PROPERTY(QColor mutedForeground MEMBER mutedForeground CONSTANT)
    Q_PROPERTY(QColor accent MEMBER accent CONSTANT)
    Q_PROPERTY(QColor accentForeground MEMBER accentForeground CONSTANT)
    Q_PROPERTY(QColor destructive MEMBER destructive CONSTANT)
    Q_PROPERTY(QColor border MEMBER border CONSTANT)
    Q_PROPERTY(QColor input MEMBER input CONSTANT)
    Q_PROPERTY(QColor ring MEMBER ring CONSTANT)
    Q_PROPERTY(bool isDark MEMBER isDark CONSTANT)

public:
    QColor background;
    QColor foreground;
    QColor card;
    QColor cardForeground;
    QColor popover;
    QColor popoverForeground;
    QColor primary;
    QColor primaryForeground;
    QColor secondary;
    QColor secondaryForeground;
    QColor muted;
    QColor mutedForeground;
    QColor accent;
    QColor accentForeground;
    QColor destructive;
    QColor border;
    QColor input;
    QColor ring;
    bool isDark = false;

    static const AppPalette &light();
    static const AppPalette &dark();

    friend bool operator==(const AppPalette &, const AppPalette &) = default;
};
