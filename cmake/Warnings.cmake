# Flags for the project's own targets. Third-party headers come in as system includes,
# so -Werror applies to our code only.
add_library(quorvel_flags INTERFACE)
target_compile_options(quorvel_flags INTERFACE
    -Wall -Wextra -Wpedantic
    # Keeps a*b+c as two roundings: the gray value formula must give the same result on every processor.
    -ffp-contract=off)
# Off by default: a newer compiler's new warning must not stop a user's build. The test script
# and CI turn it on.
if(QUORVEL_WERROR)
    target_compile_options(quorvel_flags INTERFACE -Werror)
endif()
target_compile_definitions(quorvel_flags INTERFACE
    QT_NO_KEYWORDS QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_USE_QSTRINGBUILDER)

if(QUORVEL_SANITIZE)
    set(_san -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_compile_options(quorvel_flags INTERFACE ${_san})
    target_link_options(quorvel_flags INTERFACE ${_san})
endif()
