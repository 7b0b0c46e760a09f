// Bind: obtain the package name, have the shared package load it, look every
// entry up into its slot. Unbind: clear the slots, then unload by name.
#include "binding/protocol.hpp"

#include <exception>
#include <stdexcept>

#include "platform/platform.hpp"
#include "trace/trace.hpp"
#include "zep00001/zep00001.hpp"

namespace zep::binding {
namespace {

std::string packageName(const SlotSet& set, const Model& model) {
  return set.fixedPackage != nullptr ? std::string(set.fixedPackage) : set.select(model);
}

void clear(const SlotSet& set) noexcept {
  for (const Entry& entry : set.entries) *entry.slot = nullptr;
}

// Runs `step`, ignoring what it raises; the thread-cancellation unwind must
// pass, since swallowing it ends the process. It carries no C++ exception
// object, so it is told by the empty current_exception(): a handler of
// abi::__forced_unwind& would bind its reference to null.
template <class Step>
void ignoringFailures(Step&& step) {
  try {
    step();
  } catch (...) {
    if (!std::current_exception()) throw;
  }
}

// Loads the package and fills the slots. A null handle is a load failure:
// looking symbols up in it would search the whole process.
void load(SlotSet& set, const std::string& package) {
  void* handle = LoadBPL_FOS(package);
  if (handle == nullptr) {
    throw std::runtime_error("the shared package gave a null module handle for package \"" +
                             package + "\"");
  }
  set.moduleHandle = handle;
  platform::Exports exports(handle);
  for (const Entry& entry : set.entries) {
    *entry.slot = trace::wrap(entry.slot, exports.find(entry.name), package);
  }
}

void tellOperator(const std::exception& caught, const std::string& package) {
  std::string text = caught.what();
  text += '\r';
  text += failureMessage(package);
  Mensagem(text, "", "N", "N", static_cast<TTipoMsg>(3), "", "001", 0, nullptr);
}

}  // namespace

std::string failureMessage(const std::string& package) {
  return "Erro na carga do pacote: " + package;
}

bool bind(SlotSet& set, const Model& model) {
  if (set.departures.gate == Gate::PositiveUseFlag && model.code <= 0) return true;
  std::lock_guard<std::recursive_mutex> serialized(set.busy);
  std::string package;
  if (set.departures.failure == Failure::TellOperator) {
    // Only the runtime's general exception is reported to the operator;
    // anything else passes to the caller, as does a failing Mensagem.
    try {
      package = packageName(set, model);
      load(set, package);
    } catch (const std::exception& caught) {
      tellOperator(caught, package);
    }
    return true;
  }
  try {
    package = packageName(set, model);
    if (package.empty() && set.departures.emptyName == EmptyName::NothingToBind) return true;
    load(set, package);
  } catch (const std::exception&) {
    std::throw_with_nested(BindingFailure(failureMessage(package)));
  } catch (...) {
    if (!std::current_exception()) throw;  // the cancellation unwind
    throw BindingFailure(failureMessage(package));
  }
  return true;
}

bool unbind(SlotSet& set, const Model& model) {
  std::lock_guard<std::recursive_mutex> serialized(set.busy);
  std::string package;
  switch (set.departures.unbind) {
    case Unbind::ClearThenSelect:
      ignoringFailures([&] { clear(set); });
      package = packageName(set, model);
      break;
    case Unbind::SelectAndClear:
      ignoringFailures([&] {
        package = packageName(set, model);
        clear(set);
      });
      break;
    case Unbind::Unguarded:
      clear(set);
      package = packageName(set, model);
      break;
  }
  UnLoadBPL(package);
  return true;
}

}  // namespace zep::binding
