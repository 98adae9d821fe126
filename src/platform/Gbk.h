#pragma once
// Code page 936 (GBK), the encoding of Chinese Windows texts: hand-written cfg.ini files and the
// action log file. Characters GBK cannot hold become "?" rather than failing the whole text.
#include <QByteArray>
#include <QString>

namespace platform {

QString DecodeGbk(const QByteArray& bytes);
QByteArray EncodeGbk(const QString& text);

} // namespace platform
