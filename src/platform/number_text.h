#pragma once
// Numbers typed by users or written by hand into the settings file are read the lenient way the
// program always read them: the value of the leading digits, never an error.

#include <QStringView>
#include <cstdint>

// Skips leading white space, takes an optional sign and the decimal digits that follow, and
// stops at the first other character. No digits give 0; a value beyond the int32 range is
// clamped to it.
int32_t ParseLeadingInt(QStringView text);
