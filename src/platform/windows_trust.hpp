// The Windows side of the package trust rule, apart from the seam's plain
// interface (platform/access.hpp): how one owner and access list are judged,
// the handles a package is held by, and what the trace file asks of its
// directory.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zep::platform::windows {

// A handle kept where the seam keeps a descriptor: the system gives handles
// that fit 32 bits, sign extended, even to 64-bit processes; -1 is none.
inline int descriptorOf(HANDLE handle) {
  return static_cast<int>(reinterpret_cast<std::intptr_t>(handle));
}
inline HANDLE handleOf(int descriptor) {
  return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(descriptor));
}

// What may be written through an access list: the data, the entries of a
// directory, the object itself (its deletion), its access list and owner.
inline constexpr ACCESS_MASK kWriteRights =
    FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER;

// A SID that the access list lets write, and what it lets it.
struct Writer {
  std::string sid;
  ACCESS_MASK rights;
  // Granted by an entry inherited from the directory above.
  bool inherited;
};

struct SecurityJudgement {
  std::string owner;
  bool ownerTrusted = false;
  // No access list at all: everyone may do everything.
  bool nullDacl = false;
  std::vector<Writer> writers;
  // An entry of a kind not read here ("" when none): what it allows cannot
  // be decided.
  std::string unreadable;
};

// Judges an owner and access list (null: a NULL DACL) as Windows evaluates
// it for another SID: entries in order, the first to decide a right
// deciding it, a deny covering that SID only when it names it or Everyone.
// Trusted: SYSTEM, Administrators, TrustedInstaller and `self` (this
// process's user, as a SID string).
SecurityJudgement judgeSecurity(PSID owner, const ACL* dacl, const std::string& self);

// "S-1-1-0", and "Everyone (S-1-1-0)" where the system names it.
std::string sidText(PSID sid);
std::string accountOf(const std::string& sid);

// This process's user as a SID string.
const std::string& processUser();

// The path of an open file as the system resolves it, "\\?\" left off where
// the rest is an ordinary drive path; "" when unknown.
std::string finalPath(HANDLE handle);

// The directory part of a path, "" when it has none.
std::string parentOf(const std::string& path);
// A directory opened to read its entries and security, held with `share`.
HANDLE openDirectory(const std::wstring& path, DWORD share = FILE_SHARE_READ);

// The dependencies loaded ahead of a package by dependenciesBesideTrusted,
// given up once the package's own load has taken its references to them;
// those Windows loads by name only later are kept with `package` (given up
// too when it is null), until releaseKept gives them up once it is closed.
void releasePreloaded(HMODULE package = nullptr) noexcept;
void releaseKept(HMODULE package) noexcept;

// Security for a file that only this process's user (and SYSTEM) may open,
// in a directory that passes the package rule.
class PrivateFileSecurity {
 public:
  PrivateFileSecurity() = default;
  PrivateFileSecurity(const PrivateFileSecurity&) = delete;
  PrivateFileSecurity& operator=(const PrivateFileSecurity&) = delete;
  ~PrivateFileSecurity();
  // Raises std::system_error saying who else may write the directory that
  // holds `path` (of the trace file, as `what` names it), or that it cannot
  // be read; the directory is then held until this is destroyed.
  void requireDirectoryOf(const std::string& path, const std::string& what);
  SECURITY_ATTRIBUTES* attributes() noexcept { return &attributes_; }

 private:
  HANDLE directory_ = INVALID_HANDLE_VALUE;
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
};

}  // namespace zep::platform::windows
