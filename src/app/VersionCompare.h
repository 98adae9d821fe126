#pragma once
#include <QString>

// Compares dotted versions part by part as integers (a missing or non-numeric part counts as
// 0): the first non-zero difference a_i - b_i, or 0 when all parts are equal.
int CompareVersions(const QString& a, const QString& b);
