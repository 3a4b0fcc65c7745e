#pragma once
// The widget as QUORVIL_SCREENSHOT_DIR/NAME.png for the docs, when that is set.
#include <QDir>
#include <QPixmap>
#include <QWidget>

#include "testing.h"

inline void SaveScreenshot(QWidget* widget, const char* name)
{
    const char* dir = std::getenv("QUORVIL_SCREENSHOT_DIR");
    if (!dir || !*dir || !widget)
        return;
    QDir().mkpath(QString::fromUtf8(dir));
    widget->grab().save(QString::fromUtf8(dir) + "/" + QString::fromUtf8(name) + ".png");
}
