#pragma once

#include <string>
#include <vector>

#include "platform/Notifier.h"

// Keeps every notification, for tests.
class ScriptedNotifier : public Notifier {
 public:
  struct Sent {
    std::string summary;
    std::string body;
  };
  void Notify(const std::string& summary, const std::string& body) override {
    sent.push_back({summary, body});
  }
  std::vector<Sent> sent;
};
