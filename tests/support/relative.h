#pragma once

#include <QtTest>

#include <cmath>

// actual lies within a fraction `tolerance` of expected; both are said when not.
#define KX_VERIFY_RELATIVE(actual, expected, tolerance)                     \
    QVERIFY2(std::abs(double(actual) / double(expected) - 1) < (tolerance), \
             qPrintable(QString("%1, expected %2").arg(actual).arg(expected)))
