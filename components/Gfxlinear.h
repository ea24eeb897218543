#pragma once

#include <QPointer>
#include <cstdint>

#include "components/Gfxbase.h"

// A horizontal linear gauge: a rail between two posts with a marker whose
// column shows State between LowPos and HighPos. State -1 means "no
// position" and shows a red cross over the upper half. Instead of its own
// marker the gauge can move another graphic control, its payload, along the
// rail; the payload must share the gauge's parent, since its position is
// computed in the parent's coordinates.
class Tgfxlinear : public Tgfxbase {
 public:
  explicit Tgfxlinear(QWidget* parent = nullptr);

  // Stores the state clamped to LowPos .. HighPos; -1 is kept as it is.
  void Set_State(int state) override;
  // A negative low position is ignored.
  void Set_LowPos(int position);
  void Set_HighPos(int position);
  // The payload is not owned; nullptr removes it.
  void SetPayLoad(Tgfxbase* payload);

  int LowPos() const { return low_pos_; }
  int HighPos() const { return high_pos_; }
  Tgfxbase* PayLoad() const { return payload_; }

  // As the base, then moves the payload to where the last drawing put it.
  void Paint() override;

 protected:
  void NewDimensions() override;
  void DrawComponent() override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void PlacePayLoad();
  void SetPayLoadPosition(int64_t left, int64_t top);

  int low_pos_ = 0;
  int high_pos_ = 100;
  // Watched, so a payload destroyed without being cleared first is simply
  // dropped instead of being used after its end.
  QPointer<Tgfxbase> payload_;
  int payload_left_ = 0;
  int payload_top_ = 0;
  double pixels_per_step_ = 0.0;
  double pixel_offset_ = 4.0;
  // Set while the payload is being moved, so that payloads carrying each
  // other do not repaint one another endlessly.
  bool placing_payload_ = false;
};
