#pragma once

class QEvent;
class QObject;

// What the event loop asks of the modal window it runs for.
class KZModal {
 public:
  enum Judgement : int { kDispatch = 0, kEnd = 2 };

  virtual ~KZModal() = default;
  // Sees every event first; kEnd ends the loop with `result`.
  virtual int JudgeEvent(QObject* receiver, QEvent* event, int& result) = 0;
  // Asked after each idle pass.
  virtual bool HasEnded() const = 0;
  // False once the window is gone; the loop then ends with -3.
  virtual bool HasWindow() const = 0;
};
