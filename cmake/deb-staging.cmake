# Run by CPack on the staged files of the Debian package, before it packs
# them: adds what Debian expects of every package and a plain install has
# no use for.
#   usr/share/doc/d88adpcm/copyright         the license, in Debian's
#                                            machine-readable format
#   usr/share/doc/d88adpcm/changelog.gz      one entry: this version
#   usr/share/man/man1/*.1.gz, README.md.gz  compressed, as Debian keeps them
# gzip -n keeps no time stamp, so the same tree packs to the same bytes.

set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
if(NOT IS_DIRECTORY "${root}/usr")
  message(FATAL_ERROR "no staged files under ${root}")
endif()
set(doc "${root}/usr/${CPACK_D88_DOCDIR}")

# The license: its copyright line becomes the Copyright field, the rest its
# text, each line indented by one space and each empty line a lone ".".
file(STRINGS "${CPACK_D88_LICENSE}" lines)
set(holder "")
set(text "")
foreach(line IN LISTS lines)
  if(line MATCHES "^Copyright \\(c\\) (.*)$")
    set(holder "${CMAKE_MATCH_1}")
  elseif(holder STREQUAL "")
    # The title above the copyright line ("MIT License").
  elseif(line STREQUAL "")
    if(NOT text STREQUAL "")
      string(APPEND text " .\n")
    endif()
  else()
    string(APPEND text " ${line}\n")
  endif()
endforeach()
file(WRITE "${doc}/copyright"
  "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
  "Upstream-Name: ${CPACK_PACKAGE_NAME}\n"
  "\n"
  "Files: *\n"
  "Copyright: ${holder}\n"
  "License: Expat\n"
  "${text}")

string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE "${doc}/changelog"
  "${CPACK_PACKAGE_NAME} (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium\n"
  "\n"
  "  * Release ${CPACK_PACKAGE_VERSION}.\n"
  "\n"
  " -- ${CPACK_DEBIAN_PACKAGE_MAINTAINER}  ${date}\n")

file(GLOB pages "${root}/usr/${CPACK_D88_MANDIR}/man1/*.1")
foreach(file IN LISTS pages ITEMS "${doc}/changelog" "${doc}/README.md")
  execute_process(COMMAND gzip -9nf "${file}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip ${file} failed")
  endif()
endforeach()
