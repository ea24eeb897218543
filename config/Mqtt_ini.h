#pragma once

#include "publish/Tmqtt_client.h"

class Tbarometer_ini;

// The mqtt_ keys of barometer.ini; missing or bad values give the defaults.
TmqttSettings LoadMqttSettings(const Tbarometer_ini& ini);
void StoreMqttSettings(Tbarometer_ini& ini, const TmqttSettings& settings);
