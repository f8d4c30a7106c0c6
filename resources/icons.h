#pragma once

// The program's 22 icon classes. Each loads the icon group of its own name from the program's
// resources; the resource name is passed in the case the classes have always used, which does
// not matter to Windows, whose resource names ignore case.

#include "runtime/startup.h"
#include "ui/window.h"

namespace qef {

// Cartoon face: two eyes looking down above a yellow cone and a purple ball.
class AICOZEMB : public Icon {
 public:
  AICOZEMB() : Icon(ResourceID("AICOZEMB", _GetInst())) {}
};

// The same face with both eyes looking up and inwards (cross-eyed).
class AICOZEMBCROSS : public Icon {
 public:
  AICOZEMBCROSS() : Icon(ResourceID("AICOZEMBCROSS", _GetInst())) {}
};

// Flow chart: dark red boxes and a grey box joined by lines, with a red diamond.
class ICOAPP : public Icon {
 public:
  ICOAPP() : Icon(ResourceID("icoapp", _GetInst())) {}
};

// Yellow lined notepad with a red margin line and a pencil.
class ICOCAIN : public Icon {
 public:
  ICOCAIN() : Icon(ResourceID("icoCAIN", _GetInst())) {}
};

// Large red X.
class ICOCROSS : public Icon {
 public:
  ICOCROSS() : Icon(ResourceID("icoCross", _GetInst())) {}
};

// Yellow table grid with a pencil.
class ICODBSERVER : public Icon {
 public:
  ICODBSERVER() : Icon(ResourceID("icoDBServer", _GetInst())) {}
};

// Red triangle outline.
class ICODIFF : public Icon {
 public:
  ICODIFF() : Icon(ResourceID("icoDiff", _GetInst())) {}
};

// Three yellow arrows pointing into a grey chest of three drawers.
class ICODLL : public Icon {
 public:
  ICODLL() : Icon(ResourceID("icodll", _GetInst())) {}
};

// Blue cone joined by a dashed line to a small cyan sheet.
class ICOEXTMOD : public Icon {
 public:
  ICOEXTMOD() : Icon(ResourceID("icoextmod", _GetInst())) {}
};

// Blue form window with text lines and a pencil.
class ICOFORM : public Icon {
 public:
  ICOFORM() : Icon(ResourceID("icoForm", _GetInst())) {}
};

// Yellow index card with a pencil.
class ICOFSPEC : public Icon {
 public:
  ICOFSPEC() : Icon(ResourceID("icoFSpec", _GetInst())) {}
};

// Window with a grid of blue squares and a rainbow brush stroke.
class ICOIMAGE : public Icon {
 public:
  ICOIMAGE() : Icon(ResourceID("icoImage", _GetInst())) {}
};

// A black digit 1 beside a digit 2 that is crossed out in red.
class ICOINONE : public Icon {
 public:
  ICOINONE() : Icon(ResourceID("icoInOne", _GetInst())) {}
};

// A digit 1 crossed out in red beside a black digit 2.
class ICOINTWO : public Icon {
 public:
  ICOINTWO() : Icon(ResourceID("icoInTwo", _GetInst())) {}
};

// Yellow arrow pointing out of a grey chest of three drawers.
class ICOLIB : public Icon {
 public:
  ICOLIB() : Icon(ResourceID("icolib", _GetInst())) {}
};

// Yellow padlock.
class ICOLOCK : public Icon {
 public:
  ICOLOCK() : Icon(ResourceID("icoLock", _GetInst())) {}
};

// Window with an open pull-down menu and a rainbow brush stroke.
class ICOMENU : public Icon {
 public:
  ICOMENU() : Icon(ResourceID("icoMenu", _GetInst())) {}
};

// Glass jar holding a green tree and blue and red shapes.
class ICOMOD : public Icon {
 public:
  ICOMOD() : Icon(ResourceID("icomod", _GetInst())) {}
};

// Window with a list of four coloured entries.
class ICOPRJ : public Icon {
 public:
  ICOPRJ() : Icon(ResourceID("icoprj", _GetInst())) {}
};

// Yellow table grid with the letters sql and a pencil.
class ICOSQLSERVER : public Icon {
 public:
  ICOSQLSERVER() : Icon(ResourceID("icoSQLServer", _GetInst())) {}
};

// Three white arrows pointing into a grey chest with cyan drawers.
class ICOSYSLIB : public Icon {
 public:
  ICOSYSLIB() : Icon(ResourceID("icoSysLib", _GetInst())) {}
};

// The same face winking: left eye closed, right eye looking down.
class ICOZEMBWINK : public Icon {
 public:
  ICOZEMBWINK() : Icon(ResourceID("ICOZEMBWINK", _GetInst())) {}
};

// Registers the 22 icon classes with their constructor Init; false when one cannot be
// registered.
bool RegisterIconClasses(ClassRegistry& registry);

}  // namespace qef
