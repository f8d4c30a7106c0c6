#pragma once

#include "runtime/usual.h"

namespace qef {

// Makes an Error object from a pointer to an error structure; the run-time calls it through
// the error function. A value that is not a pointer, or a null pointer, yields the box "Error
// structure has wrong tag" and a fresh object; when no object can be created the box "No error
// object created !" is shown and NIL returned.
Usual DefErrorGen(const Usual& error_structure);

}  // namespace qef
