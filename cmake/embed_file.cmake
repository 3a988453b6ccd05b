# Writes a C++ source that holds the bytes of INPUT and returns them from the
# function NAME (namespace zbir::shell, declared in HEADER).
#   cmake -DINPUT=file -DOUTPUT=file.cpp -DNAME=fn -DHEADER=shell/x.h -P embed_file.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
if(digits EQUAL 0)
  set(body "    return {};")
else()
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REPEAT "0x[0-9a-f][0-9a-f]," 16 row)
  string(REGEX REPLACE "(${row})" "\\1\n        " bytes "${bytes}")
  set(body "    static const unsigned char data[] = {\n        ${bytes}\n    };\n    return {data, sizeof data};")
endif()
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT}; do not edit.\n"
  "#include \"${HEADER}\"\n\n"
  "namespace zbir::shell {\n\n"
  "std::span<const unsigned char> ${NAME}()\n{\n${body}\n}\n\n"
  "}  // namespace zbir::shell\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
