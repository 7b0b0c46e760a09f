// Bind: obtain the package name, have the shared package load it, look every
// entry up into its slot. Unbind: clear the slots, then unload by name.
#include "binding/protocol.hpp"

#include <exception>
#include <mutex>
#include <stdexcept>

#include "platform/platform.hpp"
#include "trace/trace.hpp"
#include "zep00001/zep00001.hpp"

namespace zep::binding {
namespace {

using sets::EmptyName;
using sets::Failure;
using sets::Gate;
using sets::Slot;
using sets::Unbind;

using internal::SetState;

SetState& stateOf(const SlotSet& set) {
  return states()[static_cast<std::size_t>(&set - sets::all().data())];
}

std::recursive_mutex& busy(const SlotSet& set) { return stateOf(set).busy; }

void clear(const SlotSet& set) noexcept {
  for (const Slot& slot : set.slots) *slot.address = nullptr;
}

// Looks one entry up in the package and stores what it found (null when the
// package lacks it) in the entry's slot, or the entry's trace stub while the
// call trace is on: the one place a bind fills a slot.
void fill(const SlotSet& set, const Slot& slot, const platform::Exports& exports,
          const std::string& package) noexcept {
  // The entry names are literals, so their views end in a null byte.
  *slot.address = trace::wrap(static_cast<std::uint32_t>(slot.index), slot.entry, set.name,
                              exports.find(slot.entry.data()), package);
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
void load(const SlotSet& set, const std::string& package) {
  void* handle = LoadBPL_FOS(package);
  if (handle == nullptr) {
    throw std::runtime_error("the shared package gave a null module handle for package \"" +
                             package + "\"");
  }
  const platform::Exports exports(handle);
  for (const Slot& slot : set.slots) fill(set, slot, exports, package);
}

void tellOperator(const std::exception& caught, const std::string& package) {
  std::string text = caught.what();
  text += '\r';
  text += failureMessage(package);
  Mensagem(text, "", "N", "N", static_cast<TTipoMsg>(3), "", "001", 0, nullptr);
}

}  // namespace

SetState* states() {
  static SetState all[sets::kCount];
  return all;
}

std::string boundPackage(const SlotSet& set) {
  std::lock_guard<std::recursive_mutex> serialized(busy(set));
  return stateOf(set).package;
}

std::string failureMessage(const std::string& package) {
  return "Erro na carga do pacote: " + package;
}

bool bind(const SlotSet& set, const Model& model) {
  if (set.departures.gate == Gate::PositiveUseFlag && model.code <= 0) return true;
  std::lock_guard<std::recursive_mutex> serialized(busy(set));
  std::string package;
  if (set.departures.failure == Failure::TellOperator) {
    // Only the runtime's general exception is reported to the operator;
    // anything else passes to the caller, as does a failing Mensagem.
    try {
      package = set.package(model);
      load(set, package);
      stateOf(set).package = package;
      trace::told("bind", set.name, model.code, model.text, package);
    } catch (const std::exception& caught) {
      trace::told("bind", set.name, model.code, model.text, package, std::current_exception());
      tellOperator(caught, package);
    }
    return true;
  }
  try {
    package = set.package(model);
    if (package.empty() && set.departures.emptyName == EmptyName::NothingToBind) return true;
    load(set, package);
    stateOf(set).package = package;
    trace::told("bind", set.name, model.code, model.text, package);
  } catch (const std::exception&) {
    trace::told("bind", set.name, model.code, model.text, package, std::current_exception());
    std::throw_with_nested(BindingFailure(failureMessage(package)));
  } catch (...) {
    if (!std::current_exception()) throw;  // the cancellation unwind
    throw BindingFailure(failureMessage(package));
  }
  return true;
}

bool unbind(const SlotSet& set, const Model& model) {
  std::lock_guard<std::recursive_mutex> serialized(busy(set));
  // Its slots are cleared even when the unbind fails.
  stateOf(set).package.clear();
  std::string package;
  switch (set.departures.unbind) {
    case Unbind::ClearThenSelect:
      ignoringFailures([&] { clear(set); });
      package = set.package(model);
      break;
    case Unbind::SelectAndClear:
      ignoringFailures([&] {
        package = set.package(model);
        clear(set);
      });
      break;
    case Unbind::Unguarded:
      clear(set);
      package = set.package(model);
      break;
  }
  UnLoadBPL(package);
  trace::told("unbind", set.name, model.code, model.text, package);
  return true;
}

}  // namespace zep::binding
