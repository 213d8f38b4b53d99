#pragma once
// A stand-in behind a table of plain functions, which carry no object: the table serves the
// last stand-in of its kind made and still alive. Stand-ins may go in any order; one destroyed
// before a later one drops out of the chain without disturbing it.

template <typename StandIn>
class ActiveStandIn {
 public:
  ActiveStandIn(const ActiveStandIn&) = delete;
  ActiveStandIn& operator=(const ActiveStandIn&) = delete;

 protected:
  ActiveStandIn() : previous_(active_) { active_ = static_cast<StandIn*>(this); }
  ~ActiveStandIn() {
    if (active_ == this) {
      active_ = previous_;
      return;
    }
    for (ActiveStandIn* later = active_; later != nullptr; later = later->previous_) {
      if (later->previous_ == this) {
        later->previous_ = previous_;
        return;
      }
    }
  }
  // Null when none is alive.
  static StandIn* Active() { return active_; }

 private:
  static inline StandIn* active_ = nullptr;
  StandIn* previous_;
};
