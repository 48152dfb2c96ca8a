# Installs the build tree into a scratch prefix and checks that a desktop finds everything:
# the launcher, the icon it names, the binary it runs and the software centre description.
# Beside it goes the command-line program, which must run from there.
#   cmake -DBUILD_DIR=... -DPREFIX=... [-DBINARY=quorvel] [-DBATCH=quorvel-batch] -P install_layout.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed:\n${output}")
endif()

set(launcher "${PREFIX}/share/applications/org.quorvel.Quorvel.desktop")
foreach(path IN ITEMS "${launcher}"
        "${PREFIX}/share/metainfo/org.quorvel.Quorvel.metainfo.xml")
    if(NOT EXISTS "${path}")
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endforeach()

file(STRINGS "${launcher}" icon REGEX "^Icon=")
string(REPLACE "Icon=" "" icon "${icon}")
if(NOT EXISTS "${PREFIX}/share/icons/hicolor/scalable/apps/${icon}.svg")
    message(FATAL_ERROR "the launcher names icon '${icon}', which is not in share/icons/hicolor/scalable/apps")
endif()

# The picture types a file manager offers the editor for.
file(STRINGS "${launcher}" types REGEX "^MimeType=")
string(REPLACE "\\;" ";" types "${types}") # file(STRINGS) escapes the separators
foreach(type IN ITEMS image/bmp image/jpeg image/gif image/png)
    if(NOT types MATCHES "[=;]${type};")
        message(FATAL_ERROR "the launcher does not offer to open ${type}: '${types}'")
    endif()
endforeach()

if(BINARY)
    file(STRINGS "${launcher}" command REGEX "^Exec=")
    # A file manager's "Open with" hands the file over through the field code.
    if(NOT command MATCHES " %[fF]$")
        message(FATAL_ERROR "the launcher's '${command}' passes no file to the program")
    endif()
    string(REGEX REPLACE "^Exec=([^ ]*).*" "\\1" exec "${command}")
    set(installed "${PREFIX}/bin/${exec}")
    if(NOT EXISTS "${installed}" OR IS_DIRECTORY "${installed}")
        message(FATAL_ERROR "the launcher runs '${exec}', which is not installed as ${installed}")
    endif()
    if(NOT exec STREQUAL BINARY)
        message(FATAL_ERROR "the launcher runs '${exec}', the program is '${BINARY}'")
    endif()
    execute_process(COMMAND test -x "${installed}" RESULT_VARIABLE not_executable)
    if(not_executable)
        message(FATAL_ERROR "${installed} is not executable")
    endif()
endif()
if(BATCH)
    execute_process(COMMAND "${PREFIX}/bin/${BATCH}" --version RESULT_VARIABLE failed OUTPUT_VARIABLE version)
    if(failed OR NOT version MATCHES "^${BATCH} ")
        message(FATAL_ERROR "${PREFIX}/bin/${BATCH} is not installed or does not run: ${version}")
    endif()
endif()
file(REMOVE_RECURSE "${PREFIX}")
