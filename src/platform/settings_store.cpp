#include "platform/settings_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <utility>

#include "platform/atomic_file.h"
#include "platform/text_encoding.h"

namespace plb {

using Json = nlohmann::ordered_json;
using platform::FromHex;
using platform::IsValidUtf8;
using platform::ToHex;

namespace {

// A store file is a few kilobytes; anything this large is not one of ours.
constexpr off_t kMaxStoreFileSize = 16 << 20;

std::string Fold(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && Fold(a) == Fold(b);
}

// "\\A\\\\B\\" and "A\\B" name the same key.
std::string NormalKey(const std::string& key) {
  std::string out;
  size_t start = 0;
  while (start <= key.size()) {
    size_t end = key.find('\\', start);
    if (end == std::string::npos) end = key.size();
    if (end > start) {
      if (!out.empty()) out += '\\';
      out.append(key, start, end - start);
    }
    start = end + 1;
  }
  return out;
}

Json ToJson(const SettingsStore::Value& value) {
  switch (value.type) {
    case ValueType::kDword:
      return Json{{"type", "dword"}, {"data", static_cast<int32_t>(value.dword)}};
    case ValueType::kBinary:
      return Json{{"type", "binary"}, {"data", ToHex(value.bytes)}};
    case ValueType::kString:
      // Texts that are not UTF-8 (file names from old media) are kept byte for byte.
      if (IsValidUtf8(value.bytes)) return Json{{"type", "string"}, {"data", value.bytes}};
      return Json{{"type", "string"}, {"hex", ToHex(value.bytes)}};
    case ValueType::kNone:
      break;
  }
  throw ERegistryException("A value without a type cannot be stored");
}

// The value an entry of the file holds, or nothing when the entry is not a well-formed value.
std::optional<SettingsStore::Value> FromJson(const Json& entry) {
  if (!entry.is_object()) return std::nullopt;
  const auto type = entry.find("type");
  if (type == entry.end() || !type->is_string()) return std::nullopt;
  const auto data = entry.find("data");
  SettingsStore::Value value;
  if (*type == "dword") {
    if (data == entry.end() || !data->is_number_integer()) return std::nullopt;
    if (data->is_number_unsigned()) {
      const auto n = data->get<uint64_t>();
      if (n > UINT32_MAX) return std::nullopt;
      value.dword = static_cast<uint32_t>(n);
    } else {
      const auto n = data->get<int64_t>();
      if (n < INT32_MIN || n > static_cast<int64_t>(UINT32_MAX)) return std::nullopt;
      value.dword = static_cast<uint32_t>(n);
    }
    value.type = ValueType::kDword;
    return value;
  }
  if (*type == "binary") {
    if (data == entry.end() || !data->is_string()) return std::nullopt;
    auto bytes = FromHex(data->get_ref<const std::string&>());
    if (!bytes) return std::nullopt;
    value.type = ValueType::kBinary;
    value.bytes = std::move(*bytes);
    return value;
  }
  if (*type == "string") {
    value.type = ValueType::kString;
    if (data != entry.end() && data->is_string()) {
      value.bytes = data->get<std::string>();
      return value;
    }
    const auto hex = entry.find("hex");
    if (hex == entry.end() || !hex->is_string()) return std::nullopt;
    auto bytes = FromHex(hex->get_ref<const std::string&>());
    if (!bytes) return std::nullopt;
    value.bytes = std::move(*bytes);
    return value;
  }
  return std::nullopt;
}

// A parsed file is a store when it is an object of keys, each an object of well-formed values.
bool IsStore(const Json& doc) {
  if (!doc.is_object()) return false;
  for (const auto& [key, values] : doc.items()) {
    if (!values.is_object()) return false;
    for (const auto& [name, entry] : values.items()) {
      if (!FromJson(entry)) return false;
    }
  }
  return true;
}

// The entry of doc (keys or values) whose name matches, or end().
Json::iterator FindNamed(Json& object, const std::string& name) {
  for (auto it = object.begin(); it != object.end(); ++it) {
    if (SameName(it.key(), name)) return it;
  }
  return object.end();
}

std::mutex& ProblemMutex() {
  static std::mutex mutex;
  return mutex;
}
std::function<void(const std::string&)>& ProblemHandler() {
  static std::function<void(const std::string&)> handler;
  return handler;
}
std::vector<std::string>& PendingProblems() {
  static std::vector<std::string> notes;
  return notes;
}

void ReportProblem(const std::string& note) {
  std::function<void(const std::string&)> handler;
  {
    std::lock_guard lock(ProblemMutex());
    if (!ProblemHandler()) {
      PendingProblems().push_back(note);
      return;
    }
    handler = ProblemHandler();
  }
  handler(note);
}

std::string TimeText() {
  const time_t now = time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  char text[32];
  strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  return text;
}

struct Stamp {
  bool exists = false;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  timespec mtime{};
  bool operator==(const Stamp& o) const {
    return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
           mtime.tv_nsec == o.mtime.tv_nsec;
  }
};

Stamp StampOf(const struct stat& st) {
  return Stamp{true, st.st_dev, st.st_ino, st.st_size, st.st_mtim};
}

Stamp StampOfPath(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return Stamp{};
  return StampOf(st);
}

// An exclusive flock on the lock file beside the store, for one read-modify-write.
class FileLock {
 public:
  // With wait unset, a lock that cannot be had at once (or a lock file that cannot be created)
  // leaves the lock unheld instead of raising.
  FileLock(const std::string& store_path, bool wait) {
    const std::string folder = std::filesystem::path(store_path).parent_path().string();
    std::error_code ignored;
    if (!folder.empty()) std::filesystem::create_directories(folder, ignored);
    const std::string lock_path = store_path + ".lock";
    fd_ = open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) {
      if (!wait) return;
      throw ERegistryException("Cannot open the settings lock \"" + lock_path + "\": " + std::strerror(errno));
    }
    int result;
    while ((result = flock(fd_, wait ? LOCK_EX : LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (result != 0) {
      const int error = errno;
      close(fd_);
      fd_ = -1;
      if (!wait) return;
      throw ERegistryException("Cannot lock \"" + lock_path + "\": " + std::strerror(error));
    }
  }
  ~FileLock() {
    if (fd_ >= 0) close(fd_);  // closing releases the flock
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace

// ---------------------------------------------------------------------------------------------

void SetSettingsProblemHandler(std::function<void(const std::string& note)> handler) {
  std::vector<std::string> pending;
  {
    std::lock_guard lock(ProblemMutex());
    ProblemHandler() = handler;
    if (handler) pending.swap(PendingProblems());
  }
  for (const auto& note : pending) handler(note);
}

std::string HiveFilePath(Hive hive) {
  if (hive == Hive::kLocalMachine) {
    const char* machine = std::getenv("PLB_MACHINE_REGISTRY");
    return machine && *machine ? machine : "/etc/xdg/Morvane/registry.json";
  }
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && *config == '/') return std::string(config) + "/Morvane/registry.json";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "") + "/.config/Morvane/registry.json";
}

struct SettingsStore::State {
  Json doc = Json::object();
  bool loaded = false;
  Stamp stamp;
  int batch_depth = 0;
  std::unique_ptr<FileLock> batch_lock;
  bool dirty = false;
  std::optional<Stamp> reported_unreadable;
};

std::shared_ptr<SettingsStore> SettingsStore::ForPath(const std::string& path, mode_t mode) {
  static std::mutex mutex;
  static std::map<std::string, std::shared_ptr<SettingsStore>> stores;
  std::lock_guard lock(mutex);
  auto& store = stores[path];
  if (!store) store = std::make_shared<SettingsStore>(path, mode);
  return store;
}

SettingsStore::SettingsStore(std::string path, mode_t mode)
    : path_(std::move(path)), mode_(mode), state_(std::make_unique<State>()) {}

SettingsStore::~SettingsStore() = default;

namespace {

// Reads the store file; nothing when it is missing, the parsed store, or an error text.
struct FileRead {
  Stamp stamp;
  std::optional<Json> doc;
  std::string problem;
};

FileRead ReadStoreFile(const std::string& path) {
  FileRead result;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) {
      result.doc = Json::object();
      return result;
    }
    throw ERegistryException("Cannot read \"" + path + "\": " + std::strerror(errno));
  }
  struct stat st {};
  fstat(fd, &st);
  result.stamp = StampOf(st);
  std::string text;
  if (!S_ISREG(st.st_mode)) {
    result.problem = "it is not a regular file";
  } else if (st.st_size > kMaxStoreFileSize) {
    result.problem = "it is too large";
  } else {
    text.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = read(fd, text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    text.resize(done);
  }
  close(fd);
  if (!result.problem.empty()) return result;
  Json doc = Json::parse(text, nullptr, false);
  if (doc.is_discarded()) {
    result.problem = "it is not valid JSON";
  } else if (!IsStore(doc)) {
    result.problem = "it does not hold keys and typed values";
  } else {
    result.doc = std::move(doc);
  }
  return result;
}

}  // namespace

namespace {

// Brings the in-memory store up to the file, when the file changed since it was last read. A file
// that is not a store is moved aside when the lock can be had, so that the next write does not
// destroy what it held.
void Refresh(const std::string& path, SettingsStore::State& state, bool have_lock) {
  const Stamp now = StampOfPath(path);
  if (state.loaded && now == state.stamp) return;
  FileRead file = ReadStoreFile(path);
  if (file.doc) {
    state.doc = std::move(*file.doc);
    state.stamp = file.stamp;
    state.loaded = true;
    return;
  }
  if (!have_lock) {
    FileLock lock(path, false);
    if (lock.Held()) return Refresh(path, state, true);
  }
  std::string note = "The settings file \"" + path + "\" was not used because " + file.problem;
  Stamp after = file.stamp;
  if (have_lock) {
    const std::string base = path + ".corrupt-" + TimeText();
    std::string aside = base;
    for (int n = 2; std::filesystem::exists(aside) && n < 1000; ++n) aside = base + "-" + std::to_string(n);
    if (rename(path.c_str(), aside.c_str()) == 0) {
      note += "; it was kept as \"" + aside + "\"";
      after = Stamp{};
    } else {
      note += "; it could not be set aside (" + std::string(std::strerror(errno)) + ")";
    }
  }
  note += "; the settings start empty.";
  state.doc = Json::object();
  state.stamp = after;
  state.loaded = true;
  if (!state.reported_unreadable || !(*state.reported_unreadable == file.stamp)) {
    state.reported_unreadable = file.stamp;
    ReportProblem(note);
  }
}

// Under the file lock the file is always read again: an inode number can be reused by a later
// replacement of the same size within the file system's time stamp granularity, and a write based
// on a stale copy would undo another process's write.
void ForceRefresh(const std::string& path, SettingsStore::State& state) {
  state.loaded = false;
  Refresh(path, state, true);
}

void Flush(const std::string& path, mode_t mode, SettingsStore::State& state) {
  const std::string text = state.doc.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
  try {
    WriteFileAtomically(path, text, mode);
  } catch (const Error& e) {
    state.loaded = false;  // the file still holds what it held: read it again
    throw ERegistryException(e.Message());
  }
  state.stamp = StampOfPath(path);
  state.dirty = false;
}

}  // namespace

template <typename F>
auto SettingsStore::Reading(F&& f) {
  std::lock_guard lock(mutex_);
  if (state_->batch_depth == 0) Refresh(path_, *state_, false);
  return f(state_->doc);
}

template <typename F>
auto SettingsStore::Writing(F&& f) {
  std::lock_guard lock(mutex_);
  if (state_->batch_depth > 0) {
    state_->dirty = true;
    return f(state_->doc);
  }
  FileLock file_lock(path_, true);
  ForceRefresh(path_, *state_);
  try {
    auto result = f(state_->doc);
    Flush(path_, mode_, *state_);
    return result;
  } catch (...) {
    state_->loaded = false;
    throw;
  }
}

void SettingsStore::BeginBatch() {
  if (state_->batch_depth++ > 0) return;
  try {
    state_->batch_lock = std::make_unique<FileLock>(path_, true);
    ForceRefresh(path_, *state_);
  } catch (...) {
    state_->batch_lock.reset();
    state_->batch_depth = 0;
    throw;
  }
}

void SettingsStore::CommitBatch() {
  if (--state_->batch_depth > 0) return;
  struct Release {
    State& state;
    ~Release() { state.batch_lock.reset(); }
  } release{*state_};
  if (state_->dirty) Flush(path_, mode_, *state_);
}

void SettingsStore::DropBatch() noexcept {
  if (--state_->batch_depth > 0) return;
  state_->batch_lock.reset();
  if (!state_->dirty) return;
  // The next access reads the file again, which never saw the batch's writes.
  state_->dirty = false;
  state_->loaded = false;
}

SettingsStore::Batch::Batch(SettingsStore& store) : store_(store), hold_(store.mutex_) {
  store_.BeginBatch();
}

SettingsStore::Batch::~Batch() {
  if (!done_) store_.DropBatch();
}

void SettingsStore::Batch::Commit() {
  if (done_) return;
  done_ = true;
  store_.CommitBatch();
}

bool SettingsStore::KeyExists(const std::string& key) {
  const std::string normal = NormalKey(key);
  return Reading([&](Json& doc) { return normal.empty() || FindNamed(doc, normal) != doc.end(); });
}

namespace {

// The key's object, creating it and its missing parents with the case of the request.
Json& MakeKey(Json& doc, const std::string& normal) {
  std::string stored;
  Json* found = nullptr;
  size_t start = 0;
  while (start < normal.size()) {
    size_t end = normal.find('\\', start);
    if (end == std::string::npos) end = normal.size();
    const std::string wanted = (stored.empty() ? "" : stored + "\\") + normal.substr(start, end - start);
    auto it = FindNamed(doc, wanted);
    if (it == doc.end()) {
      doc[wanted] = Json::object();
      stored = wanted;
      found = &doc[wanted];
    } else {
      stored = it.key();
      found = &it.value();
    }
    start = end + 1;
  }
  if (!found) throw ERegistryException("Values cannot be stored without a key");
  return *found;
}

bool IsBelow(const std::string& key, const std::string& folded_parent) {
  const std::string folded = Fold(key);
  return folded.size() > folded_parent.size() + 1 && folded.compare(0, folded_parent.size(), folded_parent) == 0 &&
         folded[folded_parent.size()] == '\\';
}

}  // namespace

void SettingsStore::CreateKey(const std::string& key) {
  const std::string normal = NormalKey(key);
  Writing([&](Json& doc) {
    MakeKey(doc, normal);
    return 0;
  });
}

bool SettingsStore::DeleteKey(const std::string& key) {
  const std::string normal = NormalKey(key);
  if (normal.empty()) throw ERegistryException("The root of the settings cannot be deleted");
  if (!KeyExists(normal)) return false;
  return Writing([&](Json& doc) {
    const std::string folded = Fold(normal);
    std::vector<std::string> doomed;
    for (auto it = doc.begin(); it != doc.end(); ++it) {
      if (Fold(it.key()) == folded || IsBelow(it.key(), folded)) doomed.push_back(it.key());
    }
    for (const auto& name : doomed) doc.erase(name);
    return !doomed.empty();
  });
}

std::vector<std::string> SettingsStore::ValueNames(const std::string& key) {
  const std::string normal = NormalKey(key);
  return Reading([&](Json& doc) {
    std::vector<std::string> names;
    auto it = FindNamed(doc, normal);
    if (it == doc.end()) return names;
    for (auto value = it->begin(); value != it->end(); ++value) names.push_back(value.key());
    return names;
  });
}

std::vector<std::string> SettingsStore::SubkeyNames(const std::string& key) {
  const std::string normal = NormalKey(key);
  return Reading([&](Json& doc) {
    std::vector<std::string> names;
    const std::string folded = Fold(normal);
    for (auto it = doc.begin(); it != doc.end(); ++it) {
      const std::string& stored = it.key();
      if (normal.empty()) {
        if (stored.find('\\') == std::string::npos) names.push_back(stored);
      } else if (IsBelow(stored, folded) && stored.find('\\', folded.size() + 1) == std::string::npos) {
        names.push_back(stored.substr(folded.size() + 1));
      }
    }
    return names;
  });
}

std::optional<SettingsStore::Value> SettingsStore::Read(const std::string& key, const std::string& name) {
  const std::string normal = NormalKey(key);
  return Reading([&](Json& doc) -> std::optional<Value> {
    auto it = FindNamed(doc, normal);
    if (it == doc.end()) return std::nullopt;
    auto value = FindNamed(*it, name);
    if (value == it->end()) return std::nullopt;
    return FromJson(*value);
  });
}

void SettingsStore::Write(const std::string& key, const std::string& name, const Value& value) {
  const std::string normal = NormalKey(key);
  Json entry = ToJson(value);
  Writing([&](Json& doc) {
    Json& values = MakeKey(doc, normal);
    auto it = FindNamed(values, name);
    if (it == values.end()) {
      values[name] = std::move(entry);
    } else {
      it.value() = std::move(entry);
    }
    return 0;
  });
}

bool SettingsStore::DeleteValue(const std::string& key, const std::string& name) {
  const std::string normal = NormalKey(key);
  const bool exists = Reading([&](Json& doc) {
    auto it = FindNamed(doc, normal);
    return it != doc.end() && FindNamed(*it, name) != it->end();
  });
  if (!exists) return false;
  return Writing([&](Json& doc) {
    auto it = FindNamed(doc, normal);
    if (it == doc.end()) return false;
    auto value = FindNamed(*it, name);
    if (value == it->end()) return false;
    it->erase(value.key());
    return true;
  });
}

// ---------------------------------------------------------------------------------------------

Registry::Registry(Hive hive) : store_(SettingsStore::ForHive(hive)) {}

Registry::Registry(std::shared_ptr<SettingsStore> store) : store_(std::move(store)) {}

bool Registry::OpenKey(const std::string& key, bool create) {
  const std::string normal = NormalKey(key);
  if (!store_->KeyExists(normal)) {
    if (!create) return false;
    store_->CreateKey(normal);
  }
  current_ = normal;
  return true;
}

const std::string& Registry::CurrentPath() const {
  static const std::string none;
  return current_ ? *current_ : none;
}

const std::string& Registry::Key() const {
  if (!current_) throw ERegistryException("No key is open");
  return *current_;
}

bool Registry::ValueExists(const std::string& name) {
  return current_ && store_->Read(*current_, name).has_value();
}

ValueType Registry::GetDataType(const std::string& name) {
  if (!current_) return ValueType::kNone;
  const auto value = store_->Read(*current_, name);
  return value ? value->type : ValueType::kNone;
}

int64_t Registry::GetDataSize(const std::string& name) {
  if (!current_) return -1;
  const auto value = store_->Read(*current_, name);
  if (!value) return -1;
  return value->type == ValueType::kDword ? 4 : static_cast<int64_t>(value->bytes.size());
}

std::vector<std::string> Registry::GetValueNames() {
  return current_ ? store_->ValueNames(*current_) : std::vector<std::string>{};
}

std::vector<std::string> Registry::GetKeyNames() {
  return current_ ? store_->SubkeyNames(*current_) : std::vector<std::string>{};
}

bool Registry::DeleteValue(const std::string& name) {
  return store_->DeleteValue(Key(), name);
}

namespace {

[[noreturn]] void RaiseInvalidType(const std::string& name) {
  throw ERegistryException("Invalid data type for '" + name + "'");
}

template <typename T>
T Present(std::optional<T> value, const std::string& name) {
  if (!value) RaiseInvalidType(name);
  return std::move(*value);
}

}  // namespace

std::optional<SettingsStore::Value> Registry::Typed(const std::string& name, ValueType type) {
  auto value = store_->Read(Key(), name);
  if (value && value->type != type) RaiseInvalidType(name);
  return value;
}

std::optional<int32_t> Registry::TryReadInteger(const std::string& name) {
  const auto value = Typed(name, ValueType::kDword);
  if (!value) return std::nullopt;
  return static_cast<int32_t>(value->dword);
}

std::optional<bool> Registry::TryReadBool(const std::string& name) {
  const auto value = TryReadInteger(name);
  if (!value) return std::nullopt;
  return *value != 0;
}

std::optional<std::string> Registry::TryReadString(const std::string& name) {
  auto value = Typed(name, ValueType::kString);
  if (!value) return std::nullopt;
  return std::move(value->bytes);
}

std::optional<std::string> Registry::TryReadBinary(const std::string& name) {
  auto value = Typed(name, ValueType::kBinary);
  if (!value) return std::nullopt;
  return std::move(value->bytes);
}

std::optional<size_t> Registry::TryReadBinaryData(const std::string& name, void* buffer, size_t size) {
  const auto bytes = TryReadBinary(name);
  if (!bytes) return std::nullopt;
  if (bytes->size() > size) RaiseInvalidType(name);
  if (!bytes->empty()) std::memcpy(buffer, bytes->data(), bytes->size());
  return bytes->size();
}

std::optional<double> Registry::TryReadDateTime(const std::string& name) {
  double value = 0;
  const auto size = TryReadBinaryData(name, &value, sizeof value);
  if (!size) return std::nullopt;
  if (*size != sizeof value) RaiseInvalidType(name);
  return value;
}

int32_t Registry::ReadInteger(const std::string& name) {
  return Present(TryReadInteger(name), name);
}

std::string Registry::ReadString(const std::string& name) {
  return TryReadString(name).value_or("");
}

std::string Registry::ReadBinary(const std::string& name) {
  return Present(TryReadBinary(name), name);
}

size_t Registry::ReadBinaryData(const std::string& name, void* buffer, size_t size) {
  return Present(TryReadBinaryData(name, buffer, size), name);
}

double Registry::ReadDateTime(const std::string& name) {
  return Present(TryReadDateTime(name), name);
}

void Registry::WriteInteger(const std::string& name, int32_t value) {
  store_->Write(Key(), name, {ValueType::kDword, static_cast<uint32_t>(value), {}});
}

void Registry::WriteString(const std::string& name, const std::string& value) {
  store_->Write(Key(), name, {ValueType::kString, 0, value});
}

void Registry::WriteBinaryData(const std::string& name, const void* data, size_t size) {
  store_->Write(Key(), name, {ValueType::kBinary, 0, std::string(static_cast<const char*>(data), size)});
}

void Registry::WriteDateTime(const std::string& name, double value) {
  WriteBinaryData(name, &value, sizeof value);
}

// ---------------------------------------------------------------------------------------------

void SaveStringList(Registry& registry, const std::string& key, const std::vector<std::string>& list) {
  SettingsStore::Batch batch(registry.Store());
  if (!registry.OpenKey(key, true)) throw ERegistryException("Cannot create the key \"" + key + "\"");
  for (const auto& name : registry.GetValueNames()) registry.DeleteValue(name);
  for (size_t i = 0; i < list.size(); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Data_%.2zu", i);
    registry.WriteString(name, list[i]);
  }
  batch.Commit();
}

std::vector<std::string> LoadStringList(Registry& registry, const std::string& key) {
  std::vector<std::string> list;
  if (!registry.OpenKeyReadOnly(key)) return list;
  for (const auto& name : registry.GetValueNames()) list.push_back(registry.ReadString(name));
  return list;
}

std::vector<std::string> LoadNameValueList(Registry& registry, const std::string& key) {
  std::vector<std::string> list;
  if (!registry.OpenKeyReadOnly(key)) return list;
  for (const auto& name : registry.GetValueNames()) {
    switch (registry.GetDataType(name)) {
      case ValueType::kString:
        list.push_back(name + "=" + registry.ReadString(name));
        break;
      case ValueType::kDword:
        list.push_back(name + "=" + std::to_string(registry.ReadInteger(name)));
        break;
      default:
        break;
    }
  }
  return list;
}

}  // namespace plb
