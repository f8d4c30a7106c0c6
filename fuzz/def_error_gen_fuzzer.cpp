// DefErrorGen over error structures built from arbitrary bytes: any texts, counts larger than
// the values stored, unknown symbols, pointers that are and are not run-time strings, values of
// every type. The object it makes is then written out as the error text and a log entry, so
// that every field it copied is also read.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "errorsys/def_error_gen.h"
#include "errorsys/error.h"
#include "errorsys/error_text.h"
#include "platform/headless/headless_file_system.h"
#include "platform/headless/headless_settings.h"
#include "platform/headless/headless_ui.h"
#include "runtime/error_structure.h"
#include "runtime/file_functions.h"
#include "runtime/runtime.h"

namespace {

qef::Usual AnyValue(FuzzedDataProvider& in, int depth) {
  switch (in.ConsumeIntegralInRange(0, 8)) {
    case 0:
      return qef::Usual::Long(in.ConsumeIntegral<int32_t>());
    case 1:
      return qef::Usual::Float(in.ConsumeFloatingPoint<double>());
    case 2:
      return qef::Usual::String(in.ConsumeRandomLengthString(64));
    case 3:
      return qef::Usual::Logic(in.ConsumeBool());
    case 4:
      return qef::Usual::Sym(qef::Symbol::FromId(in.ConsumeIntegral<uint32_t>()));
    case 5:
      return qef::Usual::Dword(in.ConsumeIntegral<uint32_t>());
    case 6: {
      qef::Array values;
      if (depth < 3) {
        for (int n = in.ConsumeIntegralInRange(0, 4); n > 0; --n)
          values.push_back(AnyValue(in, depth + 1));
      }
      return qef::Usual::Arr(std::move(values));
    }
    case 7:
      return qef::Usual::Ptr(nullptr);
    default:
      return qef::Usual();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  qef::HeadlessFileSystem fs;
  qef::HeadlessSettings settings;
  qef::HeadlessUi ui;
  qef::ScopedRuntime runtime(fs, settings, ui);

  std::string texts[6];
  for (std::string& text : texts) text = in.ConsumeRandomLengthString(128);
  std::vector<qef::Usual> values;
  for (int n = in.ConsumeIntegralInRange(0, 6); n > 0; --n) values.push_back(AnyValue(in, 0));
  qef::ArgBlock args{in.ConsumeIntegral<uint16_t>(), in.ConsumeIntegral<uint16_t>(), values};
  qef::DynString dyn(in.ConsumeRandomLengthString(64));

  qef::ErrorStructure es{};
  es.subsystem = in.ConsumeBool() ? texts[0].c_str() : nullptr;
  es.sub_code = in.ConsumeIntegral<uint32_t>();
  es.gen_code = in.ConsumeIntegral<uint32_t>();
  es.os_code = in.ConsumeIntegral<uint32_t>();
  es.severity = in.ConsumeIntegral<uint32_t>();
  es.can_default = in.ConsumeIntegral<uint32_t>();
  es.can_retry = in.ConsumeIntegral<uint32_t>();
  es.can_substitute = in.ConsumeIntegral<uint32_t>();
  es.operation = in.ConsumeBool() ? texts[1].c_str() : nullptr;
  es.description = in.ConsumeBool() ? texts[2].c_str() : nullptr;
  es.file_name = in.ConsumeBool() ? texts[3].c_str() : nullptr;
  es.args = in.ConsumeBool() ? &args : nullptr;
  es.tries = in.ConsumeIntegral<uint32_t>();
  es.func_sym = in.ConsumeIntegral<uint32_t>();
  es.file_handle = in.ConsumeIntegral<uint32_t>();
  es.arg_num = in.ConsumeIntegral<uint32_t>();
  es.func_ptr = nullptr;
  es.sub_code_text = in.ConsumeBool() ? texts[4].c_str() : nullptr;
  switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0:
      es.arg = nullptr;
      break;
    case 1:
      es.arg = &dyn;
      break;
    default:
      es.arg = texts[5].c_str();
  }
  es.arg_type = in.ConsumeIntegral<uint32_t>();
  es.arg_type_req = in.ConsumeIntegral<uint32_t>();
  es.max_size = in.ConsumeIntegral<uint32_t>();
  es.substitute_type = in.ConsumeIntegral<uint32_t>();
  es.choice = in.ConsumeIntegral<uint32_t>();
  es.call_func_sym = in.ConsumeIntegral<uint32_t>();

  // Sometimes not a pointer at all, or a null one: the wrong-tag box.
  qef::Usual structure;
  switch (in.ConsumeIntegralInRange(0, 5)) {
    case 0:
      structure = qef::Usual::Ptr(nullptr);
      break;
    case 1:
      structure = AnyValue(in, 0);
      break;
    default:
      structure = qef::Usual::Ptr(&es);
  }

  qef::Usual made = qef::DefErrorGen(structure);
  std::shared_ptr<qef::Error> error = qef::AsError(made);
  if (!error) {
    std::fprintf(stderr, "DefErrorGen made no Error object\n");
    std::abort();
  }
  qef::DefErrorText(*error);
  qef::FHandle log = qef::FCreate("VOERROR.LOG");
  qef::ErrorLogWrite(log, error->Description, *error);
  qef::FClose(log);
  for (std::string_view name : qef::Error::kPropertyNames) error->Get(name);
  return 0;
}
