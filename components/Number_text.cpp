#include "components/Number_text.h"

#include <charconv>

QString FormatFixed(double value, int decimals) {
  // Large enough for the widest double in fixed notation (309 digits) plus
  // sign, point and the decimals asked for.
  char buffer[400];
  if (decimals < 0) decimals = 0;
  if (decimals > 20) decimals = 20;
  const std::to_chars_result result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (result.ec != std::errc()) return QStringLiteral("?");
  return QString::fromLatin1(buffer, static_cast<int>(result.ptr - buffer));
}

QString FormatSigned(double value, int decimals) {
  const QString text = FormatFixed(value, decimals);
  // "-0.0" and "0.0" both read as no change.
  bool digits = false, nothing = true;
  for (const QChar c : text) {
    if (c.isDigit()) digits = true;
    if (c.isDigit() && c != '0') nothing = false;
  }
  if (digits && nothing) return text.startsWith('-') ? text.mid(1) : text;
  return value > 0 && digits ? "+" + text : text;
}

QString PressureText(double mbar, PressureUnit unit) {
  return FormatFixed(PressureIn(unit, mbar), PressureDecimals(unit));
}

QString PressureChangeText(double mbar, PressureUnit unit, int decimals) {
  return FormatSigned(PressureIn(unit, mbar), decimals);
}

QString PressureUnitText(PressureUnit unit) {
  return QString::fromLatin1(PressureUnitName(unit));
}

QString TemperatureText(double celsius, TemperatureUnit unit, int decimals) {
  return FormatFixed(TemperatureIn(unit, celsius), decimals);
}

QString TemperatureUnitText(TemperatureUnit unit) {
  return unit == TemperatureUnit::Fahrenheit ? QString::fromUtf8("\u00b0F")
                                             : QString::fromUtf8("\u00b0C");
}
