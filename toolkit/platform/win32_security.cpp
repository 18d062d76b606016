#include "platform/win32_security.h"

#include <aclapi.h>

#include <memory>

namespace toolkit::platform {

namespace {

std::vector<unsigned char> Query(HANDLE token, TOKEN_INFORMATION_CLASS what) {
    DWORD size = 0;
    GetTokenInformation(token, what, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    if (size == 0 || !GetTokenInformation(token, what, buffer.data(), size, &size)) return {};
    return buffer;
}

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) {
    BYTE known[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof known;
    return CreateWellKnownSid(type, nullptr, known, &size) && EqualSid(sid, known);
}

bool IsTrusted(PSID sid, const Identity& identity) {
    return identity.Ours(sid) || IsWellKnown(sid, WinLocalSystemSid) ||
           IsWellKnown(sid, WinBuiltinAdministratorsSid) || IsWellKnown(sid, WinCreatorOwnerSid) ||
           IsWellKnown(sid, WinCreatorOwnerRightsSid);
}

}  // namespace

Identity::Identity() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return;
    user_ = Query(token, TokenUser);
    owner_ = Query(token, TokenOwner);
    CloseHandle(token);
}

PSID Identity::User() const {
    return user_.empty() ? nullptr : reinterpret_cast<const TOKEN_USER*>(user_.data())->User.Sid;
}

bool Identity::Ours(PSID sid) const {
    if (sid == nullptr || !IsValidSid(sid)) return false;
    if (Known() && EqualSid(sid, User())) return true;
    return !owner_.empty() &&
           EqualSid(sid, reinterpret_cast<const TOKEN_OWNER*>(owner_.data())->Owner);
}

bool OpenToOthers(const ACL* dacl, const Identity& identity) {
    if (dacl == nullptr) return true;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(const_cast<ACL*>(dacl), i, &entry)) return true;
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        if (header->AceType == ACCESS_DENIED_ACE_TYPE ||
            header->AceType == ACCESS_DENIED_OBJECT_ACE_TYPE ||
            header->AceType == ACCESS_DENIED_CALLBACK_ACE_TYPE) {
            continue;
        }
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return true;
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        PSID sid = const_cast<DWORD*>(&allowed->SidStart);
        if (allowed->Mask != 0 && !IsTrusted(sid, identity)) return true;
    }
    return false;
}

DWORD ProtectionOf(HANDLE file, Protection& protection) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD status = GetSecurityInfo(file, SE_FILE_OBJECT,
                                         OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                         &owner, nullptr, &dacl, nullptr, &descriptor);
    if (status != ERROR_SUCCESS) return status;
    const std::unique_ptr<void, decltype(&LocalFree)> held(descriptor, &LocalFree);
    const Identity identity;
    protection.ownedByUs = identity.Ours(owner);
    protection.openToOthers = OpenToOthers(dacl, identity);
    return 0;
}

}  // namespace toolkit::platform
