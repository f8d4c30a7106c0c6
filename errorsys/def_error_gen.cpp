#include "errorsys/def_error_gen.h"

#include <algorithm>
#include <new>

#include "errorsys/error.h"
#include "runtime/error_structure.h"
#include "ui/window.h"

namespace qef {

namespace {

constexpr char kCaption[] = "FROM DefErrorGen";

std::string Text(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

std::shared_ptr<Error> CreateError() {
  try {
    return std::make_shared<Error>();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

Usual ArgsFrom(const ArgBlock* block) {
  if (block == nullptr) return Usual::Arr({});
  size_t length = std::max(block->count1, block->count2);
  Array values(length);
  for (size_t i = 0; i < length && i < block->values.size(); ++i) values[i] = block->values[i];
  return Usual::Arr(std::move(values));
}

}  // namespace

Usual DefErrorGen(const Usual& error_structure) {
  std::shared_ptr<Error> error = CreateError();
  if (!error) {
    TextBox(nullptr, kCaption, "No error object created !", MB_OK).Show();
    return Usual();
  }
  // A null pointer cannot be read any more than a value of another type.
  if (!IsPtr(error_structure) || error_structure.AsPtr() == nullptr) {
    TextBox(nullptr, kCaption, "Error structure has wrong tag", MB_OK).Show();
    return Usual::Obj(error);
  }
  const auto& es = *static_cast<const ErrorStructure*>(error_structure.AsPtr());
  error->SubSystem = Text(es.subsystem);
  error->SubCode = es.sub_code;
  error->GenCode = es.gen_code;
  error->OsCode = es.os_code;
  error->Severity = es.severity;
  error->CanDefault = es.can_default != 0;
  error->CanRetry = es.can_retry != 0;
  error->CanSubstitute = es.can_substitute != 0;
  error->Operation = Text(es.operation);
  error->Description = Text(es.description);
  error->FileName = Text(es.file_name);
  error->Args = ArgsFrom(es.args);
  error->Tries = es.tries;
  error->FuncSym = Symbol::FromId(es.func_sym);
  error->FileHandle = es.file_handle;
  error->ArgNum = es.arg_num;
  error->FuncPtr = const_cast<void*>(es.func_ptr);
  error->SubCodeText = Text(es.sub_code_text);
  if (IsDynPtr(es.arg)) {
    error->Arg = static_cast<const DynString*>(es.arg)->text();
  } else {
    error->Arg = Text(static_cast<const char*>(es.arg));
  }
  error->ArgType = es.arg_type;
  error->ArgTypeReq = es.arg_type_req;
  error->MaxSize = es.max_size;
  error->SubstituteType = es.substitute_type;
  if (error->Choice == 0) error->Choice = es.choice;
  error->CallFuncSym = Symbol::FromId(es.call_func_sym);
  return Usual::Obj(error);
}

}  // namespace qef
