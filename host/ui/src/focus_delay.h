// The focus changes a user makes in a tree or grid view, reported after an interval: a
// later change within the interval replaces an earlier one, and the report names the focus
// before the first of them. Changes the program makes are never reported.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <utility>

namespace hrz::ui {

template <typename Focus>
class FocusDelay {
 public:
  // report(before, now) runs when a change takes effect; none stands for no focus.
  FocusDelay(Focus none, std::function<void(Focus, Focus)> report)
      : report_(std::move(report)), last_(none), before_(none) {
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { Report(); });
  }

  void SetInterval(int milliseconds) { interval_ = milliseconds > 0 ? milliseconds : 0; }

  // The view moved its current item to now.
  void Moved(Focus now) {
    if (quiet_) return;
    if (!timer_.isActive()) before_ = last_;
    last_ = now;
    if (interval_ == 0) {
      Report();
    } else {
      timer_.start(interval_);
    }
  }

  // Runs change(), in which the program moves the focus or changes the rows under it, and
  // then takes now() as the focus without reporting it; a pending report is dropped.
  template <typename Change, typename Now>
  void Quietly(Change change, Now now) {
    timer_.stop();
    quiet_ = true;
    change();
    quiet_ = false;
    last_ = now();
  }

 private:
  void Report() {
    timer_.stop();
    report_(before_, last_);
  }

  std::function<void(Focus, Focus)> report_;
  QTimer timer_;
  int interval_ = 0;
  bool quiet_ = false;
  Focus last_;
  Focus before_;
};

}  // namespace hrz::ui
