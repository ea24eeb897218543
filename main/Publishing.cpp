// The desktop program's publisher: made with the settings of barometer.ini,
// registered with the station, and ended cleanly.

#include "main/Publishing.h"

#include "config/Tbarometer_ini.h"
#include "main/Program.h"
#include "station/Tstation.h"

void StartPublishing() {
  ProgramState& program = Program();
  if (program.publisher == nullptr) {
    program.publisher = new Tpublisher;
    if (program.station) program.station->AddSink(program.publisher, SinkOrder::kPublisher);
  }
  program.publisher->Apply(LoadMqttSettings(program.ini));
}

void StopPublishing() {
  ProgramState& program = Program();
  Tpublisher* publisher = program.publisher;
  program.publisher = nullptr;
  if (publisher && program.station) program.station->RemoveSink(publisher);
  delete publisher;  // the client publishes "offline" and disconnects
}
