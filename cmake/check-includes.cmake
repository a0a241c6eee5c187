# Run by the build (cmake -P): every "folder/File.h" a file of FOLDER
# includes must be in a folder FOLDER may include. Writes STAMP when all
# are; otherwise names each include that is not and fails, so the rule
# cannot break silently.
#   -DROOT=source tree  -DFOLDER=d88ls  -DALLOWED=d88,plan,common  -DSTAMP=file
cmake_minimum_required(VERSION 3.16)
string(REPLACE "," ";" allowed "${ALLOWED}")
list(APPEND allowed "${FOLDER}")
file(GLOB files "${ROOT}/${FOLDER}/*.h" "${ROOT}/${FOLDER}/*.cpp" "${ROOT}/${FOLDER}/*.c")
set(wrong "")
foreach(path IN LISTS files)
  file(STRINGS "${path}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[A-Za-z0-9_]+/")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([A-Za-z0-9_]+)/.*" "\\1" included "${line}")
    if(NOT included IN_LIST allowed)
      file(RELATIVE_PATH name "${ROOT}" "${path}")
      string(APPEND wrong "  ${name} includes ${included}/\n")
    endif()
  endforeach()
endforeach()
if(wrong)
  string(REPLACE ";" "/, " shown "${allowed}")
  message(FATAL_ERROR "${FOLDER}/ may include only ${shown}/:\n${wrong}")
endif()
file(WRITE "${STAMP}" "")
