#include "station/Sample.h"

const char* WeatherText(WeatherClass weather, Precipitation precipitation) {
  switch (weather) {
    case WeatherSunny:
      return "Sunny";
    case WeatherVariable:
      return "Variable";
    case WeatherOvercast:
      return "Overcast";
    case WeatherPrecipitation:
      switch (precipitation) {
        case Precipitation::kRainAndSnow:
          return "Snow & Rain";
        case Precipitation::kSnow:
          return "Snow";
        default:
          return "Rainy";
      }
    default:
      return "";
  }
}

const char* TrendText(TrendClass trend) {
  static const char* const texts[5] = {"thunderstorm", "Long-term low pressure system", "Constant",
                                       "intermediate high pressure system",
                                       "long-term high pressure system"};
  return trend <= TrendSlowUp ? texts[trend] : "";
}
