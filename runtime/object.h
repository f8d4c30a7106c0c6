#pragma once

namespace qef {

// Every object the run-time creates by class name.
class Object {
 public:
  virtual ~Object() = default;
};

}  // namespace qef
