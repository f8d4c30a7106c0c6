#include "resources/icons.h"

#include <memory>

#include "runtime/object.h"

namespace qef {

namespace {

// The run-time creates objects by class name; an Icon is an Object, so the class itself serves.
template <typename IconClass>
ClassRegistry::Factory IconFactory() {
  return []() -> std::unique_ptr<Object> { return std::make_unique<IconClass>(); };
}

template <typename IconClass>
bool RegisterIcon(ClassRegistry& registry, const Symbol& name) {
  // Init takes no arguments but is the constructor, so it is registered by name alone.
  return registry.Register(name, IconFactory<IconClass>(), {{Symbol("Init"), nullptr}});
}

}  // namespace

bool RegisterIconClasses(ClassRegistry& registry) {
  return RegisterIcon<AICOZEMB>(registry, Symbol("AICOZEMB")) &&
         RegisterIcon<AICOZEMBCROSS>(registry, Symbol("AICOZEMBCROSS")) &&
         RegisterIcon<ICOAPP>(registry, Symbol("ICOAPP")) &&
         RegisterIcon<ICOCAIN>(registry, Symbol("ICOCAIN")) &&
         RegisterIcon<ICOCROSS>(registry, Symbol("ICOCROSS")) &&
         RegisterIcon<ICODBSERVER>(registry, Symbol("ICODBSERVER")) &&
         RegisterIcon<ICODIFF>(registry, Symbol("ICODIFF")) &&
         RegisterIcon<ICODLL>(registry, Symbol("ICODLL")) &&
         RegisterIcon<ICOEXTMOD>(registry, Symbol("ICOEXTMOD")) &&
         RegisterIcon<ICOFORM>(registry, Symbol("ICOFORM")) &&
         RegisterIcon<ICOFSPEC>(registry, Symbol("ICOFSPEC")) &&
         RegisterIcon<ICOIMAGE>(registry, Symbol("ICOIMAGE")) &&
         RegisterIcon<ICOINONE>(registry, Symbol("ICOINONE")) &&
         RegisterIcon<ICOINTWO>(registry, Symbol("ICOINTWO")) &&
         RegisterIcon<ICOLIB>(registry, Symbol("ICOLIB")) &&
         RegisterIcon<ICOLOCK>(registry, Symbol("ICOLOCK")) &&
         RegisterIcon<ICOMENU>(registry, Symbol("ICOMENU")) &&
         RegisterIcon<ICOMOD>(registry, Symbol("ICOMOD")) &&
         RegisterIcon<ICOPRJ>(registry, Symbol("ICOPRJ")) &&
         RegisterIcon<ICOSQLSERVER>(registry, Symbol("ICOSQLSERVER")) &&
         RegisterIcon<ICOSYSLIB>(registry, Symbol("ICOSYSLIB")) &&
         RegisterIcon<ICOZEMBWINK>(registry, Symbol("ICOZEMBWINK"));
}

}  // namespace qef
