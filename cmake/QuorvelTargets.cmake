# One library per folder of src/. Every source is listed by name, so a file that goes missing
# stops the configure step, and every library is linked under its quorvel:: alias, so a library
# that goes missing does too.
function(quorvel_library name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;USES")
    add_library(quorvel_${name} STATIC ${arg_SOURCES})
    add_library(quorvel::${name} ALIAS quorvel_${name})
    target_include_directories(quorvel_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(quorvel_${name} PUBLIC quorvel_flags ${arg_USES})
    # Not for the tests: GoogleTest's parameter-name macros shadow by design.
    target_compile_options(quorvel_${name} PRIVATE -Wshadow)
endfunction()
