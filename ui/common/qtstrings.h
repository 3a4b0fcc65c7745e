#pragma once
// The model's 8-bit strings (UTF-8 on this platform) as Qt strings and back.
#include <QString>
#include <string>

inline QString ToQt(const std::string& s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

inline std::string FromQt(const QString& s)
{
    return s.toUtf8().toStdString();
}
