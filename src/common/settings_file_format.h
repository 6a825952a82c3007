#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace mereval::common {

// The settings file: one "Name=Value" line per value, UTF-8, LF line ends.
//
// - Inside a value "\\", "\r" and "\n" stand for a backslash, CR and LF, so
//   every value keeps to its line; a backslash before any other character is
//   taken as written.
// - Names are matched without regard to case, as registry value names are;
//   the first matching line counts, for reading and for writing alike.
// - Nothing is trimmed: a value may begin or end with blanks, as a registry
//   value may. One CR before the LF is dropped, for files edited on Windows.
// - Lines without "=" and blank lines carry no value and are kept as they are.

// The unescaped bytes of valueName's line, or nothing when no line holds it.
std::optional<QByteArray> FindSettingValue(const QByteArray& fileContents,
                                           const QString& valueName);

// fileContents with valueName set to value: its line is rewritten in place,
// every other line kept byte for byte; a new name gets a line at the end.
QByteArray WithSettingValue(const QByteArray& fileContents, const QString& valueName,
                            const QByteArray& value);

}  // namespace mereval::common
