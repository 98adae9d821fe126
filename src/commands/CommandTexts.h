#pragma once
// The texts the commands show or report, each in one place.
#include <QString>

namespace CommandTexts {

// The standard message box of the commands carries the application's name.
inline const QString kAppCaption = QStringLiteral("Vemo");
inline const QString kBadReference = QStringLiteral("控件指向出错:\n");
inline const QString kCountMismatch = QStringLiteral("参数和值数量不匹配!");
inline const QString kBadParameter = QStringLiteral("参数错误");
inline const QString kNoTable = QStringLiteral("未指定表格id");
inline const QString kSlotRange = QStringLiteral("超出可设置全局变量范围！");

} // namespace CommandTexts
