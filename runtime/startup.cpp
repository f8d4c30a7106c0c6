#include "runtime/startup.h"

#include <algorithm>

#include "runtime/error_block.h"
#include "runtime/runtime.h"

namespace qef {

namespace {
int runtime_count = 0;
}  // namespace

std::string BuildSymbolTable(const std::vector<std::string>& names) {
  std::string resource(kSymbolTableSignature);
  auto count = static_cast<uint32_t>(names.size());
  for (int shift = 0; shift < 32; shift += 8)
    resource += static_cast<char>((count >> shift) & 0xFF);
  for (const std::string& name : names) {
    resource += static_cast<char>(name.size());
    resource += name;
  }
  return resource;
}

std::optional<std::set<std::string>> LoadSymbolTable(std::string_view resource) {
  if (resource.substr(0, kSymbolTableSignature.size()) != kSymbolTableSignature) {
    return std::nullopt;
  }
  resource.remove_prefix(kSymbolTableSignature.size());
  if (resource.size() < 4) return std::nullopt;
  uint32_t count = 0;
  for (int i = 3; i >= 0; --i) count = count << 8 | static_cast<uint8_t>(resource[i]);
  resource.remove_prefix(4);
  std::set<std::string> names;
  for (uint32_t i = 0; i < count; ++i) {
    if (resource.empty()) return std::nullopt;
    size_t length = static_cast<uint8_t>(resource[0]);
    if (length == 0 || resource.size() < 1 + length) return std::nullopt;
    names.insert(Symbol(resource.substr(1, length)).name());
    resource.remove_prefix(1 + length);
  }
  if (!resource.empty()) return std::nullopt;
  return names;
}

bool ClassRegistry::Known(const Symbol& name) const {
  return !name.empty() && symbols_.count(name.name()) != 0;
}

bool ClassRegistry::Register(const Symbol& class_name, Factory factory,
                             std::vector<std::pair<Symbol, Method>> methods) {
  if (!Known(class_name) || classes_.count(class_name.id()) != 0) return false;
  for (const auto& entry : methods) {
    if (!Known(entry.first)) return false;
  }
  classes_.emplace(class_name.id(), ClassInfo{std::move(factory), std::move(methods)});
  return true;
}

std::unique_ptr<Object> ClassRegistry::Create(const Symbol& class_name) const {
  auto found = classes_.find(class_name.id());
  if (found == classes_.end() || !found->second.factory) return nullptr;
  return found->second.factory();
}

bool ClassRegistry::HasMethod(const Symbol& class_name, const Symbol& method) const {
  auto found = classes_.find(class_name.id());
  if (found == classes_.end()) return false;
  const auto& methods = found->second.methods;
  return std::any_of(methods.begin(), methods.end(),
                     [&](const auto& entry) { return entry.first == method; });
}

bool ClassRegistry::Send(const Symbol& class_name, Object& object, const Symbol& method) const {
  auto found = classes_.find(class_name.id());
  if (found == classes_.end()) return false;
  for (const auto& [name, call] : found->second.methods) {
    if (name == method && call) {
      call(object);
      return true;
    }
  }
  return false;
}

std::vector<std::string> ClassRegistry::MethodNames(const Symbol& class_name) const {
  std::vector<std::string> names;
  auto found = classes_.find(class_name.id());
  if (found == classes_.end()) return names;
  for (const auto& entry : found->second.methods) names.push_back(entry.first.name());
  return names;
}

int _GetRTCount() { return runtime_count; }

RuntimeInstance::RuntimeInstance() { ++runtime_count; }
RuntimeInstance::~RuntimeInstance() { --runtime_count; }

namespace {

// Steps 2 to 5 of the start-up, on a started run-time.
int RegisterAndStart(const Program& program, std::set<std::string> symbols,
                     const std::function<void(const std::string&)>& step) {
  ClassRegistry registry(std::move(symbols));
  if (!program.register_classes || !program.register_classes(registry)) return kExitStartupFailed;
  step("classes");

  for (int slot = 0; slot < kInitSlotCount; ++slot) {
    const auto& procedure = program.init_procedures[static_cast<size_t>(slot)];
    if (!procedure) continue;
    if (slot == kErrorFunction && _GetRTCount() != 1) continue;
    procedure();
    step("init " + std::to_string(slot));
  }

  // The window library's start function.
  const Symbol app_class("App");
  std::unique_ptr<Object> app = registry.Create(app_class);
  if (!app) return kExitStartupFailed;
  step("App:Start");
  registry.Send(app_class, *app, Symbol("Start"));
  step("Start returned");
  return 0;
}

}  // namespace

int RunProgram(const Program& program, const Backends& backends, std::vector<std::string>* trace) {
  auto step = [trace](const std::string& what) {
    if (trace != nullptr) trace->push_back(what);
  };

  std::optional<std::string_view> resource;
  if (program.find_resource) {
    resource = program.find_resource(kSymbolTableResourceType, kSymbolTableResourceId);
  }
  std::optional<std::set<std::string>> symbols =
      resource ? LoadSymbolTable(*resource) : std::nullopt;
  if (!symbols) return kExitStartupFailed;
  step("symbol table");

  ScopedRuntime runtime(backends);
  int exit_code;
  {
    RuntimeInstance instance;
    step("RTInit");
    exit_code = RunGuarded([&] { return RegisterAndStart(program, std::move(*symbols), step); });
  }
  step("RTExit");
  return exit_code;
}

}  // namespace qef
