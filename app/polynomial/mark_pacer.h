// The progress marks of one phase of the fast engine, written while the work
// proceeds instead of all at its end.
#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>

#include "app/polynomial/polynomial.h"

namespace poly {

// The engine calls Progress every few thousand units of work with the share
// of the phase done so far. Once the phase has run a tenth of a second, and
// every tenth of a second after that, the marks that share has earned are
// written. Finish writes the rest, so a phase always ends with exactly its
// marks, and a short one writes them all at its end.
class MarkPacer {
 public:
  using Clock = std::chrono::steady_clock;

  // `now` tells the time: the steady clock, or a test's own.
  MarkPacer(ProgressOutput& out, double total, Clock::time_point (*now)() = Clock::now)
      : out_(out), total_(total), now_(now), next_(now() + kInterval) {}

  void Progress(double share) {
    const Clock::time_point now = now_();
    if (now < next_) return;
    next_ = now + kInterval;
    const double earned = std::floor(total_ * std::clamp(share, 0.0, 1.0));
    if (earned > written_) {
      out_.Marks(earned - written_);
      written_ = earned;
    }
  }

  void Finish() {
    if (total_ > written_) out_.Marks(total_ - written_);
    written_ = total_;
  }

 private:
  static constexpr std::chrono::milliseconds kInterval{100};

  ProgressOutput& out_;
  double total_;
  double written_ = 0;
  Clock::time_point (*now_)();
  Clock::time_point next_;
};

}  // namespace poly
