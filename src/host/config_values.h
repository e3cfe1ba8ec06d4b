#pragma once
// The stored values of a configuration object, driven by a table of fields: each field's name,
// how it is stored, its default and its load rule. One reader-writer lock guards all values of a
// table, so a reader never sees a half-written value.
#include <cstdint>
#include <optional>
#include <shared_mutex>
#include <string>
#include <vector>

#include "platform/settings_store.h"

namespace plb {

enum class ConfigFieldKind {
  kByte,       // binary of 1 byte
  kWord,       // binary of 2 bytes, little-endian
  kBool,       // dword 0 or 1, true when not 0
  kInteger,    // dword
  kDateTime,   // binary of 8 bytes: the date-time double
  kPlacement,  // binary of 44 bytes: the window placement record
};

struct ConfigField {
  const char* name;
  ConfigFieldKind kind;
  int64_t default_value = 0;  // numbers and booleans; date-times and placements default to 0
  // The load rule: what to take from a stored number, or nothing to keep the current value.
  std::optional<int64_t> (*load_rule)(int64_t stored) = nullptr;
};

// Where a value's current content came from.
enum class ConfigSource { kDefault, kStored, kSet, kFile };

// "default", "stored", "set" or "file".
const char* ConfigSourceName(ConfigSource source);

struct ConfigValueView {
  std::string name;
  std::string text;
  ConfigSource source;
};

inline constexpr size_t kWindowPlacementSize = 44;

class ConfigValues {
 public:
  explicit ConfigValues(const std::vector<ConfigField>& fields);

  void SetDefaults();

  // Reads every field that exists in the open key of registry by its rule. A binary value longer
  // than its field, or a value of another type, raises ERegistryException; a shorter binary value
  // is ignored.
  void Load(Registry& registry);
  // Writes every field to the open key of registry.
  void Save(Registry& registry) const;

  int64_t Number(size_t index) const;
  // Stores value; false (and nothing changes) when it equals the current one.
  bool SetNumber(size_t index, int64_t value);
  double DateTime(size_t index) const;
  bool SetDateTime(size_t index, double value);
  std::string Placement(size_t index) const;
  bool SetPlacement(size_t index, const std::string& record);

  std::vector<ConfigValueView> Describe() const;

 private:
  struct Slot {
    int64_t number = 0;
    double date = 0;
    std::string placement;
    ConfigSource source = ConfigSource::kDefault;
  };
  void LoadField(Registry& registry, const ConfigField& field, Slot& slot);

  const std::vector<ConfigField>& fields_;
  mutable std::shared_mutex mutex_;
  std::vector<Slot> slots_;
};

}  // namespace plb
