// The catalogue of the sets: the table read by name, and the words of its
// messages.
#include "catalog/catalog.hpp"

#include <algorithm>
#include <charconv>
#include <sstream>
#include <stdexcept>

#include "zep00001/zep00001.hpp"

namespace zep::catalog {
namespace {

void collect(const std::exception& failure, std::vector<std::string>& chain) {
  chain.push_back(failure.what());
  try {
    std::rethrow_if_nested(failure);
  } catch (const std::exception& cause) {
    collect(cause, chain);
  } catch (...) {
    chain.push_back("an exception that is no std::exception");
  }
}

}  // namespace

const internal::Interface& module() {
  static const internal::Interface* const found = internal::zep00001_internal(internal::kVersion);
  if (found == nullptr || found->size < sizeof(internal::Interface)) {
    throw std::runtime_error(
        "the module PKG_ZEP00001 loaded is not the one this program was built with: it lacks "
        "internal interface version " +
        std::to_string(internal::kVersion));
  }
  return *found;
}

std::span<const SlotSet> sets() { return {module().sets, module().count}; }

const SlotSet* findSet(std::string_view name) {
  for (const SlotSet& set : sets()) {
    if (sameLetters(set.name, name)) return &set;
  }
  return nullptr;
}

std::size_t slotCount() {
  std::size_t count = 0;
  for (const SlotSet& set : sets()) count += set.slots.size();
  return count;
}

bool sameLetters(std::string_view left, std::string_view right) {
  return std::equal(left.begin(), left.end(), right.begin(), right.end(),
                    [](char a, char b) { return lowerLetter(a) == lowerLetter(b); });
}

std::string_view argumentName(Argument argument) {
  switch (argument) {
    case Argument::ModelCode:
    case Argument::ModelText:
      return "model code";
    case Argument::UseFlag:
      return "use flag";
    case Argument::None:
      break;
  }
  return "nothing";
}

std::optional<Model> readModel(Argument argument, std::string_view text) {
  Model model;
  switch (argument) {
    case Argument::ModelText:
      model.text = text;
      return model;
    case Argument::None:
      if (text.empty()) return model;
      return std::nullopt;
    case Argument::ModelCode:
    case Argument::UseFlag:
      break;
  }
  const char* end = text.data() + text.size();
  const auto [stop, failure] = std::from_chars(text.data(), end, model.code);
  if (failure == std::errc() && stop == end && !text.empty()) return model;
  return std::nullopt;
}

std::string showModel(Argument argument, const Model& model) {
  switch (argument) {
    case Argument::ModelCode:
    case Argument::UseFlag:
      return std::to_string(model.code);
    case Argument::ModelText:
      return quoted(model.text);
    case Argument::None:
      break;
  }
  return "";
}

std::string quoted(std::string_view text) {
  std::ostringstream shown;
  shown << Value(std::string(text));
  return shown.str();
}

std::vector<std::string> causeChain(const std::exception& failure) {
  std::vector<std::string> chain;
  collect(failure, chain);
  return chain;
}

}  // namespace zep::catalog
