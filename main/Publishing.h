#pragma once

#include "config/Mqtt_ini.h"
#include "station/Tpublisher.h"

// The desktop program's publisher (Program().publisher), a sink of its
// station: made at the start with the settings of barometer.ini, and ended
// cleanly, which publishes "offline" and waits a short, bounded time for it
// to go out.
void StartPublishing();
void StopPublishing();
