// The console programs' arguments and their text on a Windows console. The
// programs write UTF-8; a console shows bytes in its own code page (850 in a
// French one), where "é" would come out as two wrong characters, so text
// bound for a console goes through WriteConsoleW. A file or a pipe gets the
// UTF-8 bytes as they are.

// Windows headers in the order they need: winsock2.h before windows.h.
#include <winsock2.h>

#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <iostream>
#include <streambuf>

#include "platform.h"
#include "platform/win32_text.h"

namespace toolkit::platform {

namespace {

class ConsoleBuffer : public std::streambuf {
  public:
    explicit ConsoleBuffer(HANDLE console) : console_(console) {}

  protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        pending_ += traits_type::to_char_type(c);
        if (pending_.size() >= kFlushSize) Flush();
        return c;
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        pending_.append(text, static_cast<std::size_t>(count));
        if (pending_.size() >= kFlushSize) Flush();
        return count;
    }
    int sync() override { return Flush() ? 0 : -1; }

  private:
    static constexpr std::size_t kFlushSize = 4096;

    // A character cut by the end of the text waits for its last bytes.
    static std::size_t WholeCharacters(const std::string& text) {
        std::size_t end = text.size();
        std::size_t back = 0;
        while (back < 3 && back < end &&
               (static_cast<unsigned char>(text[end - 1 - back]) & 0xC0) == 0x80) {
            ++back;
        }
        if (back == end) return end;
        const auto lead = static_cast<unsigned char>(text[end - 1 - back]);
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        return length > back + 1 ? end - 1 - back : end;
    }

    bool Flush() {
        const std::size_t whole = WholeCharacters(pending_);
        const std::wstring wide = Wide(std::string_view(pending_).substr(0, whole));
        pending_.erase(0, whole);
        std::size_t done = 0;
        while (done < wide.size()) {
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 8192));
            if (!WriteConsoleW(console_, wide.data() + done, chunk, &written, nullptr) ||
                written == 0) {
                return false;
            }
            done += written;
        }
        return true;
    }

    HANDLE console_;
    std::string pending_;
};

// The stream keeps its buffer until the very end of the program, when the
// standard streams are flushed: the buffer is never destroyed.
void Redirect(std::ostream& stream, DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) {
        return;  // a file, a pipe or nothing: UTF-8 as written
    }
    stream.flush();
    stream.rdbuf(new ConsoleBuffer(handle));
}

}  // namespace

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return std::vector<std::string>(argv, argv + (argc > 0 ? argc : 0));
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) arguments.push_back(Utf8(wide[i]));
    LocalFree(wide);
    return arguments;
}

void UseUnicodeConsole() {
    static const bool done = [] {
        Redirect(std::cout, STD_OUTPUT_HANDLE);
        Redirect(std::cerr, STD_ERROR_HANDLE);
        return true;
    }();
    static_cast<void>(done);
}

}  // namespace toolkit::platform
