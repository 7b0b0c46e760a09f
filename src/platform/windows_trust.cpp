// The package trust rule on Windows. A package is opened with CreateFileW
// sharing reading only, and its directory the same way: while both handles
// are held nobody can write, rename or delete the file, nor rename or delete
// the directory, so the owner and access list read through the handles are
// those of what the loader maps from the file's final path.
#include <windows.h>
//
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "platform/access.hpp"
#include "platform/platform.hpp"
#include "platform/windows.hpp"
#include "platform/windows_trust.hpp"

namespace zep::platform {

namespace windows {
namespace {

// SIDs whose writing is the till's administrators' own affair. OWNER RIGHTS
// stands for the owner, judged as the owner; CREATOR OWNER and CREATOR GROUP
// match no one on the object itself.
// clang-format off
constexpr const char* kTrustedSids[] = {
  "S-1-5-18",      // SYSTEM
  "S-1-5-32-544",  // Administrators
  "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",  // TrustedInstaller
  "S-1-3-4",       // OWNER RIGHTS
  "S-1-3-0",       // CREATOR OWNER
  "S-1-3-1",       // CREATOR GROUP
};
// clang-format on
constexpr const char* kEveryone = "S-1-1-0";
constexpr const char* kAdministrators = "S-1-5-32-544";

bool trusted(const std::string& sid, const std::string& self) {
  if (sid == self) return true;
  for (const char* known : kTrustedSids) {
    if (sid == known) return true;
  }
  return false;
}

struct LocalDeleter {
  void operator()(void* memory) const noexcept { LocalFree(memory); }
};

ACCESS_MASK mapped(ACCESS_MASK mask) {
  GENERIC_MAPPING files{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                        FILE_ALL_ACCESS};
  MapGenericMask(&mask, &files);
  return mask;
}

// The rights as icacls abbreviates them.
std::string rightsText(ACCESS_MASK rights) {
  // clang-format off
  struct Right { ACCESS_MASK bit; const char* name; };
  static constexpr Right kRights[] = {
    {FILE_WRITE_DATA,   "WD"},    // write data, or add a file
    {FILE_APPEND_DATA,  "AD"},    // append data, or add a subdirectory
    {FILE_DELETE_CHILD, "DC"},
    {DELETE,            "D"},
    {WRITE_DAC,         "WDAC"},
    {WRITE_OWNER,       "WO"},
  };
  // clang-format on
  std::string text;
  for (const Right& right : kRights) {
    if ((rights & right.bit) != 0) text += (text.empty() ? "" : ",") + std::string(right.name);
  }
  return text;
}

}  // namespace

std::string sidText(PSID sid) {
  wchar_t* text = nullptr;
  if (sid == nullptr || !ConvertSidToStringSidW(sid, &text)) return "an unreadable SID";
  std::unique_ptr<wchar_t, LocalDeleter> held(text);
  return narrow(std::wstring(text));
}

std::string accountOf(const std::string& sid) {
  PSID binary = nullptr;
  if (!ConvertStringSidToSidW(widen(sid).c_str(), &binary)) return sid;
  std::unique_ptr<void, LocalDeleter> held(binary);
  wchar_t name[256];
  wchar_t domain[256];
  DWORD nameSize = 256;
  DWORD domainSize = 256;
  SID_NAME_USE use;
  if (!LookupAccountSidW(nullptr, binary, name, &nameSize, domain, &domainSize, &use)) return sid;
  std::string account = narrow(std::wstring(name, nameSize));
  if (domainSize != 0) account = narrow(std::wstring(domain, domainSize)) + "\\" + account;
  return account + " (" + sid + ")";
}

const std::string& processUser() {
  static const std::string user = [] {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return std::string();
    alignas(TOKEN_USER) unsigned char buffer[256];
    DWORD size = 0;
    const bool read = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size);
    CloseHandle(token);
    // An unknown user is trusted for nothing: no SID text is empty.
    return read ? sidText(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid) : std::string();
  }();
  return user;
}

SecurityJudgement judgeSecurity(PSID owner, const ACL* dacl, const std::string& self) {
  SecurityJudgement judgement;
  judgement.owner = sidText(owner);
  judgement.ownerTrusted = trusted(judgement.owner, self);
  if (dacl == nullptr) {
    judgement.nullDacl = true;
    return judgement;
  }
  struct Entry {
    bool allow;
    std::string sid;
    ACCESS_MASK mask;
    bool inherited;
  };
  std::vector<Entry> entries;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(const_cast<ACL*>(dacl), i, &ace)) {
      judgement.unreadable = "entry " + std::to_string(i);
      return judgement;
    }
    const auto* header = static_cast<const ACE_HEADER*>(ace);
    // Inherit-only entries are for what is created inside, judged then.
    if ((header->AceFlags & INHERIT_ONLY_ACE) != 0) continue;
    // The four kinds a file's list holds share one layout; a callback
    // entry's condition is taken to hold where it would allow, and not to
    // where it would deny.
    const BYTE type = header->AceType;
    const bool allow = type == ACCESS_ALLOWED_ACE_TYPE || type == ACCESS_ALLOWED_CALLBACK_ACE_TYPE;
    const bool deny = type == ACCESS_DENIED_ACE_TYPE;
    if (type == ACCESS_DENIED_CALLBACK_ACE_TYPE) continue;
    if (!allow && !deny) {
      judgement.unreadable = "type " + std::to_string(type);
      return judgement;
    }
    const auto* body = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
    entries.push_back({allow, sidText(const_cast<DWORD*>(&body->SidStart)), mapped(body->Mask),
                       (header->AceFlags & INHERITED_ACE) != 0});
  }
  for (const Entry& candidate : entries) {
    if (!candidate.allow || trusted(candidate.sid, self)) continue;
    bool judged = false;
    for (const Writer& writer : judgement.writers) judged = judged || writer.sid == candidate.sid;
    if (judged) continue;
    // The first entry to name a right for this SID decides it.
    ACCESS_MASK denied = 0;
    ACCESS_MASK granted = 0;
    bool inherited = false;
    for (const Entry& entry : entries) {
      if (entry.allow && entry.sid == candidate.sid) {
        const ACCESS_MASK gives = entry.mask & kWriteRights & ~denied & ~granted;
        if (gives != 0 && granted == 0) inherited = entry.inherited;
        granted |= gives;
      } else if (!entry.allow && (entry.sid == candidate.sid || entry.sid == kEveryone)) {
        denied |= entry.mask & ~granted;
      }
    }
    if (granted != 0) judgement.writers.push_back({candidate.sid, granted, inherited});
  }
  return judgement;
}

std::string finalPath(HANDLE handle) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                             FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(length + 1);
  }
  // "\\?\C:\dir" reads as "C:\dir", and "\\?\UNC\server\share" as
  // "\\server\share", where the system takes them so.
  if (path.size() < MAX_PATH && path.starts_with(L"\\\\?\\UNC\\")) {
    path.erase(2, 6);
  } else if (path.size() < MAX_PATH + 4 && path.starts_with(L"\\\\?\\") && path.size() > 6 &&
             path[5] == L':' && path[6] == L'\\') {
    path.erase(0, 4);
  }
  return narrow(path);
}

}  // namespace windows

namespace {

using windows::handleOf;
using windows::narrow;
using windows::openDirectory;
using windows::parentOf;
using windows::widen;

constexpr const char* kFileHarm = "could put code of theirs into every process that loads it";
constexpr const char* kDirectoryHarm = "could put a package of theirs in its place";

std::string quotedPath(const std::string& path) { return "\"" + path + "\""; }

// The reasons to refuse what `handle` holds, at `path`: what is said of it
// begins with `lead` ("is", "is in C:\dir, which is") and ends with `harm`.
void judgeHandle(std::vector<AccessFinding>& found, HANDLE handle, bool directory,
                 const std::string& path, const std::string& lead, const char* harm) {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD error = GetSecurityInfo(handle, SE_FILE_OBJECT,
                                      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                      &owner, nullptr, &dacl, nullptr, &descriptor);
  const std::string copyElsewhere =
      "copy it into a directory that only the till's administrators may write";
  if (error != ERROR_SUCCESS) {
    found.push_back({directory, true, path,
                     lead +
                         " protected by an owner and access list that this process cannot read (" +
                         windows::systemMessage(error) + "), so who may write it cannot be decided",
                     copyElsewhere});
    return;
  }
  std::unique_ptr<void, windows::LocalDeleter> held(descriptor);
  const std::string& self = windows::processUser();
  const windows::SecurityJudgement judged = windows::judgeSecurity(owner, dacl, self);
  const std::string at = quotedPath(path);
  if (!judged.ownerTrusted) {
    found.push_back(
        {directory, true, path,
         lead + " owned by " + windows::accountOf(judged.owner) +
             ", neither SYSTEM, Administrators, TrustedInstaller nor the user this "
             "process runs as (" +
             windows::accountOf(self) + "), so that user " + harm,
         "icacls " + at + " /setowner *" + windows::kAdministrators + ", or " + copyElsewhere});
  }
  if (judged.nullDacl) {
    found.push_back({directory, false, path,
                     lead + " without any access list (a NULL DACL), so every user " + harm,
                     "icacls " + at + " /reset"});
  }
  if (!judged.unreadable.empty()) {
    found.push_back({directory, false, path,
                     lead + " protected by an access list with an entry of a kind not read here (" +
                         judged.unreadable + "), so who may write it cannot be decided",
                     "icacls " + at + " /reset, or " + copyElsewhere});
  }
  for (const windows::Writer& writer : judged.writers) {
    const std::string remove = "icacls " + at + " /remove:g *" + writer.sid;
    found.push_back({directory, false, path,
                     lead + " writable by " + windows::accountOf(writer.sid) +
                         " (its access list allows " + windows::rightsText(writer.rights) +
                         "), so they " + harm,
                     writer.inherited ? "icacls " + at + " /inheritance:d && " + remove : remove});
  }
}

}  // namespace

std::vector<AccessFinding> accessFindings(const PackageFile& opened) {
  std::vector<AccessFinding> found;
  if (opened.file < 0 || opened.directory < 0) return found;
  const std::string& real = opened.loaderName;
  const bool link = !opened.realFile.empty();
  judgeHandle(found, handleOf(opened.file), false, real,
              link ? "leads to " + real + ", which is" : "is", kFileHarm);
  const std::string directory = parentOf(real);
  judgeHandle(found, handleOf(opened.directory), true, directory,
              (link ? "leads to " + real + ", in " : "is in ") + directory + ", which is",
              kDirectoryHarm);
  if (link && opened.linkDirectory >= 0) {
    const std::string linkDirectory = windows::finalPath(handleOf(opened.linkDirectory));
    judgeHandle(found, handleOf(opened.linkDirectory), true, linkDirectory,
                "is a link in " + linkDirectory + ", which is", kDirectoryHarm);
  }
  return found;
}

namespace windows {

PrivateFileSecurity::~PrivateFileSecurity() {
  if (directory_ != INVALID_HANDLE_VALUE) CloseHandle(directory_);
  LocalFree(descriptor_);
}

void PrivateFileSecurity::requireDirectoryOf(const std::string& path, const std::string& what) {
  std::wstring full(MAX_PATH, L'\0');
  const std::wstring wide = widen(path);
  for (;;) {
    DWORD length =
        GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) {
      throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                              what + " \"" + path + "\" names no file");
    }
    if (length < full.size()) {
      full.resize(length);
      break;
    }
    full.resize(length);
  }
  const std::string directory = parentOf(narrow(full));
  if (directory_ != INVALID_HANDLE_VALUE) CloseHandle(directory_);
  directory_ = openDirectory(widen(directory), FILE_SHARE_READ | FILE_SHARE_WRITE);
  if (directory_ == INVALID_HANDLE_VALUE) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                            "cannot open " + what + "'s directory \"" + directory + "\"");
  }
  std::vector<AccessFinding> found;
  judgeHandle(found, directory_, true, directory,
              what + "'s directory " + quotedPath(directory) + " is",
              "could put a file of theirs in its place");
  if (!found.empty()) {
    throw std::system_error(static_cast<int>(ERROR_ACCESS_DENIED), std::system_category(),
                            found.front().problem +
                                "; give it a directory that only its owner "
                                "may write (" +
                                found.front().remedy + ")");
  }
  if (descriptor_ == nullptr) {
    // The user alone, and nothing inherited from the directory.
    const std::wstring only = L"D:P(A;;FA;;;" + widen(processUser()) + L")";
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(only.c_str(), SDDL_REVISION_1,
                                                              &descriptor_, nullptr)) {
      throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                              "cannot make the access list of " + what);
    }
  }
  attributes_.lpSecurityDescriptor = descriptor_;
}

}  // namespace windows

}  // namespace zep::platform
