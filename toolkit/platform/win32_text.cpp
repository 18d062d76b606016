// UTF-8 inside, UTF-16 at the wide calls, the system's code pages for the
// files that older tools, editors and the console write; and the form of a
// batch file that cmd.exe reads.
#include "platform/win32_text.h"

#include <limits>

#include "platform.h"
#include "utils.h"

namespace toolkit::platform {

namespace {

int CheckedSize(std::size_t size) {
    if (size > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        throw FileError("texte trop long pour le système");
    }
    return static_cast<int>(size);
}

std::wstring WideFromCodePage(std::string_view bytes, UINT codePage, DWORD flags) {
    if (bytes.empty()) return {};
    const int size = CheckedSize(bytes.size());
    const int length = MultiByteToWideChar(codePage, flags, bytes.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (length > 0) MultiByteToWideChar(codePage, flags, bytes.data(), size, wide.data(), length);
    return wide;
}

bool EndsWithIgnoreCase(std::string_view text, std::string_view end) {
    return text.size() >= end.size() &&
           EqualsIgnoreCase(text.substr(text.size() - end.size()), end);
}

bool IsBatchFile(std::string_view path) {
    return EndsWithIgnoreCase(path, ".bat") || EndsWithIgnoreCase(path, ".cmd");
}

// The first character of `wide` that `codePage` lacks, for the message.
std::string FirstMissingCharacter(std::wstring_view wide, UINT codePage) {
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const std::size_t length = IS_HIGH_SURROGATE(wide[i]) && i + 1 < wide.size() ? 2 : 1;
        BOOL missing = FALSE;
        char bytes[8];
        WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data() + i,
                            static_cast<int>(length), bytes, sizeof bytes, nullptr, &missing);
        if (missing) return Utf8(wide.substr(i, length));
        i += length - 1;
    }
    return {};
}

std::string BatchRefusal(const std::string& path, const std::string& reason) {
    return "Impossible d'écrire le fichier « " + path + " » : " + reason + ".";
}

bool IsAscii(std::string_view bytes) {
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

}  // namespace

std::wstring Wide(std::string_view utf8) {
    return WideFromCodePage(utf8, CP_UTF8, 0);
}

std::string Utf8(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int size = CheckedSize(wide.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    if (length > 0) {
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
    }
    return utf8;
}

std::string Utf8FromCodePage(std::string_view bytes, UINT codePage) {
    return Utf8(WideFromCodePage(bytes, codePage, 0));
}

bool IsUtf8(std::string_view bytes) {
    if (IsAscii(bytes)) return true;
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                               CheckedSize(bytes.size()), nullptr, 0) > 0;
}

std::string LineAsUtf8(std::string line, TextOrigin origin) {
    if (IsUtf8(line)) return line;
    return Utf8FromCodePage(line, origin == TextOrigin::List ? CP_ACP : CP_OEMCP);
}

std::string BatchMissingCharacter(std::string_view text) {
    const UINT codePage = GetOEMCP();
    if (codePage == CP_UTF8) return {};
    return FirstMissingCharacter(Wide(text), codePage);
}

// The batch files are written in the console's code page: a folder whose
// name holds a character it lacks is named by its short form, when the
// volume gives one made of characters the code page has.
std::wstring NameForBatchFiles(const std::wstring& path) {
    const UINT codePage = GetOEMCP();
    if (codePage == CP_UTF8 || FirstMissingCharacter(path, codePage).empty()) return path;
    std::wstring shortName(MAX_PATH, L'\0');
    const DWORD length =
        GetShortPathNameW(path.c_str(), shortName.data(), static_cast<DWORD>(shortName.size()));
    if (length == 0 || length >= shortName.size()) return path;
    shortName.resize(length);
    return FirstMissingCharacter(shortName, codePage).empty() ? shortName : path;
}

// cmd.exe reads a batch file in the console's code page, the OEM one of a
// console that Korvane opens: the UTF-8 text is written in it. A character
// it lacks would reach cmd.exe as another one, in a path or a command: the
// file is refused instead.
std::string FileBytesFor(const std::string& path, std::string_view text) {
    if (!IsBatchFile(path)) return std::string(text);
    if (!IsUtf8(text)) throw FileError(BatchRefusal(path, "son texte n'est pas de l'UTF-8"));
    const UINT codePage = GetOEMCP();
    if (codePage == CP_UTF8) return std::string(text);  // a system set to UTF-8 throughout
    const std::wstring wide = Wide(text);
    const int size = CheckedSize(wide.size());
    BOOL missing = FALSE;
    const int length = wide.empty()
                           ? 0
                           : WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), size,
                                                 nullptr, 0, nullptr, &missing);
    if (missing || (length <= 0 && !wide.empty())) {
        throw FileError(BatchRefusal(
            path, "le caractère « " + FirstMissingCharacter(wide, codePage) +
                      " » n'existe pas dans la page de code " + std::to_string(codePage) +
                      " de la console, dans laquelle cmd.exe lit les fichiers de commandes"));
    }
    std::string bytes(static_cast<std::size_t>(length), '\0');
    if (length > 0) {
        WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), size, bytes.data(), length,
                            nullptr, nullptr);
    }
    return bytes;
}

}  // namespace toolkit::platform
