#pragma once
// The settings store: a registry of keys and typed values, one JSON file per hive.
//
// Keys are paths such as "SOFTWARE\\Morvane\\PlumoraBrowser\\Config"; key and value names are
// matched without regard to ASCII letter case and keep the case they were created with. Each value
// has a type (dword, binary, string) and values keep the order they were first written in. Every
// write is a read-modify-write of the whole file under an flock on "<file>.lock", replaced
// atomically, so two processes writing at once lose nothing; a Batch makes a run of writes one
// file write. A file that is not a valid store is moved aside and reported, and the hive starts
// empty.
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/error.h"

namespace plb {

enum class Hive { kCurrentUser, kLocalMachine };

enum class ValueType { kNone, kDword, kBinary, kString };

// "$XDG_CONFIG_HOME/Morvane/registry.json" (per-user; ~/.config when unset) or
// "/etc/xdg/Morvane/registry.json" (machine-wide; PLB_MACHINE_REGISTRY names another file).
std::string HiveFilePath(Hive hive);

// A problem with a store file that the program should log (a corrupt file set aside). Until a
// handler is set, notes are kept and handed to the first handler.
void SetSettingsProblemHandler(std::function<void(const std::string& note)> handler);

class SettingsStore {
 public:
  // The one store object of a file in this process.
  // A new file gets mode: the user's settings are private (0600); the machine-wide ones are read
  // by every user (0644).
  static std::shared_ptr<SettingsStore> ForPath(const std::string& path, mode_t mode = 0600);
  static std::shared_ptr<SettingsStore> ForHive(Hive hive) {
    return ForPath(HiveFilePath(hive), hive == Hive::kLocalMachine ? 0644 : 0600);
  }

  explicit SettingsStore(std::string path, mode_t mode = 0600);
  ~SettingsStore();
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;

  const std::string& Path() const { return path_; }

  struct Value {
    ValueType type = ValueType::kNone;
    uint32_t dword = 0;
    std::string bytes;  // the string's text or the binary data
  };

  bool KeyExists(const std::string& key);
  // Creates the key and its missing parents.
  void CreateKey(const std::string& key);
  // Removes the key with its values and every key below it; false when it did not exist.
  bool DeleteKey(const std::string& key);
  // The names of the key's values, in stored order (empty when the key is missing).
  std::vector<std::string> ValueNames(const std::string& key);
  // The names of the key's direct subkeys, in stored order.
  std::vector<std::string> SubkeyNames(const std::string& key);
  std::optional<Value> Read(const std::string& key, const std::string& name);
  // Writes the value, creating the key; an existing value keeps its place and the case of its name.
  void Write(const std::string& key, const std::string& name, const Value& value);
  bool DeleteValue(const std::string& key, const std::string& name);

  // Holds the store from its creation to Commit(): other threads wait, other processes' writes
  // wait, and every write inside goes to the file once, at Commit(). Without Commit() the writes
  // inside are dropped. Batches nest; the outermost one writes.
  class Batch {
   public:
    explicit Batch(SettingsStore& store);
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;
    void Commit();

   private:
    SettingsStore& store_;
    std::unique_lock<std::recursive_mutex> hold_;
    bool done_ = false;
  };

  struct State;  // the loaded file and the batch in progress

 private:
  template <typename F>
  auto Reading(F&& f);
  template <typename F>
  auto Writing(F&& f);
  void BeginBatch();
  // Ends the outermost batch by writing what it changed; raises when the file cannot be written.
  void CommitBatch();
  // Ends the outermost batch without writing; it cannot fail, so a batch's destructor needs it.
  void DropBatch() noexcept;

  std::string path_;
  mode_t mode_;
  std::recursive_mutex mutex_;
  std::unique_ptr<State> state_;
};

// The stand-in of the registry object: a hive, one open key and typed reads and writes of its
// values. Key paths are always full paths from the hive's root. Reads of a value with another
// type, and of a binary value longer than the buffer, raise ERegistryException, and so does any
// read or write while no key is open.
//
// A setting that may be absent is read with TryRead...: nothing when the value (or the open key,
// removed by another process since) is missing. What is there but unusable still raises, as with
// the plain reads: a value of another type is no absent value.
class Registry {
 public:
  explicit Registry(Hive hive = Hive::kCurrentUser);
  explicit Registry(std::shared_ptr<SettingsStore> store);

  SettingsStore& Store() { return *store_; }

  // Opens key; when it is missing, creates it if create is set, else returns false.
  bool OpenKey(const std::string& key, bool create);
  bool OpenKeyReadOnly(const std::string& key) { return OpenKey(key, false); }
  void CloseKey() { current_.reset(); }
  const std::string& CurrentPath() const;
  bool KeyExists(const std::string& key) { return store_->KeyExists(key); }
  bool DeleteKey(const std::string& key) { return store_->DeleteKey(key); }

  bool ValueExists(const std::string& name);
  ValueType GetDataType(const std::string& name);
  // The stored size in bytes (4 for a dword), or -1 when the value is missing.
  int64_t GetDataSize(const std::string& name);
  std::vector<std::string> GetValueNames();
  std::vector<std::string> GetKeyNames();
  bool DeleteValue(const std::string& name);

  std::optional<int32_t> TryReadInteger(const std::string& name);
  std::optional<bool> TryReadBool(const std::string& name);
  std::optional<std::string> TryReadString(const std::string& name);
  std::optional<std::string> TryReadBinary(const std::string& name);
  // Copies the binary value into buffer and returns its size.
  std::optional<size_t> TryReadBinaryData(const std::string& name, void* buffer, size_t size);
  // An 8-byte binary value holding an IEEE double; a binary value of another size raises.
  std::optional<double> TryReadDateTime(const std::string& name);

  // The same reads of a value that must be there: a missing one raises ERegistryException, except
  // that a missing string reads as the empty text.
  int32_t ReadInteger(const std::string& name);
  bool ReadBool(const std::string& name) { return ReadInteger(name) != 0; }
  std::string ReadString(const std::string& name);
  size_t ReadBinaryData(const std::string& name, void* buffer, size_t size);
  std::string ReadBinary(const std::string& name);
  double ReadDateTime(const std::string& name);

  void WriteInteger(const std::string& name, int32_t value);
  void WriteBool(const std::string& name, bool value) { WriteInteger(name, value ? 1 : 0); }
  void WriteString(const std::string& name, const std::string& value);
  void WriteBinaryData(const std::string& name, const void* data, size_t size);
  void WriteDateTime(const std::string& name, double value);

 private:
  const std::string& Key() const;
  // The value when it is there; raises when it has another type.
  std::optional<SettingsStore::Value> Typed(const std::string& name, ValueType type);

  std::shared_ptr<SettingsStore> store_;
  std::optional<std::string> current_;
};

// A string list: the subkey's string values "Data_00", "Data_01", ... Saving deletes every value of
// the key first; loading reads every value in stored order, whatever its name (a missing key is an
// empty list).
void SaveStringList(Registry& registry, const std::string& key, const std::vector<std::string>& list);
std::vector<std::string> LoadStringList(Registry& registry, const std::string& key);

// The key's values as texts "name=value" for strings and "name=number" for dwords; other types are
// skipped. A missing key is an empty list.
std::vector<std::string> LoadNameValueList(Registry& registry, const std::string& key);

}  // namespace plb
