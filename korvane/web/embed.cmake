# Writes OUTPUT, a C++ file holding the page's files as byte arrays, with
# FindPageFile over them. Run at build time: cmake -DOUTPUT=... -DSOURCE_DIR=... -P embed.cmake
set(files index.html / text/html
          style.css /style.css text/css
          app.js /app.js text/javascript)
set(arrays "")
set(table "")
set(index 0)
while(files)
  list(POP_FRONT files name path type)
  file(READ ${SOURCE_DIR}/${name} hex HEX)
  string(LENGTH "${hex}" length)
  math(EXPR size "${length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  string(APPEND arrays "const char kFile${index}[] = {${bytes} 0};\n")
  string(APPEND table "    {\"${path}\", \"${type}; charset=utf-8\", std::string_view(kFile${index}, ${size})},\n")
  math(EXPR index "${index} + 1")
endwhile()
file(WRITE ${OUTPUT}.tmp "// Made by korvane/web/embed.cmake from korvane/web/page/: do not edit.
#include \"korvane/web/page.h\"

namespace korvane::web {
namespace {
${arrays}
const PageFile kFiles[] = {
${table}};
}  // namespace

const PageFile* FindPageFile(std::string_view path) {
    for (const PageFile& file : kFiles) {
        if (file.path == path) return &file;
    }
    return nullptr;
}

}  // namespace korvane::web
")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
