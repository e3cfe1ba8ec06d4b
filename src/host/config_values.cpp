#include "host/config_values.h"

#include <cstdio>
#include <cstring>
#include <mutex>

namespace plb {
namespace {

size_t BinarySize(ConfigFieldKind kind) {
  switch (kind) {
    case ConfigFieldKind::kByte:
      return 1;
    case ConfigFieldKind::kWord:
      return 2;
    case ConfigFieldKind::kDateTime:
      return 8;
    case ConfigFieldKind::kPlacement:
      return kWindowPlacementSize;
    default:
      return 0;
  }
}

std::string Hex(const std::string& bytes) {
  std::string out;
  char pair[3];
  for (unsigned char b : bytes) {
    std::snprintf(pair, sizeof pair, "%02x", b);
    out += pair;
  }
  return out;
}

}  // namespace

const char* ConfigSourceName(ConfigSource source) {
  switch (source) {
    case ConfigSource::kStored:
      return "stored";
    case ConfigSource::kSet:
      return "set";
    case ConfigSource::kFile:
      return "file";
    case ConfigSource::kDefault:
      break;
  }
  return "default";
}

ConfigValues::ConfigValues(const std::vector<ConfigField>& fields) : fields_(fields), slots_(fields.size()) {
  SetDefaults();
}

void ConfigValues::SetDefaults() {
  std::unique_lock lock(mutex_);
  for (size_t i = 0; i < fields_.size(); ++i) {
    slots_[i] = Slot{};
    slots_[i].number = fields_[i].default_value;
    if (fields_[i].kind == ConfigFieldKind::kPlacement) slots_[i].placement.assign(kWindowPlacementSize, '\0');
  }
}

void ConfigValues::LoadField(Registry& registry, const ConfigField& field, Slot& slot) {
  std::optional<int64_t> number;
  switch (field.kind) {
    case ConfigFieldKind::kBool:
      if (const auto stored = registry.TryReadBool(field.name)) number = *stored ? 1 : 0;
      break;
    case ConfigFieldKind::kInteger:
      number = registry.TryReadInteger(field.name);
      break;
    default: {
      const size_t size = BinarySize(field.kind);
      char buffer[kWindowPlacementSize] = {};
      // A shorter value would leave part of the field as it was: such a value is not taken, nor
      // is a missing one.
      if (registry.TryReadBinaryData(field.name, buffer, size) != size) return;
      if (field.kind == ConfigFieldKind::kDateTime) {
        std::memcpy(&slot.date, buffer, sizeof slot.date);
        slot.source = ConfigSource::kStored;
        return;
      }
      if (field.kind == ConfigFieldKind::kPlacement) {
        slot.placement.assign(buffer, size);
        slot.source = ConfigSource::kStored;
        return;
      }
      const auto* bytes = reinterpret_cast<const unsigned char*>(buffer);
      number = size == 1 ? bytes[0] : bytes[0] | (bytes[1] << 8);
    }
  }
  if (!number) return;
  if (field.load_rule) number = field.load_rule(*number);
  if (!number) return;
  slot.number = *number;
  slot.source = ConfigSource::kStored;
}

void ConfigValues::Load(Registry& registry) {
  std::vector<Slot> loaded;
  {
    std::shared_lock lock(mutex_);
    loaded = slots_;
  }
  for (size_t i = 0; i < fields_.size(); ++i) LoadField(registry, fields_[i], loaded[i]);
  std::unique_lock lock(mutex_);
  slots_ = std::move(loaded);
}

void ConfigValues::Save(Registry& registry) const {
  std::vector<Slot> slots;
  {
    std::shared_lock lock(mutex_);
    slots = slots_;
  }
  for (size_t i = 0; i < fields_.size(); ++i) {
    const ConfigField& field = fields_[i];
    const Slot& slot = slots[i];
    switch (field.kind) {
      case ConfigFieldKind::kBool:
        registry.WriteBool(field.name, slot.number != 0);
        break;
      case ConfigFieldKind::kInteger:
        registry.WriteInteger(field.name, static_cast<int32_t>(slot.number));
        break;
      case ConfigFieldKind::kByte:
      case ConfigFieldKind::kWord: {
        const unsigned char bytes[2] = {static_cast<unsigned char>(slot.number & 0xff),
                                        static_cast<unsigned char>((slot.number >> 8) & 0xff)};
        registry.WriteBinaryData(field.name, bytes, BinarySize(field.kind));
        break;
      }
      case ConfigFieldKind::kDateTime:
        registry.WriteDateTime(field.name, slot.date);
        break;
      case ConfigFieldKind::kPlacement:
        registry.WriteBinaryData(field.name, slot.placement.data(), slot.placement.size());
        break;
    }
  }
}

int64_t ConfigValues::Number(size_t index) const {
  std::shared_lock lock(mutex_);
  return slots_.at(index).number;
}

bool ConfigValues::SetNumber(size_t index, int64_t value) {
  std::unique_lock lock(mutex_);
  Slot& slot = slots_.at(index);
  if (slot.number == value) return false;
  slot.number = value;
  slot.source = ConfigSource::kSet;
  return true;
}

double ConfigValues::DateTime(size_t index) const {
  std::shared_lock lock(mutex_);
  return slots_.at(index).date;
}

bool ConfigValues::SetDateTime(size_t index, double value) {
  std::unique_lock lock(mutex_);
  Slot& slot = slots_.at(index);
  if (slot.date == value) return false;
  slot.date = value;
  slot.source = ConfigSource::kSet;
  return true;
}

std::string ConfigValues::Placement(size_t index) const {
  std::shared_lock lock(mutex_);
  return slots_.at(index).placement;
}

bool ConfigValues::SetPlacement(size_t index, const std::string& record) {
  std::string fitted = record.substr(0, kWindowPlacementSize);
  fitted.resize(kWindowPlacementSize, '\0');
  std::unique_lock lock(mutex_);
  Slot& slot = slots_.at(index);
  if (slot.placement == fitted) return false;
  slot.placement = std::move(fitted);
  slot.source = ConfigSource::kSet;
  return true;
}

std::vector<ConfigValueView> ConfigValues::Describe() const {
  std::shared_lock lock(mutex_);
  std::vector<ConfigValueView> views;
  for (size_t i = 0; i < fields_.size(); ++i) {
    const Slot& slot = slots_[i];
    std::string text;
    switch (fields_[i].kind) {
      case ConfigFieldKind::kBool:
        text = slot.number ? "true" : "false";
        break;
      case ConfigFieldKind::kDateTime: {
        char number[64];
        std::snprintf(number, sizeof number, "%.10g", slot.date);
        text = number;
        break;
      }
      case ConfigFieldKind::kPlacement:
        text = Hex(slot.placement);
        break;
      default:
        text = std::to_string(slot.number);
    }
    views.push_back({fields_[i].name, text, slot.source});
  }
  return views;
}

}  // namespace plb
