#include "utility/Registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>

#include "platform/data_files.h"
#include "platform/paths.h"
#include "utility/KeepAside.h"
#include "utility/Logger.h"

namespace DE {
namespace {

using json = nlohmann::json;

constexpr const char* kSourceTag = "Registry";

// flock orders processes; this orders the threads of one process before they reach it.
std::mutex processLock;

const char* RootName(HKEY root) { return root == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER" : nullptr; }

void LogError(const std::string& message, const char* qualifiedName, int line, const char* signature) {
  hostlog::Error(message, qualifiedName, kSourceTag, line, signature);
}

std::string ErrnoText() { return std::strerror(errno); }

// What is wrong with the registry document, or an empty text when nothing is.
std::string ShapeProblem(const json& doc) {
  if (doc.is_discarded()) return "is not valid JSON";
  if (!doc.is_object()) return "does not hold a JSON object";
  for (const auto& [rootName, keys] : doc.items()) {
    if (!keys.is_object()) return "holds a root \"" + rootName + "\" that is not an object";
    for (const auto& [keyPath, values] : keys.items()) {
      if (!values.is_object()) return "holds a key \"" + keyPath + "\" that is not an object";
    }
  }
  return {};
}

// The registry file of the current data directory, locked for as long as this object lives.
class RegistryFile {
 public:
  RegistryFile() : guard_(processLock), path_(platform::DataFilePath(platform::kRegistryFile)) {
    if (path_.empty()) {
      LogError("there is no data directory: the user has no home directory", "DE::RegistryFile::RegistryFile",
               __LINE__, __PRETTY_FUNCTION__);
      return;
    }
    const std::string lockPath = path_ + ".lock";
    fd_ = platform::OpenPrivateFile(lockPath, O_RDWR);
    if (fd_ < 0) {
      LogError("cannot open " + lockPath + ": " + ErrnoText(), "DE::RegistryFile::RegistryFile", __LINE__,
               __PRETTY_FUNCTION__);
      return;
    }
    int rc;
    while ((rc = ::flock(fd_, LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (rc != 0) {
      LogError("cannot lock " + lockPath + ": " + ErrnoText(), "DE::RegistryFile::RegistryFile", __LINE__,
               __PRETTY_FUNCTION__);
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~RegistryFile() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  RegistryFile(const RegistryFile&) = delete;
  RegistryFile& operator=(const RegistryFile&) = delete;

  // The whole registry (an empty one when there is no file yet); nullopt when it cannot be read.
  std::optional<json> Load() {
    if (fd_ < 0) return std::nullopt;
    std::error_code ec;
    if (!std::filesystem::exists(path_, ec)) {
      if (ec) {
        LogError("cannot look for " + path_ + ": " + ec.message(), "DE::RegistryFile::Load", __LINE__,
                 __PRETTY_FUNCTION__);
        return std::nullopt;
      }
      return json::object();
    }
    std::ifstream in(path_, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.is_open() || in.bad()) {
      LogError("cannot read " + path_, "DE::RegistryFile::Load", __LINE__, __PRETTY_FUNCTION__);
      return std::nullopt;
    }
    json doc = json::parse(text, nullptr, /*allow_exceptions=*/false);
    const std::string problem = ShapeProblem(doc);
    if (problem.empty()) return doc;
    return KeepAside(problem);
  }

  // Writes the whole registry to a temporary file and renames it over the old one.
  bool Save(const json& doc) {
    if (fd_ < 0) return false;
    const std::string temp = path_ + ".tmp";
    const std::string text = doc.dump(2) + "\n";
    const int out = platform::OpenPrivateFile(temp, O_WRONLY | O_TRUNC);
    bool ok = out >= 0;
    for (size_t written = 0; ok && written < text.size();) {
      const ssize_t n = ::write(out, text.data() + written, text.size() - written);
      if (n < 0 && errno == EINTR) continue;
      ok = n > 0;
      if (ok) written += static_cast<size_t>(n);
    }
    ok = ok && ::fsync(out) == 0;
    if (out >= 0 && ::close(out) != 0) ok = false;
    ok = ok && ::rename(temp.c_str(), path_.c_str()) == 0;
    if (!ok) {
      LogError("cannot write " + path_ + ": " + ErrnoText(), "DE::RegistryFile::Save", __LINE__,
               __PRETTY_FUNCTION__);
      ::unlink(temp.c_str());
    }
    return ok;
  }

 private:
  // A registry that cannot be understood is kept for inspection and replaced by an empty one.
  std::optional<json> KeepAside(const std::string& problem) {
    std::error_code ec;
    const std::string aside = hostfiles::MoveAside(path_, "corrupt", ec);
    if (ec) {
      LogError(path_ + " " + problem + " and cannot be moved aside (" + ec.message() + ")",
               "DE::RegistryFile::KeepAside", __LINE__, __PRETTY_FUNCTION__);
      return std::nullopt;
    }
    LogError(path_ + " " + problem + "; kept it as " + aside + " and started an empty registry",
             "DE::RegistryFile::KeepAside", __LINE__, __PRETTY_FUNCTION__);
    return json::object();
  }

  std::lock_guard<std::mutex> guard_;
  std::string path_;
  int fd_ = -1;
};

// The value stored under root/key/name, or nullptr.
const json* FindValue(const json& doc, const char* root, const std::string& key, const std::string& name) {
  const auto keys = doc.find(root);
  if (keys == doc.end()) return nullptr;
  const auto values = keys->find(key);
  if (values == keys->end()) return nullptr;
  const auto value = values->find(name);
  return value == values->end() ? nullptr : &*value;
}

}  // namespace

bool Registry::SetRootKey(HKEY root) {
  if (!RootName(root)) return false;
  root_ = root;
  return true;
}

bool Registry::KeyExists(const std::string& key) const {
  if (key.empty()) return false;
  RegistryFile file;
  const auto doc = file.Load();
  if (!doc) return false;
  const auto keys = doc->find(RootName(root_));
  if (keys == doc->end()) return false;
  if (keys->contains(key)) return true;
  const std::string below = key.back() == '\\' ? key : key + "\\";
  for (const auto& [path, values] : keys->items()) {
    if (path.starts_with(below)) return true;
  }
  return false;
}

bool Registry::CreateKey(const std::string& key) {
  if (key.empty()) return false;
  RegistryFile file;
  auto doc = file.Load();
  if (!doc) return false;
  json& keys = (*doc)[RootName(root_)];
  if (keys.contains(key)) return true;
  keys[key] = json::object();
  return file.Save(*doc);
}

bool Registry::GetValue(HKEY root, const std::string& key, const std::string& name, uint32_t& value,
                        REGSAM access) {
  const char* rootName = RootName(root);
  if (!rootName || key.empty() || !(access & KEY_QUERY_VALUE)) return false;
  RegistryFile file;
  const auto doc = file.Load();
  if (!doc) return false;
  const json* stored = FindValue(*doc, rootName, key, name);
  if (!stored || !stored->is_number_unsigned()) return false;
  const auto number = stored->get<uint64_t>();
  if (number > std::numeric_limits<uint32_t>::max()) return false;
  value = static_cast<uint32_t>(number);
  return true;
}

bool Registry::SetValue(HKEY root, const std::string& key, const std::string& name, uint32_t value,
                        REGSAM access) {
  const char* rootName = RootName(root);
  if (!rootName || key.empty() || !(access & KEY_SET_VALUE)) return false;
  RegistryFile file;
  auto doc = file.Load();
  if (!doc) return false;
  (*doc)[rootName][key][name] = value;
  return file.Save(*doc);
}

}  // namespace DE
