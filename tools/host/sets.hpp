// The ten slot sets as a host program sees them, expanded from the module's
// entry lists: each set's name, what its bind and unbind take, its package,
// and its slots in lookup order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zep::host {

// What a bind, unbind or selection takes, named as in sets.def.
enum class Argument { ModelCode, ModelText, UseFlag, None };

// A model code or use flag as the command line gave it, read for one kind.
struct Model {
  std::int32_t code = 0;
  std::string text;
};

struct Slot {
  std::string_view entry;  // the name looked up in the package
  std::string_view name;   // the slot's own name
  void** address;
};

struct SlotSet {
  std::string_view name;
  Argument bindArgument;
  Argument unbindArgument;
  bool (*bind)(const Model& model);
  bool (*unbind)(const Model& model);
  // The selection, for a set whose package follows from the model code;
  // otherwise null and the set always loads fixedPackage.
  std::string (*select)(const Model& model) = nullptr;
  std::string_view fixedPackage{};
  std::vector<Slot> slots{};

  std::string package(const Model& model) const {
    return select != nullptr ? select(model) : std::string(fixedPackage);
  }
  std::size_t boundSlots() const;
};

const std::vector<SlotSet>& slotSets();

// The set of that name in any letter case, or null.
const SlotSet* findSet(std::string_view name);

// Whether two names are the same but for the letter case of ASCII letters.
bool sameLetters(std::string_view left, std::string_view right);

// What the argument is called in messages and help: "model code", "use flag".
std::string_view describe(Argument argument);

// Reads `text` as the argument kind wants it, or gives null: an integer must
// be a whole 32-bit decimal number.
std::optional<Model> readModel(Argument argument, const std::string& text);

// The model as messages show it: 21, "4" (texts quoted, since "01" and "1"
// differ), or nothing for a set that takes none.
std::string showModel(Argument argument, const Model& model);

}  // namespace zep::host
