# Writes OUTPUT, a C++ source holding the files FILES (paths relative to BASE) as byte
# arrays and the table kModuleResourceFiles of HrzResourceFile entries named by those paths.
set(arrays "")
set(entries "")
set(index 0)
foreach(file ${FILES})
  file(READ "${BASE}/${file}" hex HEX)
  string(LENGTH "${hex}" length)
  math(EXPR size "${length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n    "
         bytes "${bytes}")
  # One trailing zero keeps an empty file a valid array and a script a terminated text.
  string(APPEND arrays "const unsigned char kFile${index}[] = {\n    ${bytes}0x00};\n")
  string(APPEND entries "    {\"${file}\", kFile${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}.tmp" "// Generated from module/resources by embed_files.cmake; do not edit.
#include \"resources/module_resources.h\"

namespace hrz {
namespace {

${arrays}
}  // namespace

const HrzResourceFile kModuleResourceFiles[] = {
${entries}};
const std::size_t kModuleResourceFileCount = ${index};

}  // namespace hrz
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
