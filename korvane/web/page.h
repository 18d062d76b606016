// The page's files (page/index.html, style.css, app.js), embedded in the
// program at build time (embed.cmake): nothing is read from the disk or
// fetched from elsewhere when the page is served.
#pragma once

#include <string_view>

namespace korvane::web {

struct PageFile {
    std::string_view path;  // "/", "/style.css", "/app.js"
    std::string_view contentType;
    std::string_view bytes;
};

// The file served at `path`, or nullptr.
const PageFile* FindPageFile(std::string_view path);

}  // namespace korvane::web
