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

if(BINARY)
    file(STRINGS "${launcher}" exec REGEX "^Exec=")
    string(REPLACE "Exec=" "" exec "${exec}")
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
