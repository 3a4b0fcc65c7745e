#pragma once
// Widget tests render the windows they drive into PNG files for the README
// and the docs: when QUORVIL_SCREENSHOT_DIR is set (make screenshots), the
// widget is grabbed into that folder as NAME.png; otherwise nothing happens.
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
